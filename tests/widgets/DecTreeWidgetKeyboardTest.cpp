// Building and editing a tree from the keyboard alone.
#include "WidgetTestSupport.h"
#include "support/RefusedNumbers.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTest>

#include <gmock/gmock.h>

using namespace bw;
using namespace bw::test;
using ::testing::ElementsAre;

namespace {

class TreeWidgetKeys : public TreeWidgetTest {};

// The last text the window's status bar was sent.
struct StatusTips : QObject {
  QString Last;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::StatusTip) Last = static_cast<QStatusTipEvent*>(event)->tip();
    return false;
  }
};

TEST_F(TreeWidgetKeys, InsertTypeEnterNamesBothNewChildren) {
  Key(Qt::Key_Insert);
  ASSERT_EQ(Root()->ChildCount(), 2);
  QLineEdit* editor = Widget->InplaceEdit();
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(Focus(), editor);
  EXPECT_EQ(Root()->Child(0)->Probability, 100);
  EXPECT_EQ(Root()->Child(1)->Probability, 0);

  Type("Buy");
  // Every keystroke is applied at once.
  EXPECT_EQ(Root()->Child(0)->Caption, "Buy");
  Key(Qt::Key_Return);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(Tree().EditedNode(), Root()->Child(1));
  Type("Rent");
  Key(Qt::Key_Enter);

  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(Focus(), Widget);
  EXPECT_EQ(Root()->Child(0)->Caption, "Buy");
  EXPECT_EQ(Root()->Child(1)->Caption, "Rent");
  EXPECT_THAT(SelectedCaptions(), ElementsAre("Rent"));
  // The Enter that closed the editor did not go on to the tree, which would
  // have opened it again with another step.
  EXPECT_THAT(UndoSteps, ElementsAre("Add subnodes", "Edit Title", "Edit Title"));
}

TEST_F(TreeWidgetKeys, EscapeAfterInsertTakesTheNewChildrenAway) {
  Key(Qt::Key_Insert);
  Type("x");
  Key(Qt::Key_Escape);
  EXPECT_EQ(Root()->ChildCount(), 0);
  EXPECT_FALSE(Widget->InplaceEdit()->isVisible());
  EXPECT_EQ(Focus(), Widget);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("Root"));
  // Both undo steps stay on the stack after Esc.
  EXPECT_THAT(UndoSteps, ElementsAre("Add subnodes", "Edit Title"));

  // On a node with children one child is added, and Esc removes only it.
  BuildSmallTree();
  Tree().SelectNode(Root(), htBox);
  UndoSteps.clear();
  Key(Qt::Key_Insert);
  ASSERT_EQ(Root()->ChildCount(), 3);
  EXPECT_EQ(Root()->Child(2)->Probability, 0);
  Key(Qt::Key_Escape);
  ASSERT_EQ(Root()->ChildCount(), 2);
  EXPECT_EQ(Root()->Child(1)->Caption, "B");
  EXPECT_THAT(UndoSteps, ElementsAre("Add subnodes", "Edit Title"));
}

TEST_F(TreeWidgetKeys, TabAndBacktabMoveTheElementNotTheFocus) {
  BuildSmallTree();
  // A lone root has no probability or payoff: Tab stays on the box.
  Key(Qt::Key_Tab);
  EXPECT_EQ(Tree().SelectionElementType, htBox);
  EXPECT_EQ(Focus(), Widget);

  TDecTreeNode* a = Root()->Child(0);
  a->DecisionShowCaption = true;
  Tree().Recalculate();
  Tree().SelectNode(a, htBox);
  Key(Qt::Key_Tab);
  EXPECT_EQ(Tree().SelectionElementType, htProbability);
  Key(Qt::Key_Tab);
  EXPECT_EQ(Tree().SelectionElementType, htPayoff);
  Key(Qt::Key_Tab);
  EXPECT_EQ(Tree().SelectionElementType, htIndicatorCaption);
  Key(Qt::Key_Tab);
  EXPECT_EQ(Tree().SelectionElementType, htBox);
  // Shift+Tab arrives as Backtab from the window system, as Tab with Shift
  // from elsewhere.
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Tree().SelectionElementType, htIndicatorCaption);
  Key(Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(Tree().SelectionElementType, htPayoff);
  EXPECT_EQ(Focus(), Widget);
  EXPECT_TRUE(UndoSteps.empty());
}

