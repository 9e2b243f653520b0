#include "upgrade/MessageLoopWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace bw {

struct TauWaitToken {
  bool Signalled = false;
  QPointer<QEventLoop> Loop;
};

void WaitWithMessageLoop(TauWaitHandle& handle, uint32_t timeoutMs, bool stopWhenTerminated) {
  auto token = std::make_shared<TauWaitToken>();
  handle = token;
  QEventLoop loop;
  token->Loop = &loop;
  bool timedOut = false;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    loop.quit();
  });
  if (timeoutMs > 0) timer.start(static_cast<int>(std::min<uint32_t>(timeoutMs, INT32_MAX)));
  // A signal that came before the loop runs is seen by the flag; a quit
  // before exec() would be lost.
  while (!token->Signalled && !timedOut) {
    loop.exec();
    // Neither our signal nor our timer ended the loop: the program is
    // quitting.
    if (!token->Signalled && !timedOut && (stopWhenTerminated || !QCoreApplication::instance()))
      break;
  }
  token->Loop = nullptr;
  handle.reset();
}

void SignalEvent(const TauWaitHandle& handle) {
  if (!handle || handle->Signalled) return;
  handle->Signalled = true;
  if (handle->Loop) handle->Loop->quit();
}

} // namespace bw
