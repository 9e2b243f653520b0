#include "app/dialogs/TreePropertiesForm.h"

#include "app/dialogs/Maker.h"
#include "app/text/LocaleCurrency.h"
#include "control/DecTree.h"
#include "foundation/ErrorReport.h"
#include "ui_TreePropertiesForm.h"

#include <QFontDialog>
#include <QLocale>

namespace bw {

namespace {

// Rebuilds a list with new samples and keeps its selected row (or none).
void Refill(QComboBox* list, const QStringList& samples) {
  const int selected = list->currentIndex();
  list->clear();
  list->addItems(samples);
  list->setCurrentIndex(selected < list->count() ? selected : -1);
}

void Select(QComboBox* list, int index) {
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

} // namespace

TTreePropertiesForm::TTreePropertiesForm(QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TTreePropertiesForm>()) {
  FUi->setupUi(this);
  FUi->Image->setPixmap(ProductPicture(QSize(32, 32)));
  FUi->BottomLine->SetTitle(MakerWebAddress);
  FUi->StatusDateTimePicker->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
  QPalette white = FUi->FontPreviewPanel->palette();
  white.setColor(QPalette::Window, Qt::white);
  FUi->FontPreviewPanel->setPalette(white);
  QPalette flat = FUi->FilenameEdit->palette();
  flat.setColor(QPalette::Base, flat.color(QPalette::Window));
  FUi->FilenameEdit->setPalette(flat);

  ChooseFont = [this](QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this);
    if (ok) font = chosen;
    return ok;
  };

