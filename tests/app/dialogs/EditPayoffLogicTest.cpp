// The advanced payoff dialog's rules, without its window.
#include "app/dialogs/EditPayoffLogic.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

using namespace bw;

namespace {

Currency Money(double v) {
  return std::llround(v * 10000);
}

struct Payoff {
  TEditPayoffLogic Logic;
  Payoff(const std::string& source, Currency payoff, int decimals = 2) {
    Logic.Load(source, decimals, payoff);
  }
  const TEditPayoffState& S() const { return Logic.State(); }
  TEditPayoffDialogResult Ok() const {
    TEditPayoffDialogResult r;
    EXPECT_TRUE(Logic.Confirm(r));
    return r;
  }
};

} // namespace

TEST(EditPayoffLogic, APlainValueLoadsWithItsIncomeCostPairAndIsReadBackFromTheText) {
  Payoff p("", Money(12.5));
  EXPECT_EQ(p.S().Mode, TPayoffMode::Value);
  EXPECT_EQ(p.S().DirectEdit, "12.50");
  EXPECT_EQ(p.S().PayoffEdit, "12.50");
  EXPECT_EQ(p.S().CostEdit, "0.00");
  EXPECT_EQ(p.S().DirectPanel.Text, "= 12.50");
  EXPECT_EQ(p.S().ImportResultPanel.Text, "= 0.00");
  EXPECT_TRUE(p.S().OkEnabled);
  TEditPayoffDialogResult r = p.Ok();
  EXPECT_TRUE(r.Changed);
  EXPECT_EQ(r.Payoff, Money(12.5));
  EXPECT_EQ(r.PayoffSource, "");

  // More decimals than the tree shows are rounded away on OK.
  EXPECT_EQ(Payoff("", 123456).Ok().Payoff, 123500);

  Payoff negative("", Money(-40));
  EXPECT_EQ(negative.S().PayoffEdit, "0.00");
  EXPECT_EQ(negative.S().CostEdit, "40.00");
  Payoff typed("", Money(3));
  typed.Logic.SetEditText(TPayoffEdit::Direct, "-40");
  EXPECT_EQ(typed.S().PayoffEdit, "0.00");
  EXPECT_EQ(typed.S().CostEdit, "40.00");
  EXPECT_EQ(typed.S().DirectPanel.Text, "= -40.00");
  EXPECT_EQ(typed.Ok().Payoff, Money(-40));
}

TEST(EditPayoffLogic, IncomeMinusCostIsStoredInvariantAndOpensAgainAsTyped) {
  Payoff p("", 0);
  p.Logic.ModeClick(TPayoffMode::IncomeCost);
  p.Logic.SetEditText(TPayoffEdit::Payoff, "1,00");
  EXPECT_TRUE(p.S().DiffResultPanel.Invalid);
  p.Logic.SetEditText(TPayoffEdit::Payoff, "100");
  p.Logic.SetEditText(TPayoffEdit::Cost, "12.5");
  // The value edit follows the difference.
  EXPECT_EQ(p.S().DirectEdit, "87.50");
  EXPECT_EQ(p.S().DiffResultPanel.Text, "= 87.50");
  TEditPayoffDialogResult r = p.Ok();
  EXPECT_EQ(r.PayoffSource, "Income-Cost: 100:12.5");
  EXPECT_EQ(r.Payoff, Money(87.5));

  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  Payoff reopened(r.PayoffSource, r.Payoff);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(reopened.S().Mode, TPayoffMode::IncomeCost);
  EXPECT_EQ(reopened.S().PayoffEdit, "100,00");
  EXPECT_EQ(reopened.S().CostEdit, "12,50");
  EXPECT_EQ(reopened.S().DirectEdit, "87,50");
  EXPECT_EQ(reopened.S().DiffResultPanel.Text, "= 87,50");
}

TEST(EditPayoffLogic, ImportedAndAdvancedPayoffsAreReadBackFromTheirPanels) {
  Payoff imported("Import: Excel(\"a.xls\";\"Sheet1\";\"B2\")", 12345678);
  EXPECT_EQ(imported.S().Mode, TPayoffMode::Import);
  EXPECT_EQ(imported.S().ImportEdit, "Excel(\"a.xls\";\"Sheet1\";\"B2\")");
  EXPECT_EQ(imported.S().ImportResultPanel.Text, "= 1,234.57");
  EXPECT_EQ(imported.S().DirectEdit, "1234.57");
  EXPECT_EQ(imported.S().PayoffEdit, "1234.57");
  EXPECT_EQ(imported.S().CostEdit, "0");
  TEditPayoffDialogResult r = imported.Ok();
  EXPECT_EQ(r.Payoff, Money(1234.57));
  EXPECT_EQ(r.PayoffSource, "Import: Excel(\"a.xls\";\"Sheet1\";\"B2\")");

  // A payoff of 0 or less writes only the cost.
  Payoff loss("Import: X", Money(-5));
  EXPECT_EQ(loss.S().PayoffEdit, "0");
  EXPECT_EQ(loss.S().CostEdit, "5.00");

  Payoff chosen("", Money(1));
  chosen.Logic.ModeClick(TPayoffMode::Import);
  chosen.Logic.ImportChosen({false, "ignored", Money(9)});
  EXPECT_EQ(chosen.S().ImportEdit, "");
  chosen.Logic.ImportChosen({true, "Excel(\"b.xls\";\"S\";\"C3\")", Money(1234.5)});
  EXPECT_EQ(chosen.S().ImportResultPanel.Text, "= 1,234.50");
  EXPECT_EQ(chosen.S().CostEdit, "0.00");
  EXPECT_EQ(chosen.Ok().Payoff, Money(1234.5));

  Payoff advanced("Advanced: anything", Money(7));
  EXPECT_EQ(advanced.S().Mode, TPayoffMode::Advanced);
  EXPECT_TRUE(advanced.Logic.RowActive(TPayoffMode::Advanced));
  EXPECT_EQ(advanced.S().AdvancedResultPanel.Text, "= 7.00");
  EXPECT_EQ(advanced.S().ImportResultPanel.Text, "= 0");
  r = advanced.Ok();
  EXPECT_EQ(r.PayoffSource, "Advanced: anything");
  EXPECT_EQ(r.Payoff, Money(7));
  advanced.Logic.ModeClick(TPayoffMode::Value);
  r = advanced.Ok();
  EXPECT_EQ(r.PayoffSource, "");
  EXPECT_EQ(r.Payoff, Money(7));
}

