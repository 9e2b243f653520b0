// The main window's dialog commands: menu items, the undo steps they take,
// and an exception in a handler reaching the error report.
#include "TestWindow.h"
#include "app/dialogs/AboutForm.h"
#include "app/dialogs/CommentForm.h"
#include "app/dialogs/EditPayoffForm.h"
#include "app/dialogs/ErrorForm.h"
#include "app/dialogs/TreePropertiesForm.h"
#include "foundation/Exceptions.h"
#include "support/WhenModal.h"
#include "ui_CommentForm.h"
#include "ui_EditPayoffForm.h"
#include "ui_ErrorForm.h"
#include "ui_TreePropertiesForm.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace bw;
using bw::test::TestWindow;
using bw::test::WhenModal;

TEST(MainFormDialogs, CommentTakesItsStepOnOk) {
  TestWindow w;
  w.AddSubnodes(w.Root());
  TDecTreeNode* first = w.Root()->Child(0);
  w.OpenNodeMenu(first, htBox);
  WhenModal<TCommentForm>([](TCommentForm& form) {
    QTest::keyClicks(form.Form().CommentMemo, "Check the lease");
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  w.Action("PopupCommentMenuItem")->trigger();
  EXPECT_EQ(w.UndoText(), "Undo Change Comment");
  EXPECT_EQ(first->Comment, "Check the lease");
}

TEST(MainFormDialogs, TheAdvancedPayoffEditWritesPayoffAndSource) {
  TestWindow w;
  w.AddSubnodes(w.Root());
  TDecTreeNode* first = w.Root()->Child(0);
  w.OpenNodeMenu(first, htPayoff);
  WhenModal<TEditPayoffForm>([](TEditPayoffForm& form) {
    // The window lends the dialog its spreadsheet import.
    EXPECT_TRUE(form.Form().ImportRadioButton->isEnabled());
    form.Form().IncomeCostRadioButton->click();
    form.Form().PayoffEdit->selectAll();
    QTest::keyClicks(form.Form().PayoffEdit, "10");
    form.Form().CostEdit->selectAll();
    QTest::keyClicks(form.Form().CostEdit, "4");
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  w.Action("PopupEditPayoffAdvancedMenuItem")->trigger();
  EXPECT_EQ(w.UndoText(), "Undo Edit Payoff (advanced)");
  EXPECT_EQ(first->Payoff, 60000);
  EXPECT_EQ(first->PayoffSource, "Income-Cost: 10:4");

  // A payoff with a source opens the dialog for a plain edit too.
  bool shown = false;
  WhenModal<TEditPayoffForm>([&shown](TEditPayoffForm& form) {
    shown = true;
    form.reject();
  });
  w.Tree().EditElement(false, 0);
  EXPECT_TRUE(shown);
}

TEST(MainFormDialogs, TreePropertiesAboutAndTheHiddenFormatOpenFromTheirMenus) {
  TestWindow w;
  const bool outline = w.Tree().Options.OutlineCodes;
  WhenModal<TTreePropertiesForm>([](TTreePropertiesForm& form) {
    form.Form().OutlineCodesCheckBox->click();
    QTest::mouseClick(form.Form().OkButton, Qt::LeftButton);
  });
  w.Ui().FilePropertiesMenuItem->trigger();
  EXPECT_EQ(w.UndoText(), "Undo Decision Tree Properties");
  EXPECT_NE(w.Tree().Options.OutlineCodes, outline);

  bool shown = false;
  WhenModal<TAboutForm>([&shown](TAboutForm& form) {
    shown = true;
    form.accept();
  });
  w.Ui().HelpAboutMenuItem->trigger();
  EXPECT_TRUE(shown);

  // Edit > Format... is there but never shown: its dialog applies nothing.
  QAction* format = w.Action("EditFormatMenuItem");
  EXPECT_FALSE(format->isVisible());
  EXPECT_TRUE(w.Ui().EditMenuItem->actions().contains(format));
}

TEST(MainFormDialogs, AnExceptionInAHandlerOpensTheErrorReportAndWorkGoesOn) {
  TErrorForm report;
  TErrorReportInstallation installed(report);
  TestWindow w;
  w.Form->Dialogs.OpenFileName = [](const QString&) -> QString {
    throw InvalidOperationException("The file dialog failed");
  };
  WhenModal<TErrorForm>([](TErrorForm& form) {
    EXPECT_EQ(form.Form().ExceptionNameEdit->text(), "InvalidOperationException");
    EXPECT_EQ(form.Form().DescriptionEdit->text(), "The file dialog failed");
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  w.Ui().FileOpenMenuItem->trigger();
  EXPECT_FALSE(report.Showing());

  // The window still works.
  const size_t steps = w.Steps();
  w.Ui().ViewDontshowpayoffMenuItem->trigger();
  EXPECT_EQ(w.Steps(), steps + 1);
}

TEST(MainFormDialogs, FileDialogsStartWhereTheRuleSaysAndKeepTheirFolders) {
  QTemporaryDir dir;
  const QString trees = dir.filePath("trees"), pictures = dir.filePath("pictures");
  ASSERT_TRUE(QDir().mkpath(trees) && QDir().mkpath(pictures));
  TestWindow w;
  QStringList starts;
  QString picture;
  auto record = [&](const QString& start) {
    starts << start;
    return picture;
  };
  w.Form->Dialogs.OpenFileName = w.Form->Dialogs.PictureFileName = record;
  w.Form->Dialogs.SaveFileName = [&](const QString& proposed) {
    starts << proposed;
    return w.SaveName;
  };

  // Untitled and nothing used yet: home. Saved and pictured elsewhere: the
  // tree's folder. Untitled again: where each dialog was last used.
  const QString home = QDir::homePath();
  w.SaveName = trees + "/shop.bwk";
  w.Ui().FileSaveAsMenuItem->trigger();
  picture = pictures + "/shop.gif";
  w.Ui().FileExportPictureMenuItem->trigger();
  w.Form->FileNew();
  picture.clear();
  w.Ui().FileExportPictureMenuItem->trigger();
  w.Ui().FileOpenMenuItem->trigger();
  // A save that fails (a name too long for a file) keeps no folder.
  w.SaveName = pictures + "/" + QString(300, 'x') + ".bwk";
  w.Ui().FileSaveAsMenuItem->trigger();
  w.SaveName.clear();
  w.Ui().FileSaveAsMenuItem->trigger();
  EXPECT_EQ(starts, QStringList({home + "/New Decision Tree", trees, pictures, home,
                                 trees + "/New Decision Tree", trees + "/New Decision Tree"}));
}