  auto guarded = [this](void (TTreePropertiesForm::*handler)()) {
    return [this, handler] { Guarded([&] { (this->*handler)(); }); };
  };
  connect(FUi->ChangeButton, &QPushButton::clicked, this,
          guarded(&TTreePropertiesForm::ChangeButtonClick));
  connect(FUi->CurrencySymbolComboBox, &QComboBox::editTextChanged, this,
          guarded(&TTreePropertiesForm::CurrencySymbolComboBoxChange));
  // Without keyboard tracking the value changes on the arrows and when the
  // typed digits are done, not on every keystroke.
  connect(FUi->DigitsAfterDecimalEdit, &QSpinBox::valueChanged, this,
          guarded(&TTreePropertiesForm::DigitsAfterDecimalUpDownClick));
  connect(FUi->DigitsAfterDecimalEdit, &QSpinBox::editingFinished, this,
          guarded(&TTreePropertiesForm::CurrencySymbolComboBoxChange));
  connect(FUi->ReadWindowsButton, &QPushButton::clicked, this,
          guarded(&TTreePropertiesForm::ReadWindowsButtonClick));
  connect(FUi->StatusDateCheckBox, &QCheckBox::toggled, this,
          guarded(&TTreePropertiesForm::StatusDateCheckBoxClick));
  connect(FUi->OkButton, &QPushButton::clicked, this, [this] {
    Guarded([this] {
      // Digits still being typed count.
      FUi->DigitsAfterDecimalEdit->interpretText();
      accept();
    });
  });
  connect(FUi->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TTreePropertiesForm::~TTreePropertiesForm() = default;

bool TTreePropertiesForm::Execute(TDecTree& tree, const std::string& fileName,
                                  const TSaveUndo& saveUndo, QWidget* parent) {
  TTreePropertiesForm form(parent);
  form.Load(tree, fileName);
  if (form.exec() != QDialog::Accepted) return false;
  ApplyTreeProperties(tree, form.Properties(), saveUndo);
  return true;
}

void TTreePropertiesForm::Load(const TDecTree& tree, const std::string& fileName,
                               const QDateTime& now) {
  FUi->DecisionTreeNameLabel->setText(QString::fromStdString(tree.TreeRoot()->Caption));
  FUi->FilenameEdit->setText(QString::fromStdString(fileName));
  const TTreeProperties p = ReadTreeProperties(tree);
  FUi->OutlineCodesCheckBox->setChecked(p.OutlineCodes);
  FUi->CurrencySymbolComboBox->setEditText(QString::fromStdString(p.CurrencySymbol));
  FUi->DigitsAfterDecimalEdit->setValue(ClampDigitsAfterDecimal(p.CurrencyDecimals));
  CurrencySymbolComboBoxChange();
  Select(FUi->PositiveCurrencyFormatComboBox, p.CurrencyPosFormat);
  Select(FUi->NegativeCurrencyFormatComboBox, p.CurrencyNegFormat);

  const QDateTime status = SerialToDateTime(p.StatusDate);
  const QDateTime shown = status.isValid() ? status : now;
  FUi->StatusDateTimePicker->setMinimumDate(StatusDateMinimum(shown.date()));
  FUi->StatusDateTimePicker->setDate(shown.date());
  FStatusTime = shown.time();
  FUi->StatusDateCheckBox->setChecked(status.isValid());
  StatusDateCheckBoxClick();

  FFont = p.Font;
  UpdateFontPreview();
  UpdateOkButton();
}

TTreeProperties TTreePropertiesForm::Properties() const {
  TTreeProperties p;
  p.OutlineCodes = FUi->OutlineCodesCheckBox->isChecked();
  p.CurrencySymbol = FUi->CurrencySymbolComboBox->currentText().toStdString();
  p.CurrencyDecimals = FUi->DigitsAfterDecimalEdit->value();
  p.CurrencyPosFormat = FUi->PositiveCurrencyFormatComboBox->currentIndex();
  p.CurrencyNegFormat = FUi->NegativeCurrencyFormatComboBox->currentIndex();
  p.StatusDate = FUi->StatusDateCheckBox->isChecked()
                     ? DateTimeToSerial(QDateTime(FUi->StatusDateTimePicker->date(), FStatusTime))
                     : 0;
  p.Font = FFont;
  return p;
}

void TTreePropertiesForm::ChangeButtonClick() {
  QFont font = FontSpecToQFont(FFont);
  if (!ChooseFont || !ChooseFont(font)) return;
  FFont = QFontToFontSpec(font, FFont);
  UpdateFontPreview();
}

void TTreePropertiesForm::CurrencySymbolComboBoxChange() {
  const QString symbol = FUi->CurrencySymbolComboBox->currentText();
  const int decimals = FUi->DigitsAfterDecimalEdit->value();
  Refill(FUi->PositiveCurrencyFormatComboBox, PositiveCurrencySamples(symbol, decimals));
  Refill(FUi->NegativeCurrencyFormatComboBox, NegativeCurrencySamples(symbol, decimals));
  UpdateOkButton();
}

void TTreePropertiesForm::DigitsAfterDecimalUpDownClick() {
  CurrencySymbolComboBoxChange();
}

void TTreePropertiesForm::ReadWindowsButtonClick() {
  const TLocaleCurrency currency = UserLocaleCurrency();
  FUi->CurrencySymbolComboBox->setEditText(QString::fromStdString(currency.Symbol));
  FUi->DigitsAfterDecimalEdit->setValue(ClampDigitsAfterDecimal(currency.Decimals));
  DigitsAfterDecimalUpDownClick();
  Select(FUi->PositiveCurrencyFormatComboBox, currency.PosFormat);
  Select(FUi->NegativeCurrencyFormatComboBox, currency.NegFormat);
}

void TTreePropertiesForm::StatusDateCheckBoxClick() {
  FUi->StatusDateTimePicker->setEnabled(FUi->StatusDateCheckBox->isChecked());
}

void TTreePropertiesForm::UpdateFontPreview() {
  FUi->FontPreviewPanel->setFont(FontSpecToQFont(FFont));
  FUi->FontPreviewPanel->setText(FontPreviewCaption(FFont));
}

void TTreePropertiesForm::UpdateOkButton() {
  // Only at loading and after a rebuild of the lists: choosing a row alone
  // does not change it.
  FUi->OkButton->setEnabled(FormatsSelected(FUi->PositiveCurrencyFormatComboBox->currentIndex(),
                                            FUi->NegativeCurrencyFormatComboBox->currentIndex()));
}

} // namespace bw
