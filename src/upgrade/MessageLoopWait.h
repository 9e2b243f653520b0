// A wait on the user-interface thread that keeps the window alive: events
// are processed until the wait is signalled, its time runs out or the
// program is told to quit. Both calls belong to the user-interface thread.
#pragma once

#include <cstdint>
#include <memory>

namespace bw {

struct TauWaitToken;
// The caller's handle of a running wait; null when no wait runs, so that
// signalling it then does nothing.
using TauWaitHandle = std::shared_ptr<TauWaitToken>;

// Stores a fresh token in handle, then processes events until SignalEvent
// is called on it, timeoutMs passes (0: no limit) or, with
// stopWhenTerminated, the program quits. The handle is null afterwards.
void WaitWithMessageLoop(TauWaitHandle& handle, uint32_t timeoutMs, bool stopWhenTerminated);
// Ends the wait of the handle; nothing when it is null or already ended.
void SignalEvent(const TauWaitHandle& handle);

} // namespace bw
