// Runs the user-interface thread's events until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace bw::test {

// Processes events, waking at once for each one (the workers' calls) and at
// least every 20 ms, until the condition holds; false when it did not within
// the limit (a guard against a hanging test, not a measurement).
template <typename Condition>
bool ProcessUntil(Condition condition, int limitMs = 10000) {
  QTimer tick;
  tick.start(20);
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

} // namespace bw::test
