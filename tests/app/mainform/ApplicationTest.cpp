#include "app/Application.h"
#include "foundation/Assert.h"

#include <QEvent>

#include <gtest/gtest.h>

namespace {
struct Thrower : QObject {
  bool event(QEvent*) override {
    BW_ASSERT(false);
    return true;
  }
};
} // namespace

TEST(Application, AnExceptionFromAHandlerIsReportedAndTheProgramGoesOn) {
  auto* app = dynamic_cast<bw::TApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  QString reported;
  auto previous = app->ReportError;
  app->ReportError = [&](const QString& cls, const QString& message) {
    reported = cls + ": " + message;
  };
  Thrower target;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&target, &event));
  EXPECT_TRUE(reported.startsWith("EAssertionFailed: Assertion failure")) << reported.toStdString();
  EXPECT_TRUE(reported.contains("ApplicationTest.cpp"));
  app->ReportError = previous;
}
