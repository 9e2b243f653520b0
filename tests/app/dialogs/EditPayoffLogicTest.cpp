// The advanced payoff dialog's rules, without its window.
#include "app/dialogs/EditPayoffLogic.h"

#include "BadInput.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

using namespace bw;
using bw::test::BadNumberTexts;

namespace {

const TResultPanel& ModePanel(const TEditPayoffState& s) {
  const TResultPanel* panels[] = {&s.DirectPanel, &s.DiffResultPanel, &s.ImportResultPanel,
                                  &s.AdvancedResultPanel};
  return *panels[static_cast<int>(s.Mode)];
}

// The dialog as the user sees it, in one line: the checked row, the value
// edit, income and cost, the checked row's result panel and the import
// panel; then what OK gives (payoff in ten-thousandths, and the source).
std::string Shown(const TEditPayoffLogic& logic) {
  const TEditPayoffState& s = logic.State();
  const char* modes[] = {"Value", "IncomeCost", "Import", "Advanced"};
  QString text = QString("%1 %2 [%3 - %4] %5 | %6")
                     .arg(modes[static_cast<int>(s.Mode)], s.DirectEdit, s.PayoffEdit, s.CostEdit,
                          ModePanel(s).Text, s.ImportResultPanel.Text);
  if (!s.OkEnabled) text += " (OK off)";
  TEditPayoffDialogResult r;
  if (!logic.Confirm(r)) return (text + " -> refused").toStdString();
  EXPECT_TRUE(r.Changed);
  text += " -> " + QString::number(r.Payoff);
  return (text + (r.PayoffSource.empty() ? "" : " " + QString::fromStdString(r.PayoffSource)))
      .toStdString();
}

struct Payoff {
  TEditPayoffLogic Logic;
  Payoff(const std::string& source, Currency payoff, const std::string& symbol = {}) {
    Logic.Load(source, 2, payoff, symbol);
  }
  const TEditPayoffState& S() const { return Logic.State(); }
  void Type(TPayoffMode mode, TPayoffEdit edit, const QString& text) {
    Logic.ModeClick(mode);
    Logic.SetEditText(edit, text);
  }
};

} // namespace

// Each kind of source opens in its row, and OK without edits gives back
// the payoff rounded to the tree's decimals and the source. An imported
// payoff writes only one edit of the pair; a source of no known form opens
// as 0 and is dropped.
TEST(EditPayoffLogic, EachSourceOpensInItsRowAndOkGivesItBack) {
  const std::string excel = "Import: Excel(\"a.xls\";\"Sheet1\";\"B2\")";
  const std::tuple<std::string, Currency, std::string> cases[] = {
      {"", 125000, "Value 12.50 [12.50 - 0.00] = 12.50 | = 0.00 -> 125000"},
      {"", 123456, "Value 12.35 [12.35 - 0.00] = 12.35 | = 0.00 -> 123500"},
      {"", -400000, "Value -40.00 [0.00 - 40.00] = -40.00 | = 0.00 -> -400000"},
      {excel, 12345678,
       "Import 1234.57 [1234.57 - 0] = 1,234.57 | = 1,234.57 -> 12345700 " + excel},
      {"Import: X", -50000, "Import -5.00 [0 - 5.00] = -5.00 | = -5.00 -> -50000 Import: X"},
      {"Advanced: any", 70000, "Advanced 7.00 [7.00 - 0] = 7.00 | = 0 -> 70000 Advanced: any"},
      {"Formula: =A1", 990000, "Value 0 [0 - 0] = 0.00 | = 0 -> 0"},
  };
  for (const auto& [source, stored, shown] : cases)
    EXPECT_EQ(Shown(Payoff(source, stored).Logic), shown);
}