TEST(EditPayoffLogic, UnknownSourcesOpenAsZeroAndAnEmptyImportIsKept) {
  Payoff unknown("Formula: =A1", Money(99));
  EXPECT_EQ(unknown.S().Mode, TPayoffMode::Value);
  EXPECT_EQ(unknown.S().DirectEdit, "0");
  EXPECT_EQ(unknown.S().DirectPanel.Text, "= 0.00");
  TEditPayoffDialogResult r = unknown.Ok();
  EXPECT_EQ(r.PayoffSource, "");
  EXPECT_EQ(r.Payoff, 0);

  Payoff empty("", Money(3));
  empty.Logic.ModeClick(TPayoffMode::Import);
  r = empty.Ok();
  EXPECT_EQ(r.PayoffSource, "Import: ");
  EXPECT_EQ(r.Payoff, 0);
}

TEST(EditPayoffLogic, AnInvalidNumberKeepsOkDisabledUntilAValidModeAndNumber) {
  Payoff p("", Money(1));
  p.Logic.SetEditText(TPayoffEdit::Direct, "abc");
  EXPECT_EQ(p.S().DirectPanel.Text, "Invalid number");
  EXPECT_TRUE(p.S().DirectPanel.Invalid);
  EXPECT_FALSE(p.S().OkEnabled);
  TEditPayoffDialogResult r;
  EXPECT_FALSE(p.Logic.Confirm(r));
  p.Logic.ModeClick(TPayoffMode::Import);
  EXPECT_FALSE(p.S().OkEnabled);
  // Income-cost holds valid numbers: OK comes back.
  p.Logic.ModeClick(TPayoffMode::IncomeCost);
  EXPECT_TRUE(p.S().OkEnabled);
  p.Logic.ModeClick(TPayoffMode::Value);
  EXPECT_FALSE(p.S().OkEnabled);
  p.Logic.SetEditText(TPayoffEdit::Direct, "2");
  EXPECT_TRUE(p.S().OkEnabled);
  EXPECT_FALSE(p.S().DirectPanel.Invalid);
}

// Every field that takes typed text, with the texts a user or a paste may
// bring: each is an invalid number (or, for "-0", zero), nothing raises.
TEST(EditPayoffLogic, BadInputGivesTheFieldsInvalidState) {
  const QString bad[] = {"",
                         "   ",
                         "1,000",
                         "1e999",
                         "nan",
                         "inf",
                         QString(10000, '7'),
                         QString::fromUtf8("١٢٣"),
                         "922337203685478"};
  const std::pair<TPayoffMode, TPayoffEdit> fields[] = {
      {TPayoffMode::Value, TPayoffEdit::Direct},
      {TPayoffMode::IncomeCost, TPayoffEdit::Payoff},
      {TPayoffMode::IncomeCost, TPayoffEdit::Cost}};
  for (auto [mode, field] : fields) {
    for (const QString& text : bad) {
      Payoff p("", Money(5));
      p.Logic.ModeClick(mode);
      p.Logic.SetEditText(field, text);
      const TResultPanel& panel =
          mode == TPayoffMode::Value ? p.S().DirectPanel : p.S().DiffResultPanel;
      EXPECT_TRUE(panel.Invalid) << text.left(12).toStdString();
      EXPECT_EQ(panel.Text, "Invalid number");
      EXPECT_FALSE(p.S().OkEnabled);
    }
    Payoff zero("", Money(5));
    zero.Logic.ModeClick(mode);
    zero.Logic.SetEditText(field, "-0");
    EXPECT_TRUE(zero.S().OkEnabled);
  }
  // Income and cost that each fit but whose difference does not.
  Payoff wide("", 0);
  wide.Logic.ModeClick(TPayoffMode::IncomeCost);
  wide.Logic.SetEditText(TPayoffEdit::Payoff, "900000000000000");
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
        "Income-Cost: nan:0", "Income-Cost: 900000000000000:-900000000000000"}) {
    Payoff p(source, Money(5));
    EXPECT_EQ(p.S().Mode, TPayoffMode::Value) << source;
    EXPECT_EQ(p.S().DirectEdit, "5.00") << source;
    EXPECT_TRUE(p.S().OkEnabled);
    TEditPayoffDialogResult r = p.Ok();
    EXPECT_EQ(r.PayoffSource, "");
    EXPECT_EQ(r.Payoff, Money(5));
  }
}
