// The due-date dialog, alone and opened from the tree.
#include "widgets/EditDueDateForm.h"
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>

#include <algorithm>
#include <functional>

using namespace bw;
using namespace bw::test;
using ::testing::ElementsAre;

namespace {

// 2024-03-15 and 2031-07-04 as days since 1899-12-30.
constexpr TDateTime March15 = 45366;
constexpr TDateTime July4 = 48033;

// The form's controls by their names.
struct Controls {
  explicit Controls(QWidget& form)
      : HasDueDateCheckBox(form.findChild<QCheckBox*>("HasDueDateCheckBox")),
        DueDateCaption(form.findChild<QLabel*>("DueDateCaption")),
        DueDateDateTimePicker(form.findChild<QDateEdit*>("DueDateDateTimePicker")),
        OKButton(form.findChild<QPushButton*>("OKButton")),
        CancelButton(form.findChild<QPushButton*>("CancelButton")) {}
  bool Complete() const {
    return HasDueDateCheckBox && DueDateCaption && DueDateDateTimePicker && OKButton &&
           CancelButton;
  }
  QCheckBox* HasDueDateCheckBox;
  QLabel* DueDateCaption;
  QDateEdit* DueDateDateTimePicker;
  QPushButton* OKButton;
  QPushButton* CancelButton;
};

// Runs `act` on the dialog once it is up; a dialog left open after it is
// cancelled, so that a failing test cannot hang.
void WhenShown(std::function<void(TEditDueDateForm&)> act) {
  QTimer::singleShot(0, [act] {
    auto* form = qobject_cast<TEditDueDateForm*>(QApplication::activeModalWidget());
    if (!form) {
      ADD_FAILURE() << "the due-date dialog is not shown";
      return;
    }
    if (!Controls(*form).Complete()) {
      ADD_FAILURE() << "a control of the due-date form is missing";
      form->reject();
      return;
    }
    act(*form);
    if (form->isVisible()) {
      ADD_FAILURE() << "the dialog is still open";
      form->reject();
    }
  });
}

// A click where the button reacts: a check box laid out wider than its
// caption takes clicks on the caption and the box only.
void Push(QAbstractButton* button) {
  const QPoint at(std::min(button->width(), button->sizeHint().width()) / 2, button->height() / 2);
  QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

TEST(EditDueDateForm, NoDueDateShowsTodayDisabledAndOkKeepsNone) {
  TDateTime date = 0;
  WhenShown([](TEditDueDateForm& form) {
    Controls ui(form);
    EXPECT_EQ(form.windowTitle(), "Edit Due Date");
    EXPECT_EQ(form.pos(), QPoint(120, 80));
    EXPECT_FALSE(ui.HasDueDateCheckBox->isChecked());
    EXPECT_EQ(ui.DueDateDateTimePicker->date(), QDate(2024, 3, 5));
    EXPECT_FALSE(ui.DueDateDateTimePicker->isEnabled());
    EXPECT_FALSE(ui.DueDateCaption->isEnabled());
    EXPECT_TRUE(ui.OKButton->isDefault());
    Push(ui.OKButton);
  });
  EXPECT_TRUE(TEditDueDateForm::Execute(120, 80, date, QDate(2024, 3, 5)));
  EXPECT_EQ(date, 0);
}

TEST(EditDueDateForm, CheckingThenUncheckingFollowsTheBox) {
  TDateTime date = March15;
  WhenShown([](TEditDueDateForm& form) {
    Controls ui(form);
    EXPECT_TRUE(ui.HasDueDateCheckBox->isChecked());
    EXPECT_EQ(ui.DueDateDateTimePicker->date(), QDate(2024, 3, 15));
    EXPECT_TRUE(ui.DueDateDateTimePicker->isEnabled());
    Push(ui.HasDueDateCheckBox);
    EXPECT_FALSE(ui.DueDateDateTimePicker->isEnabled());
    EXPECT_FALSE(ui.DueDateCaption->isEnabled());
    Push(ui.OKButton);
  });
  EXPECT_TRUE(TEditDueDateForm::Execute(0, 0, date));
  EXPECT_EQ(date, 0);

  WhenShown([](TEditDueDateForm& form) {
    Controls ui(form);
    Push(ui.HasDueDateCheckBox);
    EXPECT_TRUE(ui.DueDateDateTimePicker->isEnabled());
    EXPECT_TRUE(ui.DueDateCaption->isEnabled());
    ui.DueDateDateTimePicker->setDate(QDate(2031, 7, 4));
    Push(ui.OKButton);
  });
  EXPECT_TRUE(TEditDueDateForm::Execute(0, 0, date));
  EXPECT_EQ(date, July4);
}

TEST(EditDueDateForm, CancelAndEscapeLeaveTheDateAlone) {
  TDateTime date = March15;
  WhenShown([](TEditDueDateForm& form) {
    Push(Controls(form).HasDueDateCheckBox);
    Push(Controls(form).CancelButton);
  });
  EXPECT_FALSE(TEditDueDateForm::Execute(0, 0, date));
  EXPECT_EQ(date, March15);

  WhenShown([](TEditDueDateForm& form) { QTest::keyClick(&form, Qt::Key_Escape); });
  EXPECT_FALSE(TEditDueDateForm::Execute(0, 0, date));
  EXPECT_EQ(date, March15);
}

TEST(EditDueDateForm, ControlsFitTheirTextsInTheFormsOrder) {
  // The user's font, whatever its size, never cuts a caption.
  const QFont applicationFont = QApplication::font();
  for (int points : {0, 14}) {
    if (points > 0) {
      QFont large = applicationFont;
      large.setPointSize(points);
      QApplication::setFont(large);
    }
    {
      TEditDueDateForm form;
      form.Load(March15);
      form.show();
      Controls ui(form);
      ASSERT_TRUE(ui.Complete());
      EXPECT_GE(form.width(), 277);
      EXPECT_GE(form.height(), 105);
      for (QWidget* w : std::initializer_list<QWidget*>{ui.HasDueDateCheckBox, ui.DueDateCaption,
                                                        ui.DueDateDateTimePicker, ui.OKButton,
                                                        ui.CancelButton}) {
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << qPrintable(w->objectName());
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << qPrintable(w->objectName());
        EXPECT_TRUE(form.rect().contains(w->geometry())) << qPrintable(w->objectName());
      }
      EXPECT_LE(ui.HasDueDateCheckBox->geometry().bottom(), ui.DueDateCaption->geometry().top());
      EXPECT_LT(ui.DueDateCaption->geometry().right(), ui.DueDateDateTimePicker->x());
      EXPECT_LT(ui.DueDateDateTimePicker->geometry().bottom(), ui.OKButton->y());
      EXPECT_LT(ui.OKButton->geometry().right(), ui.CancelButton->x());
      EXPECT_EQ(ui.OKButton->y(), ui.CancelButton->y());
    }
    QApplication::setFont(applicationFont);
  }
}

class TreeWidgetDueDate : public TreeWidgetTest {};

TEST_F(TreeWidgetDueDate, SpaceOnTheDueDateLineOpensTheDialogBelowThePanel) {
  BuildSmallTree();
  TDecTreeNode* a = Root()->Child(0);
  a->DecisionShowDueDate = true;
  Tree().Recalculate();
  Tree().SelectNode(a, htIndicatorDueDate);
  const TNodeRect& panel = a->Rect(htIndicator);
  const QPoint expected = Widget->mapToGlobal(QPoint(panel.Left, NodeRectBottom(panel)));
  WhenShown([&](TEditDueDateForm& form) {
    // The step is taken before the dialog opens.
    EXPECT_THAT(UndoSteps, ElementsAre("Edit Decision Due Date"));
    EXPECT_EQ(form.pos(), expected);
    Push(Controls(form).HasDueDateCheckBox);
    Controls(form).DueDateDateTimePicker->setDate(QDate(2024, 3, 15));
    Push(Controls(form).OKButton);
  });
  Key(Qt::Key_Space);
  EXPECT_EQ(a->DecisionDueDate, March15);
  Reactivate();
  EXPECT_EQ(Focus(), Widget);

  // Cancelled, the date stays and so does the step.
  WhenShown([](TEditDueDateForm& form) { Push(Controls(form).CancelButton); });
  Key(Qt::Key_Return);
  EXPECT_EQ(a->DecisionDueDate, March15);
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Decision Due Date", "Edit Decision Due Date"));
}

} // namespace
