// The tree-properties dialog: its samples, conversions and the change it
// makes, then the form itself on a tree control.
#include "app/dialogs/TreePropertiesForm.h"
#include "control/DecTree.h"
#include "foundation/Conversions.h"
#include "support/WhenModal.h"
#include "ui_TreePropertiesForm.h"

#include <QTest>

#include <gtest/gtest.h>

#include <clocale>

using namespace bw;
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

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i)
    items << list->itemText(i);
  return items;
}

const QDateTime Now(QDate(2026, 3, 4), QTime(15, 30, 12));

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

TEST(TreePropertiesForm, LoadsTheTreeAndCancelChangesNothing) {
  Tree t;
  const TTreeOptions before = t.Control.Options;
  WhenModal<TTreePropertiesForm>([](TTreePropertiesForm& form) {
    Ui::TTreePropertiesForm& ui = form.Form();
    EXPECT_EQ(form.windowTitle(), "Properties");
    EXPECT_EQ(ui.DecisionTreeNameLabel->text(), "Plant");
    EXPECT_EQ(ui.FilenameEdit->text(), "/tmp/plant.bwk");
    EXPECT_EQ(ui.PageControl->currentWidget(), ui.GeneralTabSheet);
    EXPECT_FALSE(ui.OutlineCodesCheckBox->isChecked());
    EXPECT_EQ(ui.CurrencySymbolComboBox->currentText(), "$");
    EXPECT_EQ(ui.DigitsAfterDecimalEdit->value(), 2);
    EXPECT_EQ(ui.PositiveCurrencyFormatComboBox->currentText(), "$ 1.10");
    EXPECT_EQ(ui.NegativeCurrencyFormatComboBox->currentText(), "-1.10$");
    EXPECT_FALSE(ui.StatusDateCheckBox->isChecked());
    EXPECT_EQ(ui.FontPreviewPanel->text(), "Verdana 8 pt bold italic");
    EXPECT_TRUE(ui.FontPreviewPanel->font().bold());
    EXPECT_EQ(ui.ReadWindowsButton->text(), "Read from system");
    EXPECT_TRUE(ui.OkButton->isEnabled());
    ui.OutlineCodesCheckBox->setChecked(true);
    ui.CurrencySymbolComboBox->setEditText("CHF");
    QTest::mouseClick(ui.CancelButton, Qt::LeftButton);
  });
  EXPECT_FALSE(TTreePropertiesForm::Execute(t.Control, "/tmp/plant.bwk", t.SaveUndo));
  EXPECT_EQ(t.Control.Options, before);
  EXPECT_TRUE(t.Steps.empty());
  EXPECT_EQ(t.Recalculations, 0);
}

