// Worker threads whose body, exception and completion are events, and the
// component that starts one afresh for every job.
//
// Everything a worker reports runs on the user-interface thread as a
// synchronous call: the worker hands the call to the one dispatcher object
// that lives on that thread and is blocked until the call has run. Threads
// are never killed: a forced stop sets the thread's Terminated flag and
// abandons it; an abandoned thread's later synchronous calls do not run,
// and it is joined by the user-interface thread once it has ended. A thread
// is never joined from inside one of its own synchronous calls.
#pragma once

#include <QPointer>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <vector>

class QEventLoop;
class QObject;

namespace bw {

class TauCustomThread;

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
// A priority as a number, from tpIdle to tpTimeCritical: -15, -2, -1, 0, 1,
// 2, 15, with 0 for tpNormal; a number not among them reads as tpNormal.
int ThreadPriorityValue(TThreadPriority priority);
TThreadPriority ThreadPriorityFromValue(int value);

using TauThreadEvent = std::function<void(TauCustomThread* Sender)>;

class TauEventThread : public std::enable_shared_from_this<TauEventThread> {
public:
  // Made suspended: the platform thread starts at the first Resume.
  static std::shared_ptr<TauEventThread> Create(TauCustomThread* owner);
  TauEventThread(const TauEventThread&) = delete;
  TauEventThread& operator=(const TauEventThread&) = delete;
  ~TauEventThread();

  // The thread object whose body runs on the calling thread; null on any
  // other thread.
  static TauEventThread* Current();
  // Threads started and not yet joined, over all thread objects.
  static int UnjoinedThreadCount();

  // Runs method on the user-interface thread and returns after it; directly
  // when called there. Nothing runs once the thread is abandoned or its
  // owner is being destroyed. An exception of method is rethrown here only
  // when the owner does not handle exceptions; otherwise it is reported.
  void Synchronize(const std::function<void()>& method);
  // Waits until the thread has ended and joins it, serving the worker's
  // synchronous calls meanwhile when called on the user-interface thread.
  // Returns ReturnValue; at once for a thread never started.
  int WaitFor();

  // A running thread cannot be suspended here: Suspend only keeps a thread
  // not yet started from starting.
  void Suspend();
  void Resume();
  bool Suspended() const { return FSuspended; }
  void SetSuspended(bool value);
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  bool Running() const { return FRunning; }
  bool Started() const { return FStarted; }
  bool Finished() const { return FFinished; }
  // Set after a forced stop: the thread may still run, but reports nothing.
  bool Abandoned() const { return FAbandoned; }
  TThreadPriority Priority() const { return FPriority; }
  void SetPriority(TThreadPriority priority);
  pid_t ThreadID() const { return FThreadID; }

  // A new suspended thread object with the same owner, priority and events.
  std::shared_ptr<TauEventThread> Clone() const;
  // Forced stop: abandons a running thread (it is joined once it has ended)
  // and returns a Clone.
  std::shared_ptr<TauEventThread> Reset();
  void Abandon();

  bool FreeOnTerminate = false;
  int ReturnValue = 0;
  bool HandleExceptions = true;
  // Set before the thread starts; the body runs on the worker, the other two
  // on the user-interface thread.
  TauThreadEvent OnExecute;
  TauThreadEvent OnException;
  TauThreadEvent OnFinish;

private:
  explicit TauEventThread(TauCustomThread* owner);
  friend class TauCustomThread;
  void ThreadProc();
  void DoExecute();
  void DoFinish();
  void ApplyPriority();
  void ReportOnUiThread(std::exception_ptr e);
  // User-interface thread: whether a synchronous call may run.
  bool MayRunCalls() const;
  // User-interface thread: the worker has ended.
  void Ended();

  TauCustomThread* FOwner;
  uint64_t FSerial = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FAbandoned{false};
  std::atomic<pid_t> FThreadID{0};
  std::atomic<TThreadPriority> FPriority{tpNormal};
  bool FStarted = false;
  bool FSuspended = true;
  // User-interface thread only.
  bool FEndSeen = false;
  std::vector<QEventLoop*> FWaiters;
};

class TauCustomThread {
public:
  // The owner is freed (deleteLater) after a body when FreeOwnerOnTerminate
  // is set.
  explicit TauCustomThread(QObject* owner = nullptr);
  TauCustomThread(const TauCustomThread&) = delete;
  TauCustomThread& operator=(const TauCustomThread&) = delete;
  // A running body is stopped by force (abandoned).
  ~TauCustomThread();

  // Starts the job on a fresh thread object, stopping the previous one by
  // force when it still runs. With WaitThread, processes events until the
  // body has ended, the component is destroyed or the program quits; when
  // WaitTimeout (ms, 0 no limit) passes first, OnTimeout decides whether the
  // thread is stopped (the result is then false) or waited for again.
  bool Execute();
  // Force abandons the thread object and replaces it; otherwise only its
  // Terminated flag is set.
  void Terminate(bool force);
  void Suspend() { FThread->Suspend(); }
  // From the worker: the thread object's Synchronize; skipped while the
  // component is being destroyed.
  void Synchronize(const std::function<void()>& method);
  bool Running() const { return FThread->Running(); }
  bool Terminated() const { return FThread->Terminated(); }
  bool Destroying() const { return FDestroying; }
  TThreadPriority Priority() const { return FPriority; }
  void SetPriority(TThreadPriority priority);
  bool Suspended() const { return FThread->Suspended(); }
  void SetSuspended(bool value) { FThread->SetSuspended(value); }
  TauEventThread& Thread() { return *FThread; }

  bool HandleExceptions = true;
  bool FreeOwnerOnTerminate = false;
  bool WaitThread = false;
  uint32_t WaitTimeout = 0;
  std::function<void(TauCustomThread* Sender, bool& Terminate)> OnTimeout;
  // Copied into each fresh thread object; changing them never touches a
  // thread that already runs.
  TauThreadEvent OnExecute;
  TauThreadEvent OnException;
  TauThreadEvent OnFinish;

private:
  friend class TauEventThread;
  std::shared_ptr<TauEventThread> FThread;
  QPointer<QObject> FOwner;
  TThreadPriority FPriority = tpNormal;
  bool FDestroying = false;
  std::shared_ptr<bool> FAlive;
  QEventLoop* FWaitLoop = nullptr;
};

} // namespace bw
