// The payoff and comment dialogs on screen: that the controls show the
// rules' state and pass typing on, and what the dialogs hand back.
#include "app/dialogs/CommentForm.h"
#include "app/dialogs/EditPayoffForm.h"
#include "support/WhenModal.h"
#include "ui_CommentForm.h"
#include "ui_EditPayoffForm.h"

#include <QTest>

#include <gtest/gtest.h>

#include <limits>

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

// Runs the payoff dialog, answered by act.
TEditPayoffDialogResult RunPayoff(std::function<void(Ui::TEditPayoffForm&)> act,
                                  const std::string& source = "Unknown", Currency payoff = 70000) {
  WhenModal<TEditPayoffForm>([act](TEditPayoffForm& form) { act(form.Form()); });
  TEditPayoffDialogResult result{true, 1, "before"};
  TEditPayoffForm::Execute(source, 2, result, payoff);
  return result;
}

// OK that the rules refuse has left the dialog open; Cancel closes it.
void ExpectOpenThenCancel(Ui::TEditPayoffForm& ui) {
  EXPECT_TRUE(ui.OKButton->window()->isVisible());
  QTest::mouseClick(ui.CancelButton, Qt::LeftButton);
}

} // namespace

TEST(EditPayoffForm, ShowsTheRulesStateAndFollowsTyping) {
  TEditPayoffForm form;
  form.Load("", 2, 125000);
  form.show();
  Ui::TEditPayoffForm& ui = form.Form();
  EXPECT_EQ(ui.DirectPanel->text(), "= 12.50");
  EXPECT_FALSE(ui.PayoffEdit->isEnabled() || ui.CostEdit->isEnabled());
  Retype(ui.DirectEdit, "12a");
  EXPECT_EQ(ui.DirectPanel->text(), "Invalid number");
  EXPECT_TRUE(Red(ui.DirectPanel));
  EXPECT_FALSE(ui.OKButton->isEnabled());
  Retype(ui.DirectEdit, "-40");
  EXPECT_FALSE(Red(ui.DirectPanel));
  EXPECT_TRUE(ui.OKButton->isEnabled());
  EXPECT_EQ(ui.CostEdit->text(), "40.00");
  // The edit being typed in is not rewritten.
  EXPECT_EQ(ui.DirectEdit->text(), "-40");

  // Only the checked row is enabled and shows its result.
  QTest::mouseClick(ui.IncomeCostRadioButton, Qt::LeftButton, {},
                    QPoint(8, ui.IncomeCostRadioButton->height() / 2));
  EXPECT_TRUE(ui.PayoffEdit->isEnabled() && ui.CostEdit->isEnabled());
  EXPECT_FALSE(ui.DirectEdit->isEnabled());
  EXPECT_TRUE(ui.DiffResultPanel->isVisible() && ui.DirectPanel->isHidden());
  EXPECT_TRUE(ui.AdvancedResultPanel->isHidden());
  Retype(ui.PayoffEdit, "100");
  EXPECT_EQ(ui.DiffResultPanel->text(), "= 60.00");
}

// OK hands back the result; Escape and Enter on an invalid number do not.
TEST(EditPayoffForm, ExecuteHandsBackTheResultOnOkOnly) {
  TEditPayoffDialogResult result = RunPayoff([](Ui::TEditPayoffForm& ui) {
    Retype(ui.DirectEdit, "1234.5");
    QTest::mouseClick(ui.OKButton, Qt::LeftButton);
  });
  EXPECT_TRUE(result.Changed);
  EXPECT_EQ(result.Payoff, 12345000);
  EXPECT_EQ(result.PayoffSource, "");

  result = RunPayoff([](Ui::TEditPayoffForm& ui) {
    Retype(ui.DirectEdit, "1");
    QTest::keyClick(ui.DirectEdit, Qt::Key_Escape);
  });
  EXPECT_FALSE(result.Changed);

  result = RunPayoff([](Ui::TEditPayoffForm& ui) {
    Retype(ui.DirectEdit, "nan");
    QTest::keyClick(ui.DirectEdit, Qt::Key_Return);
    ExpectOpenThenCancel(ui);
  });
  EXPECT_FALSE(result.Changed);
  // The largest imported payoff shows exactly, to the tree's decimals, and
  // OK takes what it shows.
  result =
      RunPayoff([](Ui::TEditPayoffForm& ui) { QTest::mouseClick(ui.OKButton, Qt::LeftButton); },
                "Import: X", std::numeric_limits<Currency>::max());
  EXPECT_TRUE(result.Changed);
  EXPECT_EQ(result.Payoff, 9223372036854775800);
}

TEST(EditPayoffForm, TheImportRowWaitsForTheImportDialog) {
  std::string asked;
  for (bool lent : {false, true}) {
    if (lent)
      TEditPayoffForm::ImportExternalDialog = [&](const std::string& reference, int decimals) {
        asked = reference + " with " + std::to_string(decimals);
        return TImportExternalDialogResult{true, "B(2)", -30000};
      };
    TEditPayoffForm form;
    form.Load("Import: A(1)", 3, 0);
    Ui::TEditPayoffForm& ui = form.Form();
    EXPECT_TRUE(ui.ImportRadioButton->isChecked());
    EXPECT_EQ(ui.ImportRadioButton->isEnabled(), lent);
    EXPECT_EQ(ui.ImportChooseButton->isEnabled(), lent);
    ui.ImportChooseButton->click();
    EXPECT_EQ(ui.ImportEdit->text(), lent ? "B(2)" : "A(1)");
  }
  TEditPayoffForm::ImportExternalDialog = nullptr;
  EXPECT_EQ(asked, "A(1) with 3");
}

TEST(CommentForm, KeepsLinesApartWithCrLfAndChangesNothingOnCancel) {
  EXPECT_EQ(CommentToMemoText("one\r\ntwo"), "one\ntwo");
  EXPECT_EQ(MemoTextToComment("one\ntwo\n"), "one\r\ntwo\r\n");
  EXPECT_EQ(MemoTextToComment("one\r\ntwo"), "one\r\ntwo");
  // A comment is free text: long and non-ASCII texts come back unchanged.
  const std::string text = std::string(10000, 'x') + "\r\n١٢٣ 1,000 nan";
  EXPECT_EQ(MemoTextToComment(CommentToMemoText(text)), text);

  WhenModal<TCommentForm>([](TCommentForm& form) {
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