TEST(TreePropertiesForm, OkTakesTheStepFirstThenWritesAndRecalculates) {
  Tree t;
  WhenModal<TTreePropertiesForm>([](TTreePropertiesForm& form) {
    Ui::TTreePropertiesForm& ui = form.Form();
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
  EXPECT_TRUE(TTreePropertiesForm::Execute(t.Control, "", t.SaveUndo));
  ASSERT_EQ(t.Steps, std::vector<std::string>{"Decision Tree Properties"});
  EXPECT_EQ(t.OptionsAtStep[0].CurrencySymbol, "$");
  const TTreeOptions& o = t.Control.Options;
  EXPECT_TRUE(o.OutlineCodes);
  EXPECT_EQ(o.CurrencySymbol, "");
  EXPECT_EQ(o.CurrencyDecimals, 3);
  EXPECT_EQ(o.CurrencyPosFormat, 2);
  EXPECT_EQ(o.CurrencyNegFormat, 14);
  EXPECT_EQ(SerialToDateTime(o.StatusDate).date(), QDate(2031, 7, 9));
  EXPECT_TRUE(o.HighlightClones);
  EXPECT_FALSE(o.ShowPayoff);
  EXPECT_EQ(t.Control.DefaultFont, (TFontSpec{"Courier", 12, 0}));
  EXPECT_EQ(t.Recalculations, 1);
}

TEST(TreePropertiesForm, AStatusDateKeepsItsTimeOfDayAndNoneStaysNone) {
  Tree t;
  TTreePropertiesForm form;
  form.Load(t.Control, "", Now);
  Ui::TTreePropertiesForm& ui = form.Form();
  EXPECT_EQ(ui.StatusDateTimePicker->date(), Now.date());
  EXPECT_FALSE(ui.StatusDateTimePicker->isEnabled());
  EXPECT_EQ(form.Properties().StatusDate, 0);
  ui.StatusDateCheckBox->setChecked(true);
  EXPECT_EQ(SerialToDateTime(form.Properties().StatusDate), Now);

  // A date from a file before the picker's usual minimum survives as it is.
  t.Control.Options.StatusDate = DateTimeToSerial(QDateTime(QDate(1990, 5, 1), QTime(12, 0)));
  form.Load(t.Control, "", Now);
  EXPECT_TRUE(ui.StatusDateCheckBox->isChecked());
  EXPECT_EQ(ui.StatusDateTimePicker->date(), QDate(1990, 5, 1));
  EXPECT_EQ(form.Properties().StatusDate, t.Control.Options.StatusDate);
}

TEST(TreePropertiesForm, SamplesAreRebuiltKeepingTheRowsAndOkFollowsOnlyARebuild) {
  Tree t;
  t.Control.Options.CurrencyNegFormat = 20;
  TTreePropertiesForm form;
  form.Load(t.Control, "", Now);
  Ui::TTreePropertiesForm& ui = form.Form();
  EXPECT_EQ(ui.NegativeCurrencyFormatComboBox->currentIndex(), -1);
  EXPECT_FALSE(ui.OkButton->isEnabled());
  ui.NegativeCurrencyFormatComboBox->setCurrentIndex(3);
  EXPECT_FALSE(ui.OkButton->isEnabled());

  ui.CurrencySymbolComboBox->setFocus();
  ui.CurrencySymbolComboBox->lineEdit()->selectAll();
  QTest::keyClicks(ui.CurrencySymbolComboBox, "CHF");
  EXPECT_EQ(Items(ui.PositiveCurrencyFormatComboBox),
            QStringList({"CHF1.10", "1.10CHF", "CHF 1.10", "1.10 CHF"}));
  EXPECT_EQ(ui.PositiveCurrencyFormatComboBox->currentIndex(), 2);
  EXPECT_EQ(ui.NegativeCurrencyFormatComboBox->currentText(), "CHF1.10-");
  EXPECT_TRUE(ui.OkButton->isEnabled());

  // Typed digits count once they are done, arrows at once.
  ui.DigitsAfterDecimalEdit->selectAll();
  QTest::keyClicks(ui.DigitsAfterDecimalEdit, "4");
  EXPECT_EQ(ui.PositiveCurrencyFormatComboBox->currentText(), "CHF 1.10");
  QTest::keyClick(ui.DigitsAfterDecimalEdit, Qt::Key_Return);
  EXPECT_EQ(ui.PositiveCurrencyFormatComboBox->currentText(), "CHF 1.1000");
  ui.DigitsAfterDecimalEdit->stepDown();
  EXPECT_EQ(ui.PositiveCurrencyFormatComboBox->currentText(), "CHF 1.100");
}

// Decimals from a hand-edited file may be anything; the dialog opens with
// them clamped to its box instead of failing.
TEST(TreePropertiesForm, DecimalsOutOfRangeOpenClamped) {
  Tree t;
  TTreePropertiesForm form;
  for (auto [stored, shown] : {std::pair{32767, 10}, {40000, 10}, {-5, 0}, {7, 7}}) {
    t.Control.Options.CurrencyDecimals = stored;
    form.Load(t.Control, "", Now);
    EXPECT_EQ(form.Form().DigitsAfterDecimalEdit->value(), shown);
    EXPECT_EQ(form.Properties().CurrencyDecimals, shown);
  }
}

TEST(TreePropertiesForm, ReadFromSystemTakesTheMonetaryLocale) {
  Tree t;
  TTreePropertiesForm form;
  form.Load(t.Control, "", Now);
  const std::string saved = std::setlocale(LC_MONETARY, nullptr);
  std::setlocale(LC_MONETARY, "C");
  form.Form().ReadWindowsButton->click();
  std::setlocale(LC_MONETARY, saved.c_str());
  const TTreeProperties p = form.Properties();
  EXPECT_EQ(p.CurrencySymbol, "");
  EXPECT_EQ(p.CurrencyDecimals, 2);
  EXPECT_EQ(p.CurrencyPosFormat, 0);
  EXPECT_EQ(p.CurrencyNegFormat, 1);
  EXPECT_EQ(form.Form().NegativeCurrencyFormatComboBox->currentText(), "-1.10");
}

// What the symbol and digit boxes take from a user never fails the dialog:
// the symbol is taken as typed, the digits box keeps a value of 0 to 10.
TEST(TreePropertiesForm, BadInputIsTakenAsTypedOrRefused) {
  Tree t;
  const TTreeOptions before = t.Control.Options;
  TTreePropertiesForm form;
  form.Load(t.Control, "", Now);
  Ui::TTreePropertiesForm& ui = form.Form();
  for (const QString& text :
       {QString(""), QString("   "), QString("1,000"), QString("1e999"), QString("nan"),
        QString("-0"), QString(10000, 'x'), QString::fromUtf8("١٢٣")}) {
    ui.CurrencySymbolComboBox->setEditText(text);
    EXPECT_EQ(form.Properties().CurrencySymbol, text.toStdString());
    EXPECT_TRUE(ui.PositiveCurrencyFormatComboBox->itemText(0).startsWith(text));
    ui.DigitsAfterDecimalEdit->findChild<QLineEdit*>()->setText(text);
    ui.DigitsAfterDecimalEdit->interpretText();
    const int digits = form.Properties().CurrencyDecimals;
    EXPECT_TRUE(digits >= 0 && digits <= 10) << digits;
  }
  form.reject();
  EXPECT_EQ(t.Control.Options, before);
}
