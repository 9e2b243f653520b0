// The payoff and comment dialogs on screen: what the controls show, how
// typing reaches the rules, and what the dialogs hand back.
#include "app/dialogs/CommentForm.h"
#include "app/dialogs/EditPayoffForm.h"
#include "support/WhenModal.h"
#include "ui_CommentForm.h"
#include "ui_EditPayoffForm.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace bw;
using bw::test::WhenModal;

namespace {

bool Red(const QLabel* label) {
  return label->palette().color(QPalette::WindowText) == QColor(Qt::red);
}

void Retype(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

} // namespace

TEST(EditPayoffForm, ShowsTheRulesStateAndFollowsTyping) {
  TEditPayoffForm form;
  form.Load("", 2, 125000);
  form.show();
  Ui::TEditPayoffForm& ui = form.Form();
  EXPECT_EQ(form.windowTitle(), "Edit Payoff (Advanced)");
  EXPECT_EQ(ui.PayoffModeGroupBox->title(), "Payoff mode");
  EXPECT_TRUE(ui.ValueRadioButton->isChecked());
  EXPECT_EQ(ui.DirectEdit->text(), "12.50");
  EXPECT_EQ(ui.DirectPanel->text(), "= 12.50");
  EXPECT_FALSE(ui.PayoffEdit->isEnabled());
  EXPECT_TRUE(ui.DiffResultPanel->isHidden());
  EXPECT_TRUE(ui.AdvancedRadioButton->isHidden());
  EXPECT_TRUE(ui.AdvancedResultPanel->isHidden());
  EXPECT_EQ(ui.MinusPanel->text(), "-");

  Retype(ui.DirectEdit, "12a");
  EXPECT_EQ(ui.DirectPanel->text(), "Invalid number");
  EXPECT_TRUE(Red(ui.DirectPanel));
  EXPECT_FALSE(ui.OKButton->isEnabled());
  Retype(ui.DirectEdit, "-40");
  EXPECT_FALSE(Red(ui.DirectPanel));
  EXPECT_TRUE(ui.OKButton->isEnabled());
  EXPECT_EQ(ui.PayoffEdit->text(), "0.00");
  EXPECT_EQ(ui.CostEdit->text(), "40.00");
  // The caret stays where the user types.
  EXPECT_EQ(ui.DirectEdit->text(), "-40");

  QTest::mouseClick(ui.IncomeCostRadioButton, Qt::LeftButton, {},
                    QPoint(8, ui.IncomeCostRadioButton->height() / 2));
  EXPECT_TRUE(ui.IncomeCostRadioButton->isChecked());
  EXPECT_TRUE(ui.PayoffEdit->isEnabled());
  EXPECT_FALSE(ui.DirectEdit->isEnabled());
  EXPECT_FALSE(ui.DiffResultPanel->isHidden());
  EXPECT_TRUE(ui.DirectPanel->isHidden());
  Retype(ui.PayoffEdit, "100");
  EXPECT_EQ(ui.DiffResultPanel->text(), "= 60.00");
  EXPECT_EQ(ui.DirectEdit->text(), "60.00");
}

TEST(EditPayoffForm, ExecuteHandsBackTheResultOnOkOnly) {
  WhenModal<TEditPayoffForm>([](TEditPayoffForm& form) {
    Retype(form.Form().DirectEdit, "1234.5");
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  TEditPayoffDialogResult result;
  TEditPayoffForm::Execute("Unknown", 2, result, 70000);
  EXPECT_TRUE(result.Changed);
  EXPECT_EQ(result.Payoff, 12345000);
  EXPECT_EQ(result.PayoffSource, "");

  WhenModal<TEditPayoffForm>([](TEditPayoffForm& form) {
    Retype(form.Form().DirectEdit, "1");
    QTest::keyClick(&form, Qt::Key_Escape);
  });
  TEditPayoffForm::Execute("", 2, result, 70000);
  EXPECT_FALSE(result.Changed);

  // Enter with an invalid number closes nothing.
  WhenModal<TEditPayoffForm>([](TEditPayoffForm& form) {
    Retype(form.Form().DirectEdit, "nan");
    QTest::keyClick(form.Form().DirectEdit, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    form.reject();
  });
  TEditPayoffForm::Execute("", 2, result, 70000);
  EXPECT_FALSE(result.Changed);
}

TEST(EditPayoffForm, TheImportRowWaitsForTheImportDialog) {
  {
    TEditPayoffForm form;
    form.Load("Import: Excel(\"a.xls\";\"S\";\"A1\")", 2, 50000);
    EXPECT_TRUE(form.Form().ImportRadioButton->isChecked());
    EXPECT_FALSE(form.Form().ImportRadioButton->isEnabled());
    EXPECT_FALSE(form.Form().ImportChooseButton->isEnabled());
    EXPECT_EQ(form.Form().ImportEdit->text(), "Excel(\"a.xls\";\"S\";\"A1\")");
  }
  std::string asked;
  TEditPayoffForm::ImportExternalDialog = [&asked](const std::string& reference, int) {
    asked = reference;
    return TImportExternalDialogResult{true, "Excel(\"b.xls\";\"S\";\"B2\")", -30000};
  };
  TEditPayoffForm form;
  form.Load("", 2, 0);
  EXPECT_TRUE(form.Form().ImportRadioButton->isEnabled());
  form.Form().ImportRadioButton->click();
  form.Form().ImportChooseButton->click();
  TEditPayoffForm::ImportExternalDialog = nullptr;
  EXPECT_EQ(asked, "");
  EXPECT_EQ(form.Form().ImportEdit->text(), "Excel(\"b.xls\";\"S\";\"B2\")");
  EXPECT_EQ(form.Form().ImportResultPanel->text(), "= -3.00");
  EXPECT_EQ(form.Form().CostEdit->text(), "3.00");
}

TEST(CommentForm, KeepsLinesApartWithCrLfAndChangesNothingOnCancel) {
  EXPECT_EQ(CommentToMemoText("one\r\ntwo"), "one\ntwo");
  EXPECT_EQ(MemoTextToComment("one\ntwo\n"), "one\r\ntwo\r\n");
  EXPECT_EQ(MemoTextToComment("one\r\ntwo"), "one\r\ntwo");
  // A comment is free text: long and non-ASCII texts come back unchanged.
  const std::string text = std::string(10000, 'x') + "\r\n١٢٣ 1,000 nan";
  EXPECT_EQ(MemoTextToComment(CommentToMemoText(text)), text);

  WhenModal<TCommentForm>([](TCommentForm& form) {
    EXPECT_EQ(form.windowTitle(), "Comment");
    EXPECT_EQ(form.minimumSize(), QSize(176, 130));
    QPlainTextEdit* memo = form.Form().CommentMemo;
    EXPECT_EQ(memo->toPlainText(), "first\nsecond");
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, "third");
    // Enter in the memo is a new line, not OK.
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(form.Form().OKButton, Qt::LeftButton);
  });
  TCommentDialogResult result;
  EditComment("first\r\nsecond", result);
  EXPECT_TRUE(result.Changed);
  EXPECT_EQ(result.Comment, "first\r\nsecond\r\nthird");

  WhenModal<TCommentForm>([](TCommentForm& form) {
    QTest::keyClicks(form.Form().CommentMemo, "lost");
    QTest::mouseClick(form.Form().CancelButton, Qt::LeftButton);
  });
  EditComment("kept", result);
  EXPECT_FALSE(result.Changed);
}