TEST_F(TreeWidgetKeys, ArrowsWalkTheTreeKeepingTheElement) {
  BuildSmallTree();
  TDecTreeNode* a = Root()->Child(0);
  a->ChildrenVisible = false;
  Tree().Recalculate();
  Tree().Selection.Clear();
  Key(Qt::Key_Down);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("Root"));
  Key(Qt::Key_Right);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("A"));
  Key(Qt::Key_Tab);
  Key(Qt::Key_Down);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  Key(Qt::Key_Down);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  Key(Qt::Key_Up);
  // The hidden child of a collapsed node is reached too.
  Key(Qt::Key_Right);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C"));
  Key(Qt::Key_Left);
  Key(Qt::Key_Left);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("Root"));
  EXPECT_EQ(Tree().SelectionElementType, htProbability);
  EXPECT_EQ(Focus(), Widget);
}

TEST_F(TreeWidgetKeys, F2AndEnterEditEscapeRestores) {
  BuildSmallTree();
  Tree().SelectNode(Root()->Child(1), htBox);
  Key(Qt::Key_F2);
  QLineEdit* editor = Widget->InplaceEdit();
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->text(), "B");
  EXPECT_EQ(editor->selectedText(), "B");
  Type("Lease");
  EXPECT_EQ(Root()->Child(1)->Caption, "Lease");
  Key(Qt::Key_Escape);
  EXPECT_EQ(Root()->Child(1)->Caption, "B");
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(Focus(), Widget);

  Key(Qt::Key_Return);
  ASSERT_TRUE(editor->isVisible());
  Type("Own");
  Key(Qt::Key_Return);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(Root()->Child(1)->Caption, "Own");
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Title", "Edit Title"));
}

