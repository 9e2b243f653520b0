// The print window driven offscreen, with the printer layer's double and
// with the PDF output.
#include "printing/PrintForm.h"
#include "printing/FakePrinter.h"
#include "printing/PrintPreview.h"
#include "printing/Printer.h"

#include "foundation/ErrorReport.h"
#include "ui_PrintForm.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace bw;

namespace {

// A window that prints one page with a black box inside the margins and
// records how it was asked: the margins, and whether to mark them.
struct Printable : IPrintableForm {
  QWidget Window;
  std::vector<std::pair<TPageMargins, bool>> Calls;
  void PrintTo(TPrintPreview& preview, const TPageMargins& margins, bool showMargins) override {
    Calls.emplace_back(margins, showMargins);
    preview.BeginDoc();
    preview.Canvas()->fillRect(100, 100, 200, 200, Qt::black);
    preview.EndDoc();
  }
  QWidget* GetForm() override { return &Window; }
  std::vector<bool> Marks() const {
    std::vector<bool> marks;
    for (const auto& call : Calls)
      marks.push_back(call.second);
    return marks;
  }
};

// Reports of the errors that escape the window's handlers.
struct Reports {
  std::vector<std::string> Messages;
  TExceptionReporter Previous;
  Reports() {
    Previous = SetExceptionReporter(
        [this](std::exception_ptr e) { Messages.push_back(ExceptionMessage(e)); });
  }
  ~Reports() { SetExceptionReporter(Previous); }
};

// The print window over the printer double; its print dialog is confirmed
// and a warning fails the test unless a test expects one.
class PrintForm : public ::testing::Test {
protected:
  bw::test::ScopedFakePrinter printer;
  Printable printable;
  TPrintSettings settings;
  TPrintWindowDialogs dialogs;

  PrintForm() {
    dialogs.Print = [](QWidget*) { return true; };
    dialogs.Warning = [](QWidget*, const QString& text) { FAIL() << text.toStdString(); };
  }
  // Opens the window, lets run drive it, closes it.
  void Show(std::function<void(TPrintForm&)> run) {
    dialogs.Run = [run](TPrintForm& form) {
      form.show();
      run(form);
      form.close();
    };
    ShowPrintPreview(printable, settings, dialogs);
  }
};

} // namespace

TEST_F(PrintForm, WithNoPrinterOnlyWarnsAndKeepsTheSettings) {
  printer->Count = 0;
  settings = MakePrintSettings(true, MakePageMargins(1, 2, 3, 4));
  QStringList warnings;
  dialogs.Warning = [&](QWidget*, const QString& text) { warnings << text; };
  Show([](TPrintForm&) { FAIL() << "the window opened"; });
  EXPECT_EQ(warnings, QStringList{"No printer is currently installed in the system."});
  EXPECT_TRUE(printable.Calls.empty());
  EXPECT_EQ(settings.Margins, MakePageMargins(1, 2, 3, 4));
  EXPECT_TRUE(settings.Landscape);
}

TEST_F(PrintForm, OpensOnTheWholePageWithMarginsAndHandsBackWhatTheUserLeft) {
  printable.Window.setWindowIcon(QIcon(QPixmap(16, 16)));
  const TPageMargins opened = MakePageMargins(500, 600, 700, 800);
  const TPageMargins chosen = MakePageMargins(1000, 1100, 1200, 1300);
  settings = MakePrintSettings(true, opened);
  dialogs.PageSetup = [&](QWidget*, TPageMargins& margins) {
    EXPECT_EQ(margins, opened);
    margins = chosen;
    return true;
  };
  Show([&](TPrintForm& form) {
    EXPECT_EQ(form.windowTitle(), "Print Preview");
    EXPECT_EQ(form.parentWidget(), &printable.Window);
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.Form().ZoomComboBox->currentText(), "Whole Page");
    TPrintPreview& preview = form.Preview();
    EXPECT_EQ(preview.Orientation(), poLandscape);
    EXPECT_EQ(printable.Calls, (std::vector<std::pair<TPageMargins, bool>>{{opened, true}}));

    // Page setup, confirmed: new margins, the printer's paper (a size of
    // the user's own, portrait) in screen pixels, pages again.
    printer->Settings = {CustomPaperCode, 1000, 1500, 1, std::nullopt};
    form.Form().SetupToolButton->click();
    EXPECT_EQ(preview.Orientation(), poPortrait);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(378, 567));
    EXPECT_EQ(printable.Calls,
              (std::vector<std::pair<TPageMargins, bool>>{{opened, true}, {chosen, true}}));
  });
  // Nothing printed, yet margins and orientation come back.
  EXPECT_EQ(settings.Margins, chosen);
  EXPECT_FALSE(settings.Landscape);
  EXPECT_EQ(printer->Begun, 0);
}

