#include "ProcessUntil.h"

#include "foundation/ErrorReport.h"
#include "upgrade/MessageLoopWait.h"
#include "upgrade/WorkerThread.h"

#include <QThread>
#include <QTimer>

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace bw::test {
namespace {

bool OnUiThread() {
  return QThread::currentThread() == QCoreApplication::instance()->thread();
}

TEST(WorkerThreadTest, TheBodyRunsOnAWorkerAndItsEventsOnTheUiThread) {
  TauCustomThread thread;
  std::atomic<bool> bodyOnWorker{false};
  bool syncOnUi = false, finishOnUi = false, runningInFinish = false;
  thread.OnExecute = [&](TauCustomThread* sender) {
    bodyOnWorker = !OnUiThread();
    sender->Synchronize([&] { syncOnUi = OnUiThread(); });
  };
  thread.OnFinish = [&](TauCustomThread* sender) {
    finishOnUi = OnUiThread();
    runningInFinish = sender->Running();
  };
  thread.WaitThread = true;
  EXPECT_TRUE(thread.Execute());
  EXPECT_TRUE(bodyOnWorker);
  EXPECT_TRUE(syncOnUi);
  EXPECT_TRUE(finishOnUi);
  EXPECT_TRUE(runningInFinish);
  EXPECT_FALSE(thread.Running());
  EXPECT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }));
}

TEST(WorkerThreadTest, ExceptionsOfTheBodyAndOfSynchronousCalls) {
  std::vector<std::string> reported;
  auto previous =
      SetExceptionReporter([&](std::exception_ptr e) { reported.push_back(ExceptionMessage(e)); });
  TauCustomThread thread;
  int exceptions = 0;
  std::atomic<bool> rethrown{false};
  thread.OnException = [&](TauCustomThread*) { ++exceptions; };
  thread.OnExecute = [&](TauCustomThread* sender) {
    try {
      sender->Synchronize([] { throw std::runtime_error("in the call"); });
    } catch (const std::runtime_error&) {
      rethrown = true;
    }
    throw std::runtime_error("in the body");
  };
  thread.WaitThread = true;
  thread.Execute();
  // Handled: the call's exception is reported, not rethrown; the body's goes
  // to OnException.
  EXPECT_FALSE(rethrown);
  EXPECT_EQ(exceptions, 1);
  EXPECT_EQ(reported, (std::vector<std::string>{"in the call"}));

  thread.HandleExceptions = false;
  reported.clear();
  thread.Execute();
  EXPECT_TRUE(rethrown);
  EXPECT_EQ(exceptions, 1);
  EXPECT_EQ(reported, (std::vector<std::string>{"in the body"}));
  SetExceptionReporter(previous);
}

TEST(WorkerThreadTest, AThreadNeverStartedNeverRunsItsBody) {
  bool ran = false;
  {
    TauCustomThread thread;
    thread.OnExecute = [&](TauCustomThread*) { ran = true; };
    auto object = TauEventThread::Create(&thread);
    object->OnExecute = thread.OnExecute;
    EXPECT_EQ(object->WaitFor(), 0);
  }
  EXPECT_FALSE(ran);
  EXPECT_EQ(TauEventThread::UnjoinedThreadCount(), 0);
}

TEST(WorkerThreadTest, AWaitThatRunsOutAsksWhetherToStop) {
  TauCustomThread thread;
  std::atomic<bool> release{false};
  std::atomic<bool> terminatedSeen{false};
  bool finished = false;
  thread.OnExecute = [&](TauCustomThread* sender) {
    while (!release)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    terminatedSeen = TauEventThread::Current()->Terminated();
    sender->Synchronize([&] { finished = true; });
  };
  int asked = 0;
  thread.OnTimeout = [&](TauCustomThread*, bool& terminate) {
    ++asked;
    // Let the body go on and wait again the first time.
    terminate = asked > 1;
    if (asked == 1) release = false;
  };
  thread.WaitThread = true;
  thread.WaitTimeout = 20;
  EXPECT_FALSE(thread.Execute());
  EXPECT_EQ(asked, 2);
  // Stopped: the abandoned body sees Terminated and its calls do not run.
  release = true;
  EXPECT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }));
  EXPECT_TRUE(terminatedSeen);
  EXPECT_FALSE(finished);

  asked = 0;
  thread.OnTimeout = [&](TauCustomThread*, bool& terminate) {
    ++asked;
    terminate = false;
    release = true;
  };
  release = false;
  EXPECT_TRUE(thread.Execute());
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(finished);
}

// The next job starts from inside the previous one's completion, while that
// worker still waits in its synchronous call: no join may happen there.
TEST(WorkerThreadTest, ExecuteFromInsideAFinishDoesNotWaitForItself) {
  TauCustomThread thread;
  std::atomic<int> bodies{0};
  int finishes = 0;
  thread.OnExecute = [&](TauCustomThread*) { ++bodies; };
  thread.OnFinish = [&](TauCustomThread* sender) {
    if (++finishes < 3) sender->Execute();
  };
  thread.Execute();
  EXPECT_TRUE(ProcessUntil([&] { return finishes == 3; }));
  EXPECT_EQ(bodies, 3);
  EXPECT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }));
}

TEST(WorkerThreadTest, CallsOfAThreadWhoseOwnerIsDestroyedDoNotRun) {
  std::atomic<bool> go{false};
  bool ran = false;
  auto thread = std::make_unique<TauCustomThread>();
  thread->OnExecute = [&](TauCustomThread*) {
    while (!go)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    TauEventThread::Current()->Synchronize([&] { ran = true; });
  };
  thread->Execute();
  thread.reset();
  go = true;
  EXPECT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }));
  EXPECT_FALSE(ran);
}

TEST(WorkerThreadTest, WaitForServesTheWorkersCalls) {
  TauCustomThread thread;
  int calls = 0;
  thread.OnExecute = [&](TauCustomThread* sender) {
    for (int i = 0; i < 5; ++i)
      sender->Synchronize([&] { ++calls; });
  };
  thread.Execute();
  thread.Thread().ReturnValue = 7;
  EXPECT_EQ(thread.Thread().WaitFor(), 7);
  EXPECT_EQ(calls, 5);
  EXPECT_TRUE(thread.Thread().Finished());
}

TEST(WorkerThreadTest, PrioritiesAndPlatformValuesConvertBothWays) {
  for (int p = tpIdle; p <= tpTimeCritical; ++p)
    EXPECT_EQ(ThreadPriorityFromValue(ThreadPriorityValue(static_cast<TThreadPriority>(p))), p);
  // A value not in the table reads as normal.
  EXPECT_EQ(ThreadPriorityFromValue(7), tpNormal);
}

TEST(WorkerThreadTest, MessageLoopWaitEndsBySignalOrTimeout) {
  TauWaitHandle handle;
  bool signalled = false;
  QTimer::singleShot(0, [&] {
    signalled = handle != nullptr;
    SignalEvent(handle);
  });
  WaitWithMessageLoop(handle, 0, true);
  EXPECT_TRUE(signalled);
  EXPECT_EQ(handle, nullptr);
  SignalEvent(handle);

  auto start = std::chrono::steady_clock::now();
  WaitWithMessageLoop(handle, 30, true);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

} // namespace
} // namespace bw::test