TEST_F(TreeWidgetKeys, KeysTheEditorIgnoresDoNotReachTheTree) {
  BuildSmallTree();
  TDecTreeNode* c1 = Root()->Child(0)->Child(0)->Child(0);
  Tree().SelectNode(c1, htBox);
  Key(Qt::Key_F2);
  Type("D");
  // Neither the selection, nor its element, nor the tree changes under an
  // open editor; the edit box keeps the focus.
  for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Tab, Qt::Key_Insert, Qt::Key_F2,
                      Qt::Key_Menu, Qt::Key_PageDown})
    Key(key);
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  Key(Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_EQ(Focus(), Widget->InplaceEdit());
  EXPECT_THAT(SelectedCaptions(), ElementsAre("D"));
  EXPECT_EQ(Tree().SelectionElementType, htBox);
  EXPECT_EQ(c1->ChildCount(), 0);
  EXPECT_EQ(OpenMenu(), nullptr);
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Title"));

  // So Ctrl+Enter copies the caption that was edited, to the nodes the
  // user had selected.
  Key(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(c1->Caption, "D");
  EXPECT_EQ(c1->Parent->Child(1)->Caption, "C2");
  EXPECT_EQ(c1->Probability, 40);
}

TEST_F(TreeWidgetKeys, TheBoxEditorShowsAllItHolds) {
  BuildSmallTree();
  Tree().SelectNode(Root()->Child(1), htBox);
  Key(Qt::Key_F2);
  Type("Bq Wq");
  QLineEdit* editor = Widget->InplaceEdit();
  // The box is as wide as its caption and three blanks: the editor's text
  // starts at its left edge and the caret after the caption still lies
  // within it, so nothing of the caption is scrolled away.
  auto caret = [editor] {
    const QRect r = editor->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    return r.x() + r.width() / 2;
  };
  editor->home(false);
  const int start = caret();
  editor->end(false);
  const int end = caret();
  EXPECT_EQ(start, 0);
  EXPECT_LE(end, editor->width());
}

TEST_F(TreeWidgetKeys, TypingOverAnElementReplacesItsValue) {
  BuildSmallTree();
  TDecTreeNode* c1 = Root()->Child(0)->Child(0)->Child(0);
  Tree().SelectNode(c1, htProbability);
  Type("12.5 %");
  EXPECT_EQ(c1->Probability, 12.5);
  EXPECT_EQ(Widget->InplaceEdit()->text(), "12.5 %");
  Key(Qt::Key_Return);
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Probability"));

  // The first character replaces the caption and the caret follows it.
  Tree().SelectNode(c1, htBox);
  Type("7x");
  EXPECT_EQ(c1->Caption, "7x");
  EXPECT_EQ(Widget->InplaceEdit()->cursorPosition(), 2);
  Key(Qt::Key_Return);

  // Ctrl+A is a shortcut, not a typed "a".
  Tree().SelectNode(c1, htBox);
  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_FALSE(Widget->InplaceEdit()->isVisible());
  EXPECT_EQ(c1->Caption, "7x");
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Probability", "Edit Title"));
}

// A payoff typed as the user's locale and the tree's currency write it;
// text that is no number shows as refused, in the editor and the status bar.
TEST_F(TreeWidgetKeys, NumbersAreTypedAsTheLocaleWritesThem) {
  StatusTips tips;
  Area->installEventFilter(&tips);
  BuildSmallTree();
  TDecTreeNode* a = Root()->Child(0);
  QLineEdit* editor = Widget->InplaceEdit();
  auto typeOver = [&](const QString& text) {
    Tree().SelectNode(a, htPayoff);
    Type(text);
    return a->Payoff;
  };
  const QLocale gb(QLocale::English, QLocale::UnitedKingdom), de(QLocale::German, QLocale::Germany);
  const std::tuple<QLocale, const char*, QString, Currency> typed[] = {
      {gb, "\u00A3", "7,500", 75000000},
      {gb, "\u00A3", "\u00A39000", 90000000},
      {gb, "\u00A3", "1 500", 15000000},
      {gb, "\u00A3", "-\u00A35", -50000},
      {gb, "\u00A3", "\u00A3 1,234,567.50", 12345675000},
      // Exactly, where a double would be off by ten-thousandths.
      {gb, "\u00A3", "469,258,060,182,053.52", 4692580601820535200},
      {gb, "\u00A3", "549755813888.0001", 5497558138880001},
      {de, "\u20AC", "-1.234,5 \u20AC", -12345000}};
  for (const auto& [locale, symbol, text, payoff] : typed) {
    QLocale::setDefault(locale);
    Widget->ApplySystemLocale();
    Tree().Options = {.CurrencySymbol = symbol, .CurrencyDecimals = 2, .ShowPayoff = true};
    EXPECT_EQ(typeOver(text), payoff) << text.toStdString();
    // The whole text shows, also where it is wider than the drawn amount.
    EXPECT_LE(editor->fontMetrics().horizontalAdvance(text), editor->width());
    Key(Qt::Key_Return);
    EXPECT_FALSE(editor->isVisible());
  }
  // In German a point is no decimal separator: the 1 typed before it is not
  // kept either.
  EXPECT_EQ(typeOver("1.5"), -12345000);
  EXPECT_EQ(editor->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_EQ(tips.Last, "Invalid number");
  Key(Qt::Key_Escape);
  EXPECT_EQ(a->Payoff, -12345000);
  EXPECT_NE(editor->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_EQ(tips.Last, "");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// Text that is no number leaves the node as the edit found it, while red
// and after a click on empty canvas or the focus going to another widget
// (which keeps it) or window; no undo step holds what was typed on the way.
TEST_F(TreeWidgetKeys, TextThatIsNoNumberIsTakenBackHoweverTheEditEnds) {
  StatusTips tips;
  Area->installEventFilter(&tips);
  QLineEdit other(Area.get());
  other.setGeometry(600, 0, 80, 20); // away from the tree and the blank
  other.show();
  QWidget window;
  window.show();
  BuildSmallTree();
  TDecTreeNode* a = Root()->Child(0);
  a->Payoff = 70000;
  std::vector<Currency> undoSteps; // a's payoff in each step
  Tree().OnSaveUndo = [&](TDecTree&, const std::string&) { undoSteps.push_back(a->Payoff); };
  for (const auto& [locale, texts] : test::RefusedNumberTexts())
    for (const QString& text : texts)
      for (QWidget* end : {static_cast<QWidget*>(Widget), static_cast<QWidget*>(&other), &window}) {
        SCOPED_TRACE(locale.name().toStdString() + " " + text.toStdString());
        QLocale::setDefault(locale);
        Widget->ApplySystemLocale();
        Reactivate();
        Widget->setFocus();
        Tree().SelectNode(a, htPayoff);
        Type(text);
        EXPECT_EQ(a->Payoff, 70000);
        if (end == &window)
          QApplication::setActiveWindow(&window);
        else
          end == Widget ? Click(Blank()) : other.setFocus();
        EXPECT_FALSE(Widget->InplaceEdit()->isVisible());
        EXPECT_EQ(Area->focusWidget(), end == &other ? end : Widget);
        EXPECT_EQ(a->Payoff, 70000);
        EXPECT_EQ(tips.Last, "Invalid number: the edit was taken back");
      }
  EXPECT_EQ(undoSteps, std::vector<Currency>(36, 70000));
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST_F(TreeWidgetKeys, CtrlEnterCopiesThePayoffToTheOtherSelectedNodes) {
  Tree().Options.ShowPayoff = true;
  BuildSmallTree();
  TDecTreeNode* c = Root()->Child(0)->Child(0);
  TDecTreeNode* c1 = c->Child(0);
  TDecTreeNode* c2 = c->Child(1);
  TDecTreeNode* b = Root()->Child(1);
  b->PayoffSource = "income-cost";
  Tree().SelectNode(c1, htPayoff);
  Tree().Selection.Add(c2->Id);
  Tree().Selection.Add(b->Id);
  Key(Qt::Key_F2);
  ASSERT_TRUE(Widget->InplaceEdit()->isVisible());
  Type("250.5");
  Key(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_FALSE(Widget->InplaceEdit()->isVisible());
  EXPECT_EQ(c1->Payoff, 2505000);
  EXPECT_EQ(c2->Payoff, 2505000);
  // A payoff with a source of its own keeps it.
  EXPECT_EQ(b->Payoff, 0);
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Payoff"));
}

TEST_F(TreeWidgetKeys, DeleteAsksFirst) {
  BuildSmallTree();
  Tree().SelectNode(Root()->Child(0), htBox);
  Answer = false;
  Key(Qt::Key_Delete);
  EXPECT_EQ(Root()->ChildCount(), 2);
  EXPECT_TRUE(UndoSteps.empty());
  Answer = true;
  Key(Qt::Key_Delete);
  ASSERT_EQ(Root()->ChildCount(), 1);
  // The remaining option is taken, so that one option always is.
  EXPECT_EQ(Root()->Child(0)->Caption, "B");
  EXPECT_EQ(Root()->Child(0)->Probability, 100);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("Root"));
  EXPECT_THAT(UndoSteps, ElementsAre("Remove"));
  const QString question =
      "Do you really want to delete the selected node(s) and all of its/their children?";
  EXPECT_THAT(Questions, ElementsAre(question, question));
}

TEST_F(TreeWidgetKeys, ShiftF10AndTheMenuKeyOpenTheNodeMenuBelowTheSelection) {
  BuildSmallTree();
  TDecTreeNode* c1 = Root()->Child(0)->Child(0)->Child(0);
  TDecTreeNode* c2 = Root()->Child(0)->Child(0)->Child(1);
  Tree().SelectNode(c2, htProbability);
  Tree().Selection.Add(c1->Id);
  Key(Qt::Key_F10, Qt::ShiftModifier);
  // The selected element that reaches furthest down anchors the menu.
  const TNodeRect& p = c2->Rect(htProbability);
  EXPECT_EQ(OpenMenu(), NodeMenu);
  EXPECT_EQ(NodeMenu->pos(), Widget->mapToGlobal(QPoint(p.Left, NodeRectBottom(p))));
  CloseMenus();

  Tree().Selection.Clear();
  Key(Qt::Key_Menu);
  EXPECT_EQ(OpenMenu(), NodeMenu);
  EXPECT_EQ(NodeMenu->pos(), Widget->mapToGlobal(QPoint(0, 0)));
  CloseMenus();

  // F10 alone is the window's, and without the focus the tree opens nothing.
  Key(Qt::Key_F10);
  EXPECT_EQ(OpenMenu(), nullptr);
  Widget->clearFocus();
  QTest::keyClick(Widget, Qt::Key_Menu);
  EXPECT_EQ(OpenMenu(), nullptr);
}

TEST_F(TreeWidgetKeys, UndoAndRedoInTheEditorReachTheWindowMenu) {
  QAction undo(QStringLiteral("Undo"), Area.get());
  undo.setShortcut(QKeySequence::Undo);
  Area->addAction(&undo);
  QAction redo(QStringLiteral("Redo"), Area.get());
  redo.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
  Area->addAction(&redo);
  QSignalSpy undone(&undo, &QAction::triggered);
  QSignalSpy redone(&redo, &QAction::triggered);

  Key(Qt::Key_F2);
  Type("Start");
  ASSERT_EQ(Focus(), Widget->InplaceEdit());
  Key(Qt::Key_Z, Qt::ControlModifier);
  Key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(undone.count(), 1);
  EXPECT_EQ(redone.count(), 1);
  // The edit box did not undo its typing on its own.
  EXPECT_EQ(Widget->InplaceEdit()->text(), "Start");
  EXPECT_EQ(Root()->Caption, "Start");
}

} // namespace

TEST_F(TreeWidgetKeys, TheSelectionAndTheEditorScrollIntoView) {
  Area->resize(300, 200);
  Tree().SetMinWidth(Area->viewport()->width());
  Tree().SetMinHeight(Area->viewport()->height());
  for (int i = 0; i < 40; ++i)
    AddNode(Root(), "Option " + std::to_string(i), ntDecision, i == 0 ? 100 : 0);
  Tree().Recalculate();
  Tree().SelectNode(Root()->Child(0), htBox);
  const auto shown = [&](const TDecTreeNode* node) {
    const TNodeRect& box = node->Rect(htBox);
    const QRect onScreen(Widget->mapTo(Area->viewport(), QPoint(box.Left, box.Top)),
                         QSize(box.Width, box.Height));
    return Area->viewport()->rect().contains(onScreen);
  };
  for (int i = 0; i < 39; ++i)
    Key(Qt::Key_Down);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("Option 39"));
  EXPECT_TRUE(shown(Root()->Child(39)));

  // An editor opened on a node out of sight brings it back first.
  Area->verticalScrollBar()->setValue(0);
  ASSERT_FALSE(shown(Root()->Child(39)));
  Key(Qt::Key_F2);
  ASSERT_TRUE(Widget->InplaceEdit()->isVisible());
  EXPECT_TRUE(shown(Root()->Child(39)));
}
