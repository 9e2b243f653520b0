// The status tips of menus, for a window's status bar. A menu sends the
// status tip of the item under the pointer to the widget that opened it,
// from where it climbs to the window; a context menu opened by itself is a
// window of its own, so its tips, and those of its submenus, stop at it. A
// greyed item sends none. This takes both on to the window: what the
// watched menus send, and the tip of a greyed item while the pointer is on
// it. The tip goes when the menu that showed it closes.
#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QWidget;

namespace bw {

class TMenuStatusTips : public QObject {
public:
  // window: where the tips go.
  explicit TMenuStatusTips(QWidget& window);

  // The menu and the submenus it has.
  void Watch(QMenu& menu);

  // The window's events, and those of the menus: the watched ones, and any
  // other menu whose events a filter of the window hands on.
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void MenuEvent(QMenu& menu, QEvent& event);
  void Send(QMenu* from, const QString& tip);

  QWidget& FWindow;
  // The menu whose tip the window shows, and the greyed item under the
  // pointer, with its menu.
  QPointer<QMenu> FSource;
  QPointer<QAction> FGreyed;
  QPointer<QMenu> FGreyedMenu;
};

} // namespace bw
