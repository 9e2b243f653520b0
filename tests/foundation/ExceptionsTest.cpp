#include "foundation/Exceptions.h"
#include "foundation/Assert.h"
#include "foundation/ErrorReport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace bw;

TEST(Exceptions, ArgumentClassesAndTheirData) {
  ArgumentNullException null("s");
  EXPECT_EQ(null.Message(), "Value cannot be null.");
  EXPECT_EQ(null.ParamName(), "s");
  EXPECT_STREQ(null.ClassName(), "ArgumentNullException");
  ArgumentException plain("bad");
  EXPECT_EQ(plain.ParamName(), "");
  EXPECT_EQ(plain.Message(), "bad");
  EXPECT_STREQ(plain.what(), "bad");
}

TEST(Exceptions, ArgumentHandlerCatchesNullButNotOutOfRange) {
  auto caughtAsArgument = [](auto thrower) {
    try {
      thrower();
    } catch (const ArgumentException&) {
      return true;
    } catch (const Exception&) {
      return false;
    }
    return false;
  };
  EXPECT_TRUE(caughtAsArgument([] { throw ArgumentNullException("x"); }));
  EXPECT_FALSE(caughtAsArgument([] { throw ArgumentOutOfRangeException("r"); }));
}

TEST(Exceptions, AssertionNamesUnitAndLineAndStaysOnInRelease) {
  int line = 0;
  try {
    line = __LINE__ + 1;
    BW_ASSERT(1 + 1 == 3);
    FAIL() << "assertion did not fire";
  } catch (const AssertionFailure& e) {
    EXPECT_EQ(e.Source(), "ExceptionsTest.cpp");
    EXPECT_EQ(e.Line(), line);
    EXPECT_NE(e.Message().find("Assertion failure"), std::string::npos);
    EXPECT_NE(e.Message().find("ExceptionsTest.cpp"), std::string::npos);
    EXPECT_NE(e.Message().find(std::to_string(line)), std::string::npos);
    EXPECT_FALSE(e.StackTrace().empty());
  }
}

TEST(ErrorReport, GuardedHandsEveryKindOfExceptionToTheReporter) {
  std::vector<std::string> reports;
  auto previous = SetExceptionReporter([&](std::exception_ptr e) {
    reports.push_back(ExceptionClassName(e) + ": " + ExceptionMessage(e));
  });
  Guarded([] { throw InvalidOperationException("not now"); });
  Guarded([] { std::vector<int>().at(3); });
  Guarded([] { throw 42; });
  // A quiet abort is no error: nothing to report.
  Guarded([] { throw SilentAbort(); });
  bool ran = false;
  Guarded([&] { ran = true; });
  SetExceptionReporter(previous);
  EXPECT_TRUE(ran);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0], "InvalidOperationException: not now");
  EXPECT_EQ(reports[1].substr(0, 14), "out_of_range: ");
  EXPECT_EQ(reports[2], "int: ");
}
