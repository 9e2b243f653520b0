// The main window's dialog commands: menu items, the undo steps they take,
// and an exception in a handler reaching the error report.
#include "app/MainForm.h"
#include "app/dialogs/AboutForm.h"
#include "app/dialogs/CommentForm.h"
#include "app/dialogs/EditPayoffForm.h"
#include "app/dialogs/ErrorForm.h"
#include "app/dialogs/TreePropertiesForm.h"
#include "foundation/Exceptions.h"
#include "platform/registry/MemoryRegistry.h"
#include "support/WhenModal.h"
#include "ui_CommentForm.h"
#include "ui_EditPayoffForm.h"
#include "ui_ErrorForm.h"
#include "ui_MainForm.h"
#include "ui_TreePropertiesForm.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace bw;
using bw::test::WhenModal;

namespace {

struct Window {
  MemoryRegistryStore Registry;
  TMainForm Form{Registry};
  TDecTreeNode* First = nullptr;
  Window() {
    Form.Dialogs.AskYesNoCancel = [](const QString&) { return 0; };
    Form.resize(640, 480);
    Form.show();
    TDecTree& tree = Form.DecTree();
    tree.SelectNode(tree.TreeRoot(), htBox);
    tree.AddSubnodes(false);
    tree.HideInplaceEditor();
    First = tree.TreeRoot()->Children[0];
  }
  QAction* Popup(const char* name) { return Form.NodePopupMenu()->findChild<QAction*>(name); }
  void Select(TDecTreeNode* node, TNodeElementType type) {
    Form.DecTree().SelectNode(node, type);
    emit Form.NodePopupMenu()->aboutToShow();
  }
  size_t Steps() const { return Form.UndoHistory().UndoCount(); }
  const std::string& LastStep() const { return Form.UndoHistory().UndoMessage(); }
};

void Retype(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

} // namespace

TEST(MainFormDialogs, ItemsAreOnAndThePopupEnablesThemByElement) {
  Window w;
  EXPECT_TRUE(w.Form.Form().FilePropertiesMenuItem->isEnabled());
  EXPECT_TRUE(w.Form.Form().HelpAboutMenuItem->isEnabled());
  auto* format = w.Form.findChild<QAction*>("EditFormatMenuItem");
  ASSERT_NE(format, nullptr);
  EXPECT_FALSE(format->isVisible());
  EXPECT_TRUE(w.Form.Form().EditMenuItem->actions().contains(format));

  w.Select(w.Form.DecTree().TreeRoot(), htBox);
  EXPECT_TRUE(w.Popup("PopupCommentMenuItem")->isEnabled());
  EXPECT_FALSE(w.Popup("PopupEditPayoffAdvancedMenuItem")->isEnabled());
  w.Select(w.First, htPayoff);
  EXPECT_FALSE(w.Popup("PopupCommentMenuItem")->isEnabled());
  EXPECT_TRUE(w.Popup("PopupEditPayoffAdvancedMenuItem")->isEnabled());
}

TEST(MainFormDialogs, CommentTakesItsStepOnOkOnly) {
  Window w;
  w.Select(w.First, htBox);
  const size_t steps = w.Steps();
  WhenModal<TCommentForm>([](TCommentForm& form) {
    QTest::keyClicks(form.Form().CommentMemo, "lost");
    form.reject();
  });
  w.Popup("PopupCommentMenuItem")->trigger();
  EXPECT_EQ(w.Steps(), steps);
  EXPECT_EQ(w.First->Comment, "");

  WhenModal<TCommentForm>([](TCommentForm& form) {
    QTest::keyClicks(form.Form().CommentMemo, "Check the lease");
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  w.Popup("PopupCommentMenuItem")->trigger();
  EXPECT_EQ(w.Steps(), steps + 1);
  EXPECT_EQ(w.LastStep(), "Change Comment");
  EXPECT_EQ(w.Form.Form().EditUndoMenuItem->text(), "Undo Change Comment");
  EXPECT_EQ(w.First->Comment, "Check the lease");
}

TEST(MainFormDialogs, TheAdvancedPayoffEditWritesPayoffAndSource) {
  Window w;
  w.Select(w.First, htPayoff);
  const size_t steps = w.Steps();
  WhenModal<TEditPayoffForm>([](TEditPayoffForm& form) {
    // The window lends the dialog its spreadsheet import.
    EXPECT_TRUE(form.Form().ImportRadioButton->isEnabled());
    form.Form().IncomeCostRadioButton->click();
    Retype(form.Form().PayoffEdit, "10");
    Retype(form.Form().CostEdit, "4");
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  w.Popup("PopupEditPayoffAdvancedMenuItem")->trigger();
  EXPECT_EQ(w.Steps(), steps + 1);
  EXPECT_EQ(w.LastStep(), "Edit Payoff (advanced)");
  EXPECT_EQ(w.First->Payoff, 60000);
  EXPECT_EQ(w.First->PayoffSource, "Income-Cost: 10:4");

  // A payoff with a source opens the dialog for a plain edit too; Cancel
  // takes no step.
  WhenModal<TEditPayoffForm>([](TEditPayoffForm& form) {
    EXPECT_EQ(form.Form().PayoffEdit->text(), "10.00");
    form.reject();
  });
  w.Form.DecTree().EditElement(false, 0);
  EXPECT_EQ(w.Steps(), steps + 1);
}

TEST(MainFormDialogs, TreePropertiesAndAboutOpenFromTheirMenus) {
  Window w;
  const bool outline = w.Form.DecTree().Options.OutlineCodes;
  WhenModal<TTreePropertiesForm>([](TTreePropertiesForm& form) {
    form.Form().OutlineCodesCheckBox->click();
    QTest::mouseClick(form.Form().OkButton, Qt::LeftButton);
  });
  w.Form.Form().FilePropertiesMenuItem->trigger();
  EXPECT_EQ(w.LastStep(), "Decision Tree Properties");
  EXPECT_NE(w.Form.DecTree().Options.OutlineCodes, outline);
  EXPECT_TRUE(w.Form.IsModified());

  bool shown = false;
  WhenModal<TAboutForm>([&shown](TAboutForm& form) {
    shown = true;
    form.accept();
  });
  w.Form.Form().HelpAboutMenuItem->trigger();
  EXPECT_TRUE(shown);
}

TEST(MainFormDialogs, AnExceptionInAHandlerOpensTheErrorReportAndWorkGoesOn) {
  TErrorForm report;
  TErrorReportInstallation installed(report);
  Window w;
  w.Form.Dialogs.OpenFileName = []() -> QString {
    throw InvalidOperationException("The file dialog failed");
  };
  WhenModal<TErrorForm>([](TErrorForm& form) {
    EXPECT_EQ(form.Form().ExceptionNameEdit->text(), "InvalidOperationException");
    EXPECT_EQ(form.Form().DescriptionEdit->text(), "The file dialog failed");
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  w.Form.Form().FileOpenMenuItem->trigger();
  EXPECT_FALSE(report.Showing());

  // The window still works.
  const size_t steps = w.Steps();
  w.Form.Form().ViewDontshowpayoffMenuItem->trigger();
  EXPECT_EQ(w.Steps(), steps + 1);
}
