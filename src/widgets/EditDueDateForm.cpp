#include "widgets/EditDueDateForm.h"

#include "ui_EditDueDateForm.h"

#include <QLocale>

#include <cmath>

namespace bw {

namespace {
const QDate SerialOrigin(1899, 12, 30);
}

QDate SerialToDate(TDateTime serial) {
  return SerialOrigin.addDays(static_cast<qint64>(std::trunc(serial)));
}

TDateTime DateToSerial(const QDate& date) {
  return static_cast<double>(SerialOrigin.daysTo(date));
}

TEditDueDateForm::TEditDueDateForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FUi(std::make_unique<Ui::TEditDueDateForm>()) {
  FUi->setupUi(this);
  FUi->DueDateDateTimePicker->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
  // The form's size, unless the user's font and date format need more: the
  // controls are laid out, never cut.
  setFixedSize(size().expandedTo(sizeHint()));
  connect(FUi->HasDueDateCheckBox, &QCheckBox::clicked, this,
          &TEditDueDateForm::HasDueDateCheckBoxClick);
  connect(FUi->OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(FUi->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TEditDueDateForm::~TEditDueDateForm() = default;

void TEditDueDateForm::HasDueDateCheckBoxClick() {
  const bool on = FUi->HasDueDateCheckBox->isChecked();
  FUi->DueDateCaption->setEnabled(on);
  FUi->DueDateDateTimePicker->setEnabled(on);
}

void TEditDueDateForm::Load(TDateTime dueDate, const QDate& today) {
  FUi->DueDateDateTimePicker->setDate(dueDate != 0 ? SerialToDate(dueDate) : today);
  FUi->HasDueDateCheckBox->setChecked(dueDate != 0);
  HasDueDateCheckBoxClick();
}

TDateTime TEditDueDateForm::Result() const {
  return FUi->HasDueDateCheckBox->isChecked() ? DateToSerial(FUi->DueDateDateTimePicker->date())
                                              : 0;
}

bool TEditDueDateForm::Execute(int left, int top, TDateTime& dueDate, const QDate& today) {
  TEditDueDateForm form;
  form.move(left, top);
  form.Load(dueDate, today);
  if (form.exec() != QDialog::Accepted) return false;
  dueDate = form.Result();
  return true;
}

} // namespace bw
