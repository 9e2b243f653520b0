// The tree-properties dialog: its samples, conversions and the change it
// makes, then the form itself on a tree control.
#include "BadInput.h"
#include "app/dialogs/TreePropertiesForm.h"
#include "app/text/LocaleCurrency.h"
#include "control/DecTree.h"
#include "foundation/Conversions.h"
#include "support/WhenModal.h"
#include "ui_TreePropertiesForm.h"

#include <QTest>

#include <gtest/gtest.h>

#include <clocale>

using namespace bw;
using bw::test::BadNumberTexts;
using bw::test::WhenModal;

namespace {

// A tree whose options differ from every default, with a record of the
// undo steps and recalculations.
struct Tree {
  TDecTree Control;
  std::vector<std::string> Steps;
  std::vector<TTreeOptions> OptionsAtStep;
  int Recalculations = 0;
  TSaveUndo SaveUndo = [this](const std::string& caption) {
    Steps.push_back(caption);
    OptionsAtStep.push_back(Control.Options);
  };
  Tree() {
    TTreeOptions& o = Control.Options;
    o.OutlineCodes = false;
    o.CurrencySymbol = "$";
    o.CurrencyDecimals = 2;
    o.CurrencyPosFormat = 2;
    o.CurrencyNegFormat = 5;
    o.StatusDate = 0;
    o.HighlightClones = true;
    o.ShowPayoff = false;
    Control.DefaultFont = {"Verdana", 8, fsBold | fsItalic};
    Control.TreeRoot()->Caption = "Plant";
    Control.OnCalculated = [this](TDecTree&) { ++Recalculations; };
  }
};

const QDateTime Now(QDate(2026, 3, 4), QTime(15, 30, 12));

// The form on such a tree, outside a modal loop.
class TreePropertiesForm : public ::testing::Test {
protected:
  Tree T;
  TTreePropertiesForm Form;
  Ui::TTreePropertiesForm& U = Form.Form();
  void Load() { Form.Load(T.Control, "", Now); }
};

} // namespace

TEST(TreePropertiesLogic, SamplesFollowTheLayoutNumbering) {
  EXPECT_EQ(PositiveCurrencySamples("$", 2), QStringList({"$1.10", "1.10$", "$ 1.10", "1.10 $"}));
  EXPECT_EQ(NegativeCurrencySamples("$", 2),
            QStringList({"($1.10)", "-$1.10", "$-1.10", "$1.10-", "(1.10$)", "-1.10$", "1.10-$",
                         "1.10$-", "-1.10 $", "-$ 1.10", "1.10 $-", "$ 1.10-", "$ -1.10", "1.10- $",
                         "($ 1.10)", "(1.10 $)"}));
  EXPECT_EQ(PositiveCurrencySamples("CHF", 0)[3], "1 CHF");
  EXPECT_TRUE(FormatsSelected(0, 15));
  EXPECT_FALSE(FormatsSelected(0, -1));
  EXPECT_FALSE(FormatsSelected(-1, 0));
}

