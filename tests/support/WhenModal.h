// Answers a modal dialog from inside its loop: `act` runs on the dialog
// once it is the active modal widget. A dialog of another class, or one
// still open after `act`, is a failure and is closed, so that a failing
// test cannot hang.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

namespace bw::test {

template <typename Form>
void WhenModal(std::function<void(Form&)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* form = qobject_cast<Form*>(modal);
    if (!form) {
      ADD_FAILURE() << "no " << typeid(Form).name() << " is shown";
      if (auto* other = qobject_cast<QDialog*>(modal)) other->reject();
      return;
    }
    act(*form);
    if (form->isVisible()) {
      ADD_FAILURE() << "the dialog is still open";
      form->reject();
    }
  });
}

} // namespace bw::test
