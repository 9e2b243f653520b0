#include "upgrade/WorkerThread.h"

#include "foundation/ErrorReport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace bw {

namespace {

// One call handed to the user-interface thread. The queue, not Qt, carries
// the call and its outcome, so that every exchange between the threads goes
// through one mutex.
struct PendingCall {
  std::function<void()> Fn;
  bool Started = false;
  bool Done = false;
};

struct CallQueue {
  std::mutex Lock;
  std::condition_variable DoneSignal;
  std::deque<std::shared_ptr<PendingCall>> Calls;
};

// Made once and never destroyed: a worker abandoned at the end of the
// program may still post to it while static objects are torn down.
CallQueue& Queue() {
  static CallQueue* const queue = new CallQueue;
  return *queue;
}

// Every platform thread started and not yet joined. Joining happens outside
// the lock, on the user-interface thread once the worker has said it ended.
struct ThreadRegistry {
  std::mutex Lock;
  std::map<uint64_t, std::thread> Threads;
  uint64_t Next = 1;

  ~ThreadRegistry() {
    // Only threads abandoned at the very end of the program are left; they
    // hold no reference to anything destroyed here.
    std::lock_guard lock(Lock);
    for (auto& [serial, thread] : Threads)
      if (thread.joinable()) thread.detach();
  }

  uint64_t Start(std::function<void()> body) {
    std::lock_guard lock(Lock);
    uint64_t serial = Next++;
    Threads.emplace(serial, std::thread(std::move(body)));
    return serial;
  }

  void Join(uint64_t serial) {
    std::thread thread;
    {
      std::lock_guard lock(Lock);
      auto found = Threads.find(serial);
      if (found == Threads.end()) return;
      thread = std::move(found->second);
      Threads.erase(found);
    }
    if (thread.joinable()) thread.join();
  }

  int Count() {
    std::lock_guard lock(Lock);
    return static_cast<int>(Threads.size());
  }
};

ThreadRegistry& Registry() {
  static ThreadRegistry registry;
  return registry;
}

thread_local TauEventThread* tCurrent = nullptr;

bool OnUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

int NiceOf(TThreadPriority priority) {
  switch (priority) {
  case tpIdle:
    return 19;
  case tpLowest:
    return 10;
  case tpLower:
    return 5;
  case tpNormal:
    return 0;
  case tpHigher:
    return -5;
  case tpHighest:
    return -10;
  case tpTimeCritical:
    return -15;
  }
  return 0;
}

void ReportCurrentException() {
  ReportException(std::current_exception());
}

} // namespace

// The one object on the user-interface thread that runs the workers' calls.
// It is made with the first thread object and kept for the rest of the
// program: a worker may still hold its address while it hands over a call.
class TauDispatcher : public QObject {
  Q_OBJECT
public:
  static TauDispatcher* Get() { return FInstance.load(); }

  static void Make() {
    if (FInstance.load() || !QCoreApplication::instance()) return;
    auto* d = new TauDispatcher;
    d->moveToThread(QCoreApplication::instance()->thread());
    FInstance.store(d);
  }

  Q_INVOKABLE void RunPending() {
    CallQueue& q = Queue();
    for (;;) {
      std::shared_ptr<PendingCall> call;
      {
        std::lock_guard lock(q.Lock);
        if (q.Calls.empty()) return;
        call = q.Calls.front();
        q.Calls.pop_front();
        call->Started = true;
      }
      call->Fn();
      {
        std::lock_guard lock(q.Lock);
        call->Done = true;
      }
      q.DoneSignal.notify_all();
    }
  }

