#include "widgets/ParentedForm.h"

#include <QCloseEvent>

namespace bw {

TParentedForm::TParentedForm(QWidget* parentWnd, Qt::WindowFlags flags)
    : QDialog(parentWnd, flags), FParentWnd(parentWnd) {}

void TParentedForm::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  if (event->isAccepted() && FFreeOnClose) {
    hide();
    deleteLater();
  }
}

} // namespace bw
