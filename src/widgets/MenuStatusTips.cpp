#include "widgets/MenuStatusTips.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusTipEvent>

namespace bw {

TMenuStatusTips::TMenuStatusTips(QWidget& window) : FWindow(window) {
  window.installEventFilter(this);
}

void TMenuStatusTips::Watch(QMenu& menu) {
  menu.installEventFilter(this);
  for (QAction* action : menu.actions())
    if (QMenu* sub = action->menu<QMenu*>()) Watch(*sub);
}

bool TMenuStatusTips::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (watched == &FWindow) {
      // A menu clears the tip of the item the pointer left when it moves on
      // to a greyed item, after that item's tip was shown: it stays.
      if (!tip.isEmpty() || !FGreyed || FGreyed->statusTip().isEmpty()) return false;
      Send(FGreyedMenu, FGreyed->statusTip());
      return true;
    }
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
      // Stopped at the menu, a window of its own: on to ours.
      Send(menu, tip);
      return true;
    }
    return false;
  }
  if (auto* menu = qobject_cast<QMenu*>(watched)) MenuEvent(*menu, *event);
  return false;
}

void TMenuStatusTips::MenuEvent(QMenu& menu, QEvent& event) {
  switch (event.type()) {
  case QEvent::MouseMove: {
    QAction* action = menu.actionAt(static_cast<QMouseEvent&>(event).position().toPoint());
    QAction* greyed = action && !action->isEnabled() && !action->isSeparator() ? action : nullptr;
    if (greyed == FGreyed) return;
    const bool shown = FGreyed;
    FGreyed = greyed;
    FGreyedMenu = greyed ? &menu : nullptr;
    // An enabled item's tip comes from the menu itself, after this.
    if (greyed || shown) Send(&menu, greyed ? greyed->statusTip() : QString());
    return;
  }
  case QEvent::KeyPress:
    // The keys move over enabled items only; the menu sends their tips.
    FGreyed = nullptr;
    FGreyedMenu = nullptr;
    return;
  case QEvent::Hide:
    if (FGreyedMenu == &menu) {
      FGreyed = nullptr;
      FGreyedMenu = nullptr;
    }
    if (FSource == &menu) Send(nullptr, {});
    return;
  default:
    return;
  }
}

void TMenuStatusTips::Send(QMenu* from, const QString& tip) {
  FSource = from;
  QStatusTipEvent event(tip);
  QCoreApplication::sendEvent(&FWindow, &event);
}

} // namespace bw