TEST(TreePropertiesLogic, FontCaptionsAndDatesConvert) {
  EXPECT_EQ(FontPreviewCaption({"Verdana", 8, fsBold | fsItalic}), "Verdana 8 pt bold italic");
  EXPECT_EQ(FontPreviewCaption({"Arial", 12, fsUnderline}), "Arial 12 pt");
  const TFontSpec spec{"Courier", 11, fsItalic | fsStrikeOut};
  EXPECT_EQ(QFontToFontSpec(FontSpecToQFont(spec), {}), spec);
  QFont pixels("Arial");
  pixels.setPixelSize(20);
  EXPECT_EQ(QFontToFontSpec(pixels, {"Verdana", 9, 0}).Size, 9);

  // 2026-03-04 15:30 is day 46085 and a fraction; before 1899-12-30 the
  // time counts back from the negative day.
  const QDateTime afternoon(QDate(2026, 3, 4), QTime(15, 30));
  const TDateTime serial = DateTimeToSerial(afternoon);
  EXPECT_NEAR(serial, 46085 + 15.5 / 24, 1e-9);
  EXPECT_EQ(SerialToDateTime(serial), afternoon);
  EXPECT_EQ(SerialToDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
  EXPECT_EQ(DateTimeToSerial(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
  EXPECT_FALSE(SerialToDateTime(0).isValid());
  EXPECT_FALSE(SerialToDateTime(1e300).isValid());

  EXPECT_EQ(StatusDateMinimum(QDate(2024, 1, 1)), QDate(2000, 1, 1));
  EXPECT_EQ(StatusDateMinimum(QDate(1990, 5, 1)), QDate(1990, 5, 1));
}

// OK: the undo step first, on the options as they were; then every edited
// option; the view options stay; one recalculation.
TEST(TreePropertiesLogic, ApplyTakesTheStepFirstThenWritesAndRecalculates) {
  Tree t;
  const TTreeOptions before = t.Control.Options;
  const TTreeProperties p{true, "CHF", 4, 1, 14, 46085.5, {"Courier", 12, fsItalic}};
  ApplyTreeProperties(t.Control, p, t.SaveUndo);
  EXPECT_EQ(t.Steps, std::vector<std::string>{"Decision Tree Properties"});
  EXPECT_EQ(t.OptionsAtStep.at(0), before);
  EXPECT_EQ(ReadTreeProperties(t.Control), p);
  EXPECT_TRUE(t.Control.Options.HighlightClones);
  EXPECT_FALSE(t.Control.Options.ShowPayoff);
  EXPECT_EQ(t.Recalculations, 1);
}

// OK applies what the controls hold; the dialog opens again on it, and
// Cancel then changes nothing.
TEST_F(TreePropertiesForm, ShowsTheTreeAndAppliesItsControlsOnOkOnly) {
  WhenModal<TTreePropertiesForm>([](TTreePropertiesForm& form) {
    Ui::TTreePropertiesForm& ui = form.Form();
    EXPECT_EQ(ui.FontPreviewPanel->text(), "Verdana 8 pt bold italic");
    EXPECT_TRUE(ui.FontPreviewPanel->font().bold());
    form.ChooseFont = [](QFont& font) {
      font = QFont("Courier", 12);
      return true;
    };
    ui.ChangeButton->click();
    EXPECT_EQ(ui.FontPreviewPanel->text(), "Courier 12 pt");
    ui.OutlineCodesCheckBox->setChecked(true);
    ui.CurrencySymbolComboBox->setEditText("");
    ui.DigitsAfterDecimalEdit->setValue(3);
    ui.NegativeCurrencyFormatComboBox->setCurrentIndex(14);
    ui.StatusDateCheckBox->setChecked(true);
    ui.StatusDateTimePicker->setDate(QDate(2031, 7, 9));
    QTest::mouseClick(ui.OkButton, Qt::LeftButton);
  });
  EXPECT_TRUE(TTreePropertiesForm::Execute(T.Control, "", T.SaveUndo));
  const TTreeProperties applied = ReadTreeProperties(T.Control);
  EXPECT_EQ(SerialToDateTime(applied.StatusDate).date(), QDate(2031, 7, 9));
  EXPECT_EQ(applied, (TTreeProperties{true, "", 3, 2, 14, applied.StatusDate, {"Courier", 12, 0}}));

  const TTreeOptions before = T.Control.Options;
  WhenModal<TTreePropertiesForm>([&applied](TTreePropertiesForm& form) {
    Ui::TTreePropertiesForm& ui = form.Form();
    EXPECT_EQ(ui.DecisionTreeNameLabel->text(), "Plant");
    EXPECT_EQ(ui.FilenameEdit->text(), "/tmp/plant.bwk");
    EXPECT_EQ(form.Properties(), applied);
    EXPECT_TRUE(ui.OkButton->isEnabled());
    ui.OutlineCodesCheckBox->setChecked(false);
    QTest::mouseClick(ui.CancelButton, Qt::LeftButton);
  });
  EXPECT_FALSE(TTreePropertiesForm::Execute(T.Control, "/tmp/plant.bwk", T.SaveUndo));
  EXPECT_EQ(T.Control.Options, before);
  EXPECT_EQ(T.Steps.size(), 1u);
  EXPECT_EQ(T.Recalculations, 1);
}

TEST_F(TreePropertiesForm, AStatusDateKeepsItsTimeOfDayAndNoneStaysNone) {
  Load();
  EXPECT_FALSE(U.StatusDateTimePicker->isEnabled());
  EXPECT_EQ(Form.Properties().StatusDate, 0);
  U.StatusDateCheckBox->setChecked(true);
  EXPECT_TRUE(U.StatusDateTimePicker->isEnabled());
  EXPECT_EQ(SerialToDateTime(Form.Properties().StatusDate), Now);

  // A date from a file before the picker's usual minimum survives as it is.
  T.Control.Options.StatusDate = DateTimeToSerial(QDateTime(QDate(1990, 5, 1), QTime(12, 0)));
  Load();
  EXPECT_EQ(U.StatusDateTimePicker->minimumDate(), QDate(1990, 5, 1));
  EXPECT_EQ(Form.Properties().StatusDate, T.Control.Options.StatusDate);
}

TEST_F(TreePropertiesForm, SamplesAreRebuiltKeepingTheRowsAndOkFollowsOnlyARebuild) {
  T.Control.Options.CurrencyNegFormat = 20;
  Load();
  EXPECT_EQ(U.NegativeCurrencyFormatComboBox->currentIndex(), -1);
  EXPECT_FALSE(U.OkButton->isEnabled());
  U.NegativeCurrencyFormatComboBox->setCurrentIndex(3);
  EXPECT_FALSE(U.OkButton->isEnabled());

  U.CurrencySymbolComboBox->setFocus();
  U.CurrencySymbolComboBox->lineEdit()->selectAll();
  QTest::keyClicks(U.CurrencySymbolComboBox, "CHF");
  EXPECT_EQ(U.PositiveCurrencyFormatComboBox->currentText(), "CHF 1.10");
  EXPECT_EQ(U.NegativeCurrencyFormatComboBox->currentText(), "CHF1.10-");
  EXPECT_TRUE(U.OkButton->isEnabled());

  // Typed digits count once they are done, arrows at once.
  U.DigitsAfterDecimalEdit->selectAll();
  QTest::keyClicks(U.DigitsAfterDecimalEdit, "4");
  EXPECT_EQ(U.PositiveCurrencyFormatComboBox->currentText(), "CHF 1.10");
  QTest::keyClick(U.DigitsAfterDecimalEdit, Qt::Key_Return);
  EXPECT_EQ(U.PositiveCurrencyFormatComboBox->currentText(), "CHF 1.1000");
  U.DigitsAfterDecimalEdit->stepDown();
  EXPECT_EQ(U.PositiveCurrencyFormatComboBox->currentText(), "CHF 1.100");
}

// Decimals from a hand-edited file may be anything; the dialog opens with
// them clamped to its box instead of failing.
TEST_F(TreePropertiesForm, DecimalsOutOfRangeOpenClamped) {
  for (auto [stored, shown] : {std::pair{32767, 10}, {40000, 10}, {-5, 0}, {7, 7}}) {
    T.Control.Options.CurrencyDecimals = stored;
    Load();
    EXPECT_EQ(Form.Properties().CurrencyDecimals, shown);
  }
}

TEST_F(TreePropertiesForm, ReadFromSystemTakesTheMonetaryLocale) {
  T.Control.Options.CurrencyDecimals = 4;
  Load();
  const std::string saved = std::setlocale(LC_MONETARY, nullptr);
  std::setlocale(LC_MONETARY, "C");
  U.ReadWindowsButton->click();
  std::setlocale(LC_MONETARY, saved.c_str());
  const TTreeProperties p = Form.Properties();
  EXPECT_EQ((TLocaleCurrency{p.CurrencySymbol, p.CurrencyDecimals, p.CurrencyPosFormat,
                             p.CurrencyNegFormat}),
            (TLocaleCurrency{"", 2, 0, 1}));
  EXPECT_EQ(U.NegativeCurrencyFormatComboBox->currentText(), "-1.10");
}

// What the symbol and digit boxes take from a user never fails the dialog:
// the symbol is taken as typed, the digits box keeps a value of 0 to 10.
TEST_F(TreePropertiesForm, BadInputIsTakenAsTypedOrRefused) {
  Load();
  for (const QString& text : BadNumberTexts()) {
    U.CurrencySymbolComboBox->setEditText(text);
    EXPECT_EQ(Form.Properties().CurrencySymbol, text.toStdString());
    EXPECT_TRUE(U.PositiveCurrencyFormatComboBox->itemText(0).startsWith(text));
    U.DigitsAfterDecimalEdit->findChild<QLineEdit*>()->setText(text);
    U.DigitsAfterDecimalEdit->interpretText();
    const int digits = Form.Properties().CurrencyDecimals;
    EXPECT_TRUE(digits >= 0 && digits <= 10) << digits;
  }
}
