// Numbers typed over a payoff or a probability, as the user's locale and
// the tree's currency write them.
#include "WidgetTestSupport.h"

#include <QLocale>
#include <QStatusTipEvent>
#include <QTest>

using namespace bw;
using namespace bw::test;

namespace {

class TreeWidgetNumbers : public TreeWidgetTest {
protected:
  void SetUp() override {
    TreeWidgetTest::SetUp();
    Area->installEventFilter(&Tips);
  }
  void TearDown() override {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TreeWidgetTest::TearDown();
  }

  // The small tree in a locale, with a currency; A's payoff is 5000.
  void Start(QLocale locale, const std::string& symbol, int posFormat, int negFormat) {
    QLocale::setDefault(locale);
    Widget->ApplySystemLocale();
    Tree().Options.ShowPayoff = true;
    Tree().Options.CurrencySymbol = symbol;
    Tree().Options.CurrencyDecimals = 2;
    Tree().Options.CurrencyPosFormat = posFormat;
    Tree().Options.CurrencyNegFormat = negFormat;
    BuildSmallTree();
    A()->Payoff = 50000000;
    Tree().Recalculate();
  }
  TDecTreeNode* A() { return Root()->Child(0); }
  // Types over A's payoff; the editor stays open.
  Currency TypePayoff(const QString& text) {
    Tree().SelectNode(A(), htPayoff);
    Type(text);
    return A()->Payoff;
  }
  bool ShownInvalid() const {
    return Widget->InplaceEdit()->palette().color(QPalette::Text) == QColor(Qt::red);
  }

  // The last text the tree control put into its window's status bar.
  struct : QObject {
    QString Last;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::StatusTip) Last = static_cast<QStatusTipEvent*>(event)->tip();
      return false;
    }
  } Tips;
};

TEST_F(TreeWidgetNumbers, PoundsInBritishNotation) {
  Start(QLocale(QLocale::English, QLocale::UnitedKingdom), "\u00A3", 0, 1);
  QLineEdit* editor = Widget->InplaceEdit();
  const std::pair<QString, Currency> typed[] = {{"7,500", 75000000},
                                                {"\u00A39000", 90000000},
                                                {"1 500", 15000000},
                                                {"-\u00A35", -50000},
                                                {"\u00A3 1,234,567.50", 12345675000}};
  for (auto [text, payoff] : typed) {
    EXPECT_EQ(TypePayoff(text), payoff) << text.toStdString();
    EXPECT_FALSE(ShownInvalid());
    // The whole text shows, also where it is wider than the drawn amount.
    EXPECT_LE(editor->fontMetrics().horizontalAdvance(text), editor->width());
    Key(Qt::Key_Return);
    EXPECT_FALSE(editor->isVisible());
  }

  // Not a number: refused where it is typed, and Enter does not take it.
  EXPECT_EQ(TypePayoff("abc"), 12345675000);
  EXPECT_TRUE(ShownInvalid());
  EXPECT_EQ(Tips.Last, "Invalid number");
  Key(Qt::Key_Return);
  EXPECT_TRUE(editor->isVisible());
  Type("1");
  EXPECT_EQ(A()->Payoff, 12345675000);
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);
  Type("8");
  EXPECT_EQ(A()->Payoff, 80000);
  EXPECT_FALSE(ShownInvalid());
  EXPECT_EQ(Tips.Last, "");
  Type("x");
  Key(Qt::Key_Escape);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(A()->Payoff, 12345675000);
  EXPECT_EQ(Tips.Last, "");

  // A chance branch keeps its probability, so the branches still add up.
  TDecTreeNode* c1 = A()->Child(0)->Child(0);
  Tree().SelectNode(c1, htProbability);
  Type("abc");
  EXPECT_EQ(c1->Probability, 40);
  EXPECT_TRUE(ShownInvalid());
  Key(Qt::Key_Escape);
  Type("12.5 %");
  EXPECT_EQ(c1->Probability, 12.5);
}

TEST_F(TreeWidgetNumbers, EurosInGermanNotation) {
  Start(QLocale(QLocale::German, QLocale::Germany), "\u20AC", 3, 8);
  EXPECT_EQ(TypePayoff("1.234,5 \u20AC"), 12345000);
  Key(Qt::Key_Return);
  EXPECT_EQ(TypePayoff("-1.234,5 \u20AC"), -12345000);
  Key(Qt::Key_Return);
  // A point is no decimal separator here: the 1 typed before it stays.
  EXPECT_EQ(TypePayoff("1.5"), 10000);
  EXPECT_TRUE(ShownInvalid());
  Key(Qt::Key_Escape);
  EXPECT_EQ(A()->Payoff, -12345000);
}

} // namespace