  // Hands a call over; with wait, returns once it has run or will never
  // run. False when there is nobody to hand it to.
  static bool Post(const std::shared_ptr<PendingCall>& call, bool wait) {
    TauDispatcher* d = Get();
    QCoreApplication* app = QCoreApplication::instance();
    if (!d || !app || QCoreApplication::closingDown()) return false;
    CallQueue& q = Queue();
    {
      std::lock_guard lock(q.Lock);
      q.Calls.push_back(call);
    }
    QMetaObject::invokeMethod(d, "RunPending",
                              wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
    if (!wait) return true;
    std::unique_lock lock(q.Lock);
    if (!call->Started) {
      // Qt let us go without running the call (its receiver is gone).
      q.Calls.erase(std::remove(q.Calls.begin(), q.Calls.end(), call), q.Calls.end());
      return false;
    }
    q.DoneSignal.wait(lock, [&] { return call->Done; });
    return true;
  }

private:
  static inline std::atomic<TauDispatcher*> FInstance{nullptr};
};

int ThreadPriorityValue(TThreadPriority priority) {
  static constexpr int values[] = {-15, -2, -1, 0, 1, 2, 15};
  return values[priority];
}

TThreadPriority ThreadPriorityFromValue(int value) {
  for (int p = tpIdle; p <= tpTimeCritical; ++p)
    if (ThreadPriorityValue(static_cast<TThreadPriority>(p)) == value)
      return static_cast<TThreadPriority>(p);
  return tpNormal;
}

// --- TauEventThread ---

TauEventThread::TauEventThread(TauCustomThread* owner) : FOwner(owner) {}

std::shared_ptr<TauEventThread> TauEventThread::Create(TauCustomThread* owner) {
  TauDispatcher::Make();
  return std::shared_ptr<TauEventThread>(new TauEventThread(owner));
}

TauEventThread::~TauEventThread() = default;

TauEventThread* TauEventThread::Current() {
  return tCurrent;
}

int TauEventThread::UnjoinedThreadCount() {
  return Registry().Count();
}

bool TauEventThread::MayRunCalls() const {
  return !FAbandoned && !(FOwner && FOwner->FDestroying);
}

void TauEventThread::Synchronize(const std::function<void()>& method) {
  auto run = [this, &method](std::exception_ptr* keep) {
    if (!MayRunCalls()) return;
    try {
      method();
    } catch (...) {
      if (keep && MayRunCalls() && FOwner && !FOwner->HandleExceptions)
        *keep = std::current_exception();
      else
        ReportCurrentException();
    }
  };
  if (OnUiThread()) {
    run(nullptr);
    return;
  }
  if (FAbandoned) return;
  std::exception_ptr error;
  auto call = std::make_shared<PendingCall>();
  call->Fn = [&run, &error] { run(&error); };
  TauDispatcher::Post(call, true);
  if (error) std::rethrow_exception(error);
}

void TauEventThread::DoExecute() {
  if (!OnExecute || FAbandoned) return;
  try {
    OnExecute(FOwner);
  } catch (...) {
    if (HandleExceptions) {
      if (OnException) Synchronize([this] { OnException(FOwner); });
    } else {
      // Nothing else would see it: report it as any escaped exception.
      ReportOnUiThread(std::current_exception());
    }
  }
}

void TauEventThread::ReportOnUiThread(std::exception_ptr e) {
  Synchronize([e] {
    try {
      std::rethrow_exception(e);
    } catch (...) {
      ReportCurrentException();
    }
  });
}

void TauEventThread::DoFinish() {
  if (!OnFinish) return;
  Synchronize([this] {
    try {
      OnFinish(FOwner);
    } catch (...) {
      if (!MayRunCalls()) {
        ReportCurrentException();
        return;
      }
      if (!(FOwner && FOwner->HandleExceptions)) throw;
      if (OnException) OnException(FOwner);
    }
    // The handler may have destroyed the owner.
    if (!MayRunCalls()) return;
    if (FOwner && FOwner->FreeOwnerOnTerminate && FOwner->FOwner) {
      FOwner->FThread = FOwner->FThread->Clone();
      FOwner->FOwner->deleteLater();
    }
  });
}

void TauEventThread::ApplyPriority() {
  TThreadPriority priority = FPriority;
  if (priority == tpIdle) {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
  }
  // Raising the priority needs privileges; a refusal leaves it as it is.
  setpriority(PRIO_PROCESS, static_cast<id_t>(FThreadID.load()), NiceOf(priority));
}

void TauEventThread::SetPriority(TThreadPriority priority) {
  FPriority = priority;
  pid_t tid = FThreadID;
  if (FStarted && !FFinished && tid != 0 && priority != tpIdle)
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(priority));
}

void TauEventThread::ThreadProc() {
  tCurrent = this;
  FThreadID = gettid();
  ApplyPriority();
  if (!FTerminated) {
    DoExecute();
    try {
      DoFinish();
    } catch (...) {
      // OnFinish raised and the owner does not handle exceptions.
      ReportOnUiThread(std::current_exception());
    }
  }
  FRunning = false;
  tCurrent = nullptr;
  FFinished = true;
  // The last word of the worker: the user-interface thread joins it.
  auto self = shared_from_this();
  auto call = std::make_shared<PendingCall>();
  call->Fn = [self] { self->Ended(); };
  if (!TauDispatcher::Post(call, false)) {
    // Nobody will join it on the user-interface thread; it is joined when
    // waited for or at the end of the program.
  }
}

