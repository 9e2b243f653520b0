// The calls that ask the user something as a window starts: a question
// asked before the window is on the screen would come alone in a corner of
// it. Each call waits until the window shows; then they run one after the
// other, in the order they came, each waiting for the answer to the one
// before.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace bw {

class TStartupQueue {
public:
  explicit TStartupQueue(QWidget& window) : FWindow(&window) {}

  // Runs the call now when the window shows, else queues it until it is on
  // the screen.
  void RunWhenShown(std::function<void()> call);
  // Queues the call for the next time the window comes on the screen.
  void Queue(std::function<void()> call) { FCalls.push_back(std::move(call)); }
  // From the window's show event: the queued calls run once the window
  // manager has put it on the screen, after its first paint.
  void WindowShown();

private:
  void RunQueued();

  QPointer<QWidget> FWindow;
  std::vector<std::function<void()>> FCalls;
  bool FWaiting = false;
};

} // namespace bw
