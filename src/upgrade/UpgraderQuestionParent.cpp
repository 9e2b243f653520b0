#include "upgrade/UpgraderQuestionParent.h"

#include <QApplication>
#include <QMainWindow>
#include <QPointer>

namespace bw {

namespace {

QPointer<QWidget> GQuestionWindows[uqWizard + 1];

} // namespace

void SetUpgraderQuestionWindow(TauUpgraderQuestionWindow kind, QWidget* window) {
  GQuestionWindows[kind] = window;
}

QWidget* UpgraderQuestionParent() {
  for (const QPointer<QWidget>& w : GQuestionWindows)
    if (w && w->isVisible()) return w;
  QWidget* main = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMainWindow*>(w) && w->isVisible()) main = w;
  return main;
}

} // namespace bw
