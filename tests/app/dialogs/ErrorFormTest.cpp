// The error report as the program installs it: an exception from a handler
// opens the window with its class, message and stack, and work goes on.
#include "app/dialogs/ErrorForm.h"
#include "foundation/Exceptions.h"
#include "support/WhenModal.h"
#include "ui_ErrorForm.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace bw;
using bw::test::WhenModal;

namespace errorreport {
[[gnu::noinline]] void DeleteWithoutSelection() {
  throw InvalidOperationException("This operation requires a selected node");
}
} // namespace errorreport

namespace {

// A widget whose paint handler fails on every repaint; the test hands it
// its paint events itself, so that none comes unasked.
struct FailingPainter : QWidget {
  int Paints = 0;
  void paintEvent(QPaintEvent*) override {
    Guarded([this] {
      ++Paints;
      throw std::runtime_error("paint failed " + std::to_string(Paints));
    });
  }
  void Repaint() {
    QPaintEvent event(QRect(0, 0, 10, 10));
    QCoreApplication::sendEvent(this, &event);
  }
};

} // namespace

TEST(ErrorForm, ShowsClassMessageAndStackAndTheProgramGoesOn) {
  TErrorForm form;
  bool previousCalled = false;
  auto previous = SetExceptionReporter([&](std::exception_ptr) { previousCalled = true; });
  {
    TErrorReportInstallation installed(form);
    WhenModal<TErrorForm>([](TErrorForm& shown) {
      Ui::TErrorForm& ui = shown.Form();
      EXPECT_EQ(ui.ExceptionNameEdit->text(), "InvalidOperationException");
      EXPECT_EQ(ui.DescriptionEdit->text(), "This operation requires a selected node");
      const QString stack = ui.StackTraceMemo->toPlainText();
      EXPECT_TRUE(stack.section('\n', 0, 0).contains("DeleteWithoutSelection"))
          << stack.toStdString();
      QTest::mouseClick(ui.OKButton, Qt::LeftButton);
    });
    // Guarded comes back once the report is closed.
    Guarded([] { errorreport::DeleteWithoutSelection(); });
    EXPECT_FALSE(form.Showing());
  }
  // The previous reporter is back.
  Guarded([] { throw 1; });
  EXPECT_TRUE(previousCalled);
  SetExceptionReporter(previous);
}

// A paint handler that fails on every repaint must not stack up modal
// loops behind the open report: its failures are appended to it.
TEST(ErrorForm, ReportsWhileOpenAreAppendedWithoutASecondModalLoop) {
  TErrorForm form;
  TErrorReportInstallation installed(form);
  FailingPainter painter;
  int appended = -1;
  WhenModal<TErrorForm>([&](TErrorForm& shown) {
    // Each repaint reports at once and comes back here.
    painter.Repaint();
    painter.Repaint();
    EXPECT_EQ(QApplication::activeModalWidget(), &shown);
    appended = shown.AppendedReports();
    const QString memo = shown.Form().StackTraceMemo->toPlainText();
    EXPECT_TRUE(memo.contains("runtime_error: paint failed 2")) << memo.toStdString();
    EXPECT_TRUE(memo.contains("runtime_error: paint failed 3"));
    for (int i = 0; i < TErrorForm::MaxAppendedReports + 5; ++i)
      painter.Repaint();
    EXPECT_EQ(shown.AppendedReports(), TErrorForm::MaxAppendedReports);
    shown.accept();
  });
  painter.Repaint();
  EXPECT_EQ(appended, 2);
  EXPECT_EQ(form.Form().DescriptionEdit->text(), "paint failed 1");
  EXPECT_FALSE(form.Showing());
}
