#include "app/StartupQueue.h"

#include "foundation/ErrorReport.h"

#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace bw {

namespace {

// Calls back once a window is exposed: by then the window manager has put
// it where it shows, and a box centred over it comes over it.
class ExposeWatcher : public QObject {
public:
  ExposeWatcher(QWindow& window, std::function<void()> exposed)
      : QObject(&window), FExposed(std::move(exposed)) {
    window.installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed() &&
        FExposed) {
      watched->removeEventFilter(this);
      // After this expose is handled: the window paints first.
      QTimer::singleShot(0, parent(), std::exchange(FExposed, {}));
      deleteLater();
    }
    return false;
  }

private:
  std::function<void()> FExposed;
};

} // namespace

void TStartupQueue::RunWhenShown(std::function<void()> call) {
  if (FWindow && FWindow->isVisible())
    call();
  else
    Queue(std::move(call));
}

void TStartupQueue::WindowShown() {
  if (FWaiting || FCalls.empty() || !FWindow) return;
  FWaiting = true;
  QWindow* window = FWindow->windowHandle();
  if (window && !window->isExposed())
    new ExposeWatcher(*window, [this] { RunQueued(); });
  else
    QTimer::singleShot(0, FWindow.data(), [this] { RunQueued(); });
}

void TStartupQueue::RunQueued() {
  // A call that fails is reported, and the next one still runs.
  while (!FCalls.empty()) {
    std::function<void()> call = std::move(FCalls.front());
    FCalls.erase(FCalls.begin());
    Guarded(call);
  }
  FWaiting = false;
}

} // namespace bw