void TauEventThread::Ended() {
  FEndSeen = true;
  for (QEventLoop* loop : FWaiters)
    loop->quit();
  Registry().Join(FSerial);
}

int TauEventThread::WaitFor() {
  if (!FStarted || tCurrent == this) return ReturnValue;
  if (OnUiThread() && TauDispatcher::Get()) {
    while (!FEndSeen) {
      QEventLoop loop;
      FWaiters.push_back(&loop);
      loop.exec(QEventLoop::ExcludeUserInputEvents);
      FWaiters.erase(std::remove(FWaiters.begin(), FWaiters.end(), &loop), FWaiters.end());
    }
  }
  Registry().Join(FSerial);
  return ReturnValue;
}

void TauEventThread::Suspend() {
  if (!FStarted) FSuspended = true;
}

void TauEventThread::Resume() {
  FSuspended = false;
  if (FStarted) return;
  FStarted = true;
  // Running from the start on, so that a caller sees a job as busy as soon
  // as it has been started.
  FRunning = !FTerminated;
  auto self = shared_from_this();
  FSerial = Registry().Start([self] { self->ThreadProc(); });
}

void TauEventThread::SetSuspended(bool value) {
  if (value != FSuspended) value ? Suspend() : Resume();
}

std::shared_ptr<TauEventThread> TauEventThread::Clone() const {
  auto clone = Create(FOwner);
  clone->FPriority = FPriority.load();
  clone->HandleExceptions = HandleExceptions;
  clone->OnExecute = OnExecute;
  clone->OnException = OnException;
  clone->OnFinish = OnFinish;
  return clone;
}

std::shared_ptr<TauEventThread> TauEventThread::Reset() {
  auto clone = Clone();
  if (FStarted && !FFinished) Abandon();
  return clone;
}

void TauEventThread::Abandon() {
  FTerminated = true;
  FAbandoned = true;
}

// --- TauCustomThread ---

TauCustomThread::TauCustomThread(QObject* owner)
    : FThread(TauEventThread::Create(this)), FOwner(owner), FAlive(std::make_shared<bool>(true)) {}

TauCustomThread::~TauCustomThread() {
  FDestroying = true;
  *FAlive = false;
  if (FWaitLoop) FWaitLoop->quit();
  if (FThread->Started() && !FThread->Finished()) FThread->Abandon();
}

void TauCustomThread::SetPriority(TThreadPriority priority) {
  FPriority = priority;
  FThread->SetPriority(priority);
}

void TauCustomThread::Terminate(bool force) {
  if (!force) {
    FThread->Terminate();
    return;
  }
  FThread = FThread->Reset();
}

void TauCustomThread::Synchronize(const std::function<void()>& method) {
  if (TauEventThread* current = TauEventThread::Current()) {
    current->Synchronize(method);
  } else if (OnUiThread() && !FDestroying) {
    method();
  }
}

bool TauCustomThread::Execute() {
  Terminate(true);
  auto thread = FThread;
  thread->FPriority = FPriority;
  thread->HandleExceptions = HandleExceptions;
  thread->OnExecute = OnExecute;
  thread->OnException = OnException;
  thread->OnFinish = OnFinish;
  thread->FreeOnTerminate = FreeOwnerOnTerminate;
  thread->Resume();
  if (!WaitThread) return true;

  auto alive = FAlive;
  for (;;) {
    if (thread->FEndSeen) return true;
    if (!TauDispatcher::Get()) {
      thread->WaitFor();
      return true;
    }
    QEventLoop loop;
    QTimer timer;
    bool timedOut = false;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
      timedOut = true;
      loop.quit();
    });
    if (WaitTimeout > 0) timer.start(static_cast<int>(std::min<uint32_t>(WaitTimeout, INT32_MAX)));
    thread->FWaiters.push_back(&loop);
    FWaitLoop = &loop;
    loop.exec();
    auto& waiters = thread->FWaiters;
    waiters.erase(std::remove(waiters.begin(), waiters.end(), &loop), waiters.end());
    if (!*alive) return true;
    FWaitLoop = nullptr;
    if (thread->FEndSeen || !timedOut) return true;
    bool terminate = true;
    if (OnTimeout) OnTimeout(this, terminate);
    if (!*alive) return true;
    if (terminate) {
      if (FThread == thread) Terminate(true);
      return false;
    }
  }
}

} // namespace bw

#include "WorkerThread.moc"