// A typed value splits into income and cost; typed income and cost give
// the value, are stored with invariant numbers and open again in the
// user's notation.
TEST(EditPayoffLogic, EditsFollowEachOtherAndIncomeCostIsStoredInvariant) {
  Payoff typed("", 30000);
  typed.Logic.SetEditText(TPayoffEdit::Direct, "-40");
  EXPECT_EQ(Shown(typed.Logic), "Value -40 [0.00 - 40.00] = -40.00 | = 0.00 -> -400000");
  Payoff p("", 0);
  p.Type(TPayoffMode::IncomeCost, TPayoffEdit::Payoff, "100");
  p.Logic.SetEditText(TPayoffEdit::Cost, "12.5");
  EXPECT_EQ(Shown(p.Logic),
            "IncomeCost 87.50 [100 - 12.5] = 87.50 | = 0.00 -> 875000 Income-Cost: 100:12.5");

  // The source's numbers, not the stored payoff, fill the row.
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(Shown(Payoff("Income-Cost: 100:12.5", 1).Logic),
            "IncomeCost 87,50 [100,00 - 12,50] = 87,50 | = 0,00 -> 875000 Income-Cost: 100:12.5");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// The import dialog's answer (nothing unless it says Changed), an empty
// reference, an advanced source given up for a plain value, and a panel
// whose shown number no payoff holds.
TEST(EditPayoffLogic, ImportedAndAdvancedPayoffsAreReadBackFromTheirPanels) {
  Payoff chosen("", 10000);
  chosen.Logic.ModeClick(TPayoffMode::Import);
  const std::string empty = "Import 1.00 [1.00 - 0.00] = 0.00 | = 0.00 -> 0 Import: ";
  EXPECT_EQ(Shown(chosen.Logic), empty);
  chosen.Logic.ImportChosen({false, "ignored", 90000});
  EXPECT_EQ(Shown(chosen.Logic), empty);
  chosen.Logic.ImportChosen({true, "C(3)", -30000});
  EXPECT_EQ(Shown(chosen.Logic),
            "Import -3.00 [0.00 - 3.00] = -3.00 | = -3.00 -> -30000 Import: C(3)");
  chosen.Logic.ImportChosen({true, "B(2)", 12345000});
  EXPECT_EQ(Shown(chosen.Logic),
            "Import 1234.50 [1234.50 - 0.00] = 1,234.50 | = 1,234.50 -> 12345000 Import: B(2)");

  Payoff advanced("Advanced: anything", 70000);
  advanced.Logic.ModeClick(TPayoffMode::Value);
  EXPECT_EQ(Shown(advanced.Logic), "Value 7.00 [7.00 - 0] = 7.00 | = 0 -> 70000");

  // The panel shows the largest payoff exactly to the tree's decimals. With
  // none it rounds up beyond what a payoff holds: OK refuses it instead of
  // wrapping.
  Payoff edge("Import: X", std::numeric_limits<Currency>::max());
  EXPECT_EQ(Shown(edge.Logic), "Import 922337203685477.58 [922337203685477.58 - 0] = "
                               "922,337,203,685,477.58 | = 922,337,203,685,477.58 -> "
                               "9223372036854775800 Import: X");
  edge.Logic.Load("Import: X", 0, std::numeric_limits<Currency>::max());
  EXPECT_EQ(Shown(edge.Logic), "Import 922337203685478 [922337203685478 - 0] = "
                               "922,337,203,685,478 | = 922,337,203,685,478 -> refused");
}

TEST(EditPayoffLogic, AnInvalidNumberKeepsOkDisabledUntilAValidModeAndNumber) {
  Payoff p("", 10000);
  p.Logic.SetEditText(TPayoffEdit::Direct, "abc");
  EXPECT_EQ(Shown(p.Logic), "Value abc [1.00 - 0.00] Invalid number | = 0.00 (OK off) -> refused");
  // No check runs in import mode: OK keeps its state.
  p.Logic.ModeClick(TPayoffMode::Import);
  EXPECT_FALSE(p.S().OkEnabled);
  // Income and cost hold valid numbers: OK comes back.
  p.Logic.ModeClick(TPayoffMode::IncomeCost);
  EXPECT_TRUE(p.S().OkEnabled);
  p.Logic.ModeClick(TPayoffMode::Value);
  EXPECT_FALSE(p.S().OkEnabled);
  p.Logic.SetEditText(TPayoffEdit::Direct, "2");
  EXPECT_TRUE(p.S().OkEnabled);
  EXPECT_FALSE(p.S().DirectPanel.Invalid);
}

// Every field that takes typed text: each bad text is an invalid number
// ("-0" is zero), nothing raises.
TEST(EditPayoffLogic, BadInputGivesTheFieldsInvalidState) {
  const std::pair<TPayoffMode, TPayoffEdit> fields[] = {
      {TPayoffMode::Value, TPayoffEdit::Direct},
      {TPayoffMode::IncomeCost, TPayoffEdit::Payoff},
      {TPayoffMode::IncomeCost, TPayoffEdit::Cost}};
  const QStringList texts = BadNumberTexts() + QStringList{"inf", "922337203685478"};
  for (auto [mode, field] : fields)
    for (const QString& text : texts) {
      Payoff p("", 50000);
      p.Type(mode, field, text);
      const bool zero = text == "-0";
      EXPECT_EQ(ModePanel(p.S()).Invalid, !zero) << text.left(12).toStdString();
      EXPECT_EQ(ModePanel(p.S()).Text == "Invalid number", !zero);
      EXPECT_EQ(p.S().OkEnabled, zero);
    }
  // Income and cost that each fit but whose difference does not.
  Payoff wide("", 0);
  wide.Type(TPayoffMode::IncomeCost, TPayoffEdit::Payoff, "900000000000000");
  wide.Logic.SetEditText(TPayoffEdit::Cost, "-900000000000000");
  EXPECT_TRUE(wide.S().DiffResultPanel.Invalid);
  EXPECT_FALSE(wide.S().OkEnabled);
}

// A hand-edited file may bring an income-cost source that cannot be read or
// does not fit a Currency. It opens like an unknown source but keeps the
// node's payoff, so that OK keeps the value and drops the broken source.
TEST(EditPayoffLogic, ABrokenIncomeCostSourceOpensWithTheStoredPayoff) {
  for (const char* source :
       {"Income-Cost: abc:1", "Income-Cost: 12", "Income-Cost: 1:2:3", "Income-Cost: 1e300:0",
        "Income-Cost: nan:0", "Income-Cost: 900000000000000:-900000000000000"})
    EXPECT_EQ(Shown(Payoff(source, 50000).Logic), "Value 5.00 [5.00 - 0.00] = 5.00 | = 0 -> 50000")
        << source;
}

// Amounts beyond what a double holds to the ten-thousandth are typed,
// stored as income and cost, and opened again exactly.
TEST(EditPayoffLogic, TypedAmountsAreStoredExactly) {
  for (auto [text, exact] :
       {std::pair<QString, Currency>{"469,258,060,182,053.52", 4692580601820535200},
        {"549755813888.0001", 5497558138880001}})
    for (TPayoffEdit edit : {TPayoffEdit::Direct, TPayoffEdit::Payoff}) {
      Payoff typed("", 0);
      typed.Type(edit == TPayoffEdit::Direct ? TPayoffMode::Value : TPayoffMode::IncomeCost, edit,
                 text);
      TEditPayoffDialogResult r, again;
      ASSERT_TRUE(typed.Logic.Confirm(r));
      typed.Logic.Load(r.PayoffSource, 4, r.Payoff);
      ASSERT_TRUE(typed.Logic.Confirm(again));
      EXPECT_EQ(r.Payoff, exact) << text.toStdString();
      EXPECT_EQ(again.Payoff, exact) << r.PayoffSource;
    }
}

// What the in-place editor reads on the same tree, the dialog reads too: the
// tree's currency symbol before or after the number.
TEST(EditPayoffLogic, TypedAmountsAreReadAsInPlaceWithTheTreesSymbol) {
  const QLocale gb(QLocale::English, QLocale::UnitedKingdom), de(QLocale::German, QLocale::Germany);
  const std::tuple<QLocale, const char*, const char*, Currency> cases[] = {
      {gb, "\u00A3", "\u00A39000", 90000000},
      {de, "\u20AC", "1.234,5 \u20AC", 12345000},
      {de, "\u20AC", "-5 \u20AC", -50000}};
  for (const auto& [locale, symbol, text, payoff] : cases) {
    QLocale::setDefault(locale);
    for (auto [mode, edit] : {std::pair{TPayoffMode::Value, TPayoffEdit::Direct},
                              std::pair{TPayoffMode::IncomeCost, TPayoffEdit::Payoff}}) {
      Payoff p("", 0, symbol);
      p.Type(mode, edit, QString::fromUtf8(text));
      TEditPayoffDialogResult r;
      EXPECT_TRUE(p.Logic.Confirm(r) && r.Payoff == payoff) << text;
    }
  }
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// Typed key by key, "250k" passes through "250" on its way; once refused,
// income and cost are back where they were before the value was typed, and
// neither the income-cost row nor OK takes 250.
TEST(EditPayoffLogic, ARefusedValuesReadableBeginningNeverBecomesAnAmount) {
  Payoff p("", -40000);
  for (const char* text : {"2", "25", "250", "250k"})
    p.Logic.SetEditText(TPayoffEdit::Direct, text);
  EXPECT_EQ(Shown(p.Logic), "Value 250k [0.00 - 4.00] Invalid number | = 0.00 (OK off) -> refused");
  p.Logic.ModeClick(TPayoffMode::IncomeCost);
  EXPECT_EQ(Shown(p.Logic),
            "IncomeCost 250k [0.00 - 4.00] = -4.00 | = 0.00 -> -40000 Income-Cost: 0:4");
  // The pair the user typed is the one a refused value goes back to.
  p.Logic.SetEditText(TPayoffEdit::Payoff, "7");
  p.Logic.ModeClick(TPayoffMode::Value);
  p.Logic.SetEditText(TPayoffEdit::Direct, "9");
  p.Logic.SetEditText(TPayoffEdit::Direct, "9x");
  EXPECT_EQ(p.S().PayoffEdit, "7");
  EXPECT_EQ(p.S().CostEdit, "4.00");
}
