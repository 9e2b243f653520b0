// The dialog in which a decision's due date is set or removed.
#pragma once

#include "foundation/SerialDate.h"

#include <QDate>
#include <QDialog>

#include <memory>

namespace Ui {
class TEditDueDateForm;
}

namespace bw {

class TEditDueDateForm : public QDialog {
  Q_OBJECT
public:
  explicit TEditDueDateForm(QWidget* parent = nullptr);
  ~TEditDueDateForm() override;

  // Shows the dialog at a screen position; True on OK, with dueDate set to
  // the picked date, or 0 when the box is unchecked. Cancel leaves it alone.
  // Without a due date the picker offers today.
  static bool Execute(int left, int top, TDateTime& dueDate,
                      const QDate& today = QDate::currentDate());

  // Fills the dialog from a due date (0: none, today is shown disabled).
  void Load(TDateTime dueDate, const QDate& today = QDate::currentDate());
  // The date the dialog holds now.
  TDateTime Result() const;

  Ui::TEditDueDateForm& Form() { return *FUi; }

public slots:
  void HasDueDateCheckBoxClick();

private:
  std::unique_ptr<Ui::TEditDueDateForm> FUi;
};

// Whole days since 1899-12-30, and back.
QDate SerialToDate(TDateTime serial);
TDateTime DateToSerial(const QDate& date);

} // namespace bw
