#include "app/Application.h"
#include "foundation/Assert.h"
#include "foundation/ErrorReport.h"

#include <QEvent>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {
struct Thrower : QObject {
  bool event(QEvent*) override {
    BW_ASSERT(false);
    return true;
  }
};
} // namespace

TEST(Application, AnExceptionThatReachesTheDispatchIsReportedAndTheProgramGoesOn) {
  ASSERT_NE(dynamic_cast<bw::TApplication*>(QCoreApplication::instance()), nullptr);
  std::string reported;
  auto previous = bw::SetExceptionReporter([&](std::exception_ptr e) {
    const bw::TExceptionDescription d = bw::DescribeException(e);
    reported = d.ClassName + ": " + d.Message + "\n" + d.StackTrace;
  });
  Thrower target;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&target, &event));
  bw::SetExceptionReporter(previous);
  EXPECT_EQ(reported.rfind("EAssertionFailed: Assertion failure", 0), 0u) << reported;
  EXPECT_NE(reported.find("ApplicationTest.cpp"), std::string::npos);
  // The stack recorded at the throw, not a lost one.
  EXPECT_NE(reported.find("Thrower::event"), std::string::npos) << reported;
}

TEST(Application, NamesTheProgramAndLeavesEveryCaptionAsItIs) {
  EXPECT_EQ(QCoreApplication::applicationName(), "Brantwick");
  EXPECT_EQ(QCoreApplication::organizationName(), "Calverick");
  // The desktop appends a display name that the program sets to every
  // window's caption. Without one, the display name follows the name.
  QCoreApplication::setApplicationName("Probe");
  const QString displayName = QGuiApplication::applicationDisplayName();
  QCoreApplication::setApplicationName("Brantwick");
  EXPECT_EQ(displayName, "Probe");
}