TEST_F(PrintForm, PrintsPagesWithoutMarksAndShowsTheMarkedPagesAgain) {
  int prints = 0;
  dialogs.Print = [&](QWidget*) { return ++prints > 0; };
  Show([&](TPrintForm& form) {
    form.Form().PrintToolButton->click();
    EXPECT_TRUE(form.isVisible());
    // While the preview records, the button does nothing.
    form.Preview().BeginDoc();
    form.Form().PrintToolButton->click();
    form.Preview().EndDoc();
  });
  EXPECT_EQ(prints, 1);
  EXPECT_EQ(printable.Marks(), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(printer->Pages.size(), 1u);
}

TEST_F(PrintForm, ShowsTheScreenPagesAgainWhenPrintingFails) {
  printer->FailOnEndDoc = true;
  Reports reports;
  Show([&](TPrintForm& form) {
    form.Form().PrintToolButton->click();
    EXPECT_TRUE(form.isVisible());
  });
  EXPECT_EQ(reports.Messages, std::vector<std::string>{"printer went away"});
  EXPECT_EQ(printable.Marks(), (std::vector<bool>{true, false, true}));
}

TEST_F(PrintForm, ZoomsByTheChosenItemOnly) {
  Show([&](TPrintForm& form) {
    QComboBox* zoom = form.Form().ZoomComboBox;
    TPrintPreview& preview = form.Preview();
    const int percents[] = {50, 100, 150, 200};
    const TZoomState states[] = {zsZoomToWidth, zsZoomToHeight, zsZoomToFit};
    for (int i = 0; i < 7; ++i) {
      emit zoom->activated(i);
      if (i < 4)
        EXPECT_EQ(preview.Zoom(), percents[i]) << i;
      else
        EXPECT_EQ(preview.ZoomState(), states[i - 4]) << i;
    }
    // Zooming with the keys leaves the chosen item.
    zoom->setCurrentIndex(1);
    QTest::keyClick(&preview, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(zoom->currentIndex(), 1);
  });
}

TEST_F(PrintForm, PrintsToAPdfFileThroughTheQtPrinter) {
  QTemporaryDir dir;
  auto qt = std::make_unique<TQtPrinter>([](auto&&...) { FAIL() << "not a CUPS printer"; });
  qt->SelectPdfFile(dir.filePath("out.pdf"));
  auto fake = SetPrinter(std::move(qt));
  settings.Landscape = true;
  Show([](TPrintForm& form) { form.Form().PrintToolButton->click(); });
  SetPrinter(std::move(fake));
  QFile out(dir.filePath("out.pdf"));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.read(5), "%PDF-");
  EXPECT_TRUE(settings.Landscape);
}

// On a CUPS printer the print dialog offers the proposed PDF in its box for
// the PDF output (its child "filename"), in place of Qt's own name.
TEST_F(PrintForm, TheCupsPrintDialogOffersTheProposedPdf) {
  auto qt = std::make_unique<TQtPrinter>([](auto&&...) { FAIL() << "printed"; });
  qt->SelectPrinter("office");
  auto fake = SetPrinter(std::move(qt));
  settings.ProposedPdf = "/home/user/trees/tree.pdf";
  dialogs.Print = nullptr; // the real dialog
  QString offered = "no dialog";
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    auto* box = dialog ? dialog->findChild<QLineEdit*>("filename") : nullptr;
    offered = box ? box->text() : "no box";
    if (dialog) dialog->reject();
  });
  Show([&](TPrintForm& form) { form.Form().PrintToolButton->click(); });
  SetPrinter(std::move(fake));
  EXPECT_EQ(offered, "/home/user/trees/tree.pdf");
}
