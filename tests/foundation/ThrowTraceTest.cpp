// The stack recorded at every throw, and the description the error report
// makes of an exception.
#include "foundation/ThrowTrace.h"
#include "foundation/ErrorReport.h"
#include "foundation/Exceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

using namespace bw;

// Outside any unnamed namespace and never inlined, so that the frames carry
// these names.
namespace throwtrace {
[[gnu::noinline]] void ThrowInvalidOperationForTrace() {
  throw InvalidOperationException("nothing selected");
}
[[gnu::noinline]] void ThrowIntForTrace() {
  throw 42;
}
} // namespace throwtrace

namespace {

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

} // namespace

TEST(ThrowTrace, DescribesClassMessageAndTheStackFromTheThrowingFunctionOn) {
  try {
    throwtrace::ThrowInvalidOperationForTrace();
  } catch (...) {
    const TExceptionDescription d = DescribeException(std::current_exception());
    EXPECT_EQ(d.ClassName, "InvalidOperationException");
    EXPECT_EQ(d.Message, "nothing selected");
    EXPECT_NE(FirstLine(d.StackTrace).find("ThrowInvalidOperationForTrace"), std::string::npos)
        << d.StackTrace;
    EXPECT_EQ(d.StackTrace.find("__cxa_throw"), std::string::npos) << d.StackTrace;
    EXPECT_NE(d.StackTrace.find("ThrowTraceTest.cpp:"), std::string::npos) << d.StackTrace;
    EXPECT_EQ(d.StackTrace.rfind("[", 0), 0u);
  }
}

TEST(ThrowTrace, RecordsThrowsOfEveryTypeAndFromInsideTheStandardLibrary) {
  try {
    throwtrace::ThrowIntForTrace();
  } catch (...) {
    const TThrowRecord record = LastThrowRecord();
    EXPECT_EQ(record.Object, ExceptionObject(std::current_exception()));
    const std::string stack = ThrowStackText(record, std::current_exception());
    EXPECT_NE(stack.find("ThrowIntForTrace"), std::string::npos) << stack;
  }
  try {
    std::vector<int> empty;
    (void)empty.at(3);
  } catch (const std::out_of_range& e) {
    const TThrowRecord record = LastThrowRecord();
    EXPECT_EQ(record.Object, static_cast<const void*>(&e));
    EXPECT_GT(record.FrameCount, 1u);
    EXPECT_NE(ThrowStackText(record, std::current_exception()), "(stack not available)");
  }
  EXPECT_EQ(ExceptionObject(nullptr), nullptr);
}

TEST(ThrowTrace, ALaterThrowHidesTheStackButARethrowKeepsIt) {
  std::exception_ptr first;
  try {
    throwtrace::ThrowInvalidOperationForTrace();
  } catch (...) {
    first = std::current_exception();
  }
  try {
    throw std::runtime_error("another");
  } catch (...) {
  }
  EXPECT_EQ(ThrowStackText(LastThrowRecord(), first), "(stack not available)");
  EXPECT_EQ(ThrowStackText(LastThrowRecord(), nullptr), "(stack not available)");

  try {
    try {
      throwtrace::ThrowInvalidOperationForTrace();
    } catch (...) {
      throw;
    }
  } catch (...) {
    const std::string stack = DescribeException(std::current_exception()).StackTrace;
    EXPECT_NE(FirstLine(stack).find("ThrowInvalidOperationForTrace"), std::string::npos) << stack;
  }
}

TEST(ThrowTrace, EachThreadKeepsItsOwnRecord) {
  try {
    throwtrace::ThrowIntForTrace();
  } catch (...) {
    const std::exception_ptr mine = std::current_exception();
    std::thread other([] {
      try {
        throw std::runtime_error("elsewhere");
      } catch (...) {
      }
    });
    other.join();
    EXPECT_EQ(LastThrowRecord().Object, ExceptionObject(mine));
  }
}
