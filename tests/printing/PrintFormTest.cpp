// The print window driven offscreen, with the printer layer's double and
// with the PDF output.
#include "printing/PrintForm.h"
#include "printing/FakePrinter.h"
#include "printing/PrintPreview.h"
#include "printing/Printer.h"

#include "foundation/ErrorReport.h"
#include "ui_PrintForm.h"

#include <QComboBox>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace bw;
using bw::test::ScopedFakePrinter;

namespace {

// A window that prints one page with a black box inside the margins and
// records how it was asked.
struct Printable : IPrintableForm {
  QWidget Window;
  struct Call {
    TPageMargins Margins;
    bool ShowMargins;
  };
  std::vector<Call> Calls;
  void PrintTo(TPrintPreview& preview, const TPageMargins& margins, bool showMargins) override {
    Calls.push_back({margins, showMargins});
    preview.BeginDoc();
    preview.Canvas()->fillRect(100, 100, 200, 200, Qt::black);
    preview.EndDoc();
  }
  QWidget* GetForm() override { return &Window; }
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

TPrintWindowDialogs Dialogs(std::function<void(TPrintForm&)> run) {
  TPrintWindowDialogs d;
  d.Run = [run](TPrintForm& form) {
    form.show();
    run(form);
    form.close();
  };
  d.Warning = [](QWidget*, const QString& text) { FAIL() << text.toStdString(); };
  return d;
}

} // namespace

TEST(PrintForm, WithNoPrinterOnlyWarnsAndKeepsTheSettings) {
  ScopedFakePrinter printer;
  printer->Count = 0;
  Printable printable;
  TPrintSettings settings = MakePrintSettings(true, MakePageMargins(1, 2, 3, 4));
  QStringList warnings;
  TPrintWindowDialogs dialogs;
  dialogs.Warning = [&](QWidget*, const QString& text) { warnings << text; };
  dialogs.Run = [](TPrintForm&) { FAIL() << "the window opened"; };
  ShowPrintPreview(printable, settings, dialogs);
  EXPECT_EQ(warnings, QStringList{"No printer is currently installed in the system."});
  EXPECT_TRUE(printable.Calls.empty());
  EXPECT_EQ(settings.Margins, MakePageMargins(1, 2, 3, 4));
  EXPECT_TRUE(settings.Landscape);
}

TEST(PrintForm, OpensOnTheWholePageWithMarginsAndHandsBackWhatTheUserLeft) {
  ScopedFakePrinter printer;
  Printable printable;
  printable.Window.setWindowIcon(QIcon(QPixmap(16, 16)));
  TPrintSettings settings = MakePrintSettings(true, MakePageMargins(500, 600, 700, 800));
  auto dialogs = Dialogs([&](TPrintForm& form) {
    EXPECT_EQ(form.windowTitle(), "Print Preview");
    EXPECT_EQ(form.parentWidget(), &printable.Window);
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.Form().ZoomComboBox->currentText(), "Whole Page");
    TPrintPreview& preview = form.Preview();
    EXPECT_EQ(preview.ZoomState(), zsZoomToFit);
    EXPECT_EQ(preview.Units(), mmPixel);
    EXPECT_EQ(preview.Orientation(), poLandscape);
    EXPECT_EQ(preview.PaperView().ShadowWidth(), 7);
    EXPECT_EQ(preview.TotalPages(), 1);
    ASSERT_EQ(printable.Calls.size(), 1u);
    EXPECT_TRUE(printable.Calls[0].ShowMargins);
    EXPECT_EQ(printable.Calls[0].Margins, settings.Margins);

    // Page setup, confirmed: new margins, the printer's paper, pages again.
    printer->Settings.Orientation = 1;
    form.Form().SetupToolButton->click();
    EXPECT_EQ(preview.Orientation(), poPortrait);
    ASSERT_EQ(printable.Calls.size(), 2u);
    EXPECT_EQ(printable.Calls[1].Margins, MakePageMargins(1000, 1100, 1200, 1300));
  });
  int setups = 0;
  dialogs.PageSetup = [&](QWidget*, TPageMargins& margins) {
    ++setups;
    EXPECT_EQ(margins, MakePageMargins(500, 600, 700, 800));
    margins = MakePageMargins(1000, 1100, 1200, 1300);
    return true;
  };
  ShowPrintPreview(printable, settings, dialogs);
  EXPECT_EQ(setups, 1);
  // Nothing printed, yet margins and orientation come back.
  EXPECT_EQ(settings.Margins, MakePageMargins(1000, 1100, 1200, 1300));
  EXPECT_FALSE(settings.Landscape);
  EXPECT_EQ(printer->Begun, 0);
}

TEST(PrintForm, PrintsPagesWithoutMarksAndShowsTheMarkedPagesAgain) {
  ScopedFakePrinter printer;
  Printable printable;
  TPrintSettings settings;
  int prints = 0;
  auto dialogs = Dialogs([&](TPrintForm& form) {
    form.Form().PrintToolButton->click();
    EXPECT_TRUE(form.isVisible());
    // While the preview records, the button does nothing.
    form.Preview().BeginDoc();
    form.Form().PrintToolButton->click();
    form.Preview().EndDoc();
  });
  dialogs.Print = [&](QWidget*) {
    ++prints;
    return true;
  };
  ShowPrintPreview(printable, settings, dialogs);
  EXPECT_EQ(prints, 1);
  ASSERT_EQ(printable.Calls.size(), 3u);
  EXPECT_TRUE(printable.Calls[0].ShowMargins);
  EXPECT_FALSE(printable.Calls[1].ShowMargins);
  EXPECT_TRUE(printable.Calls[2].ShowMargins);
  EXPECT_EQ(printer->Ended, 1);
  ASSERT_EQ(printer->Pages.size(), 1u);
}

TEST(PrintForm, ShowsTheScreenPagesAgainWhenPrintingFails) {
  ScopedFakePrinter printer;
  printer->FailOnEndDoc = true;
  Reports reports;
  Printable printable;
  TPrintSettings settings;
  auto dialogs = Dialogs([&](TPrintForm& form) {
    form.Form().PrintToolButton->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Preview().TotalPages(), 1);
    EXPECT_EQ(form.Preview().State(), TPreviewState::Ready);
  });
  dialogs.Print = [](QWidget*) { return true; };
  ShowPrintPreview(printable, settings, dialogs);
  EXPECT_EQ(reports.Messages, std::vector<std::string>{"printer went away"});
  ASSERT_EQ(printable.Calls.size(), 3u);
  EXPECT_TRUE(printable.Calls[2].ShowMargins);
}

TEST(PrintForm, ZoomsByTheChosenItemOnly) {
  ScopedFakePrinter printer;
  Printable printable;
  TPrintSettings settings;
  auto dialogs = Dialogs([&](TPrintForm& form) {
    QComboBox* zoom = form.Form().ZoomComboBox;
    TPrintPreview& preview = form.Preview();
    const int percents[] = {50, 100, 150, 200};
    for (int i = 0; i < 4; ++i) {
      zoom->setCurrentIndex(i);
      emit zoom->activated(i);
      EXPECT_EQ(preview.Zoom(), percents[i]);
      EXPECT_EQ(preview.ZoomState(), zsZoomOther);
    }
    const TZoomState states[] = {zsZoomToWidth, zsZoomToHeight, zsZoomToFit};
    for (int i = 4; i < 7; ++i) {
      emit zoom->activated(i);
      EXPECT_EQ(preview.ZoomState(), states[i - 4]);
    }
    // Zooming with the keys leaves the chosen item.
    zoom->setCurrentIndex(1);
    QTest::keyClick(&preview, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(zoom->currentIndex(), 1);
  });
  ShowPrintPreview(printable, settings, dialogs);
}

TEST(PrintForm, PrintsToAPdfFileThroughTheQtPrinter) {
  QTemporaryDir dir;
  auto qt = std::make_unique<TQtPrinter>([](auto&&...) { FAIL() << "not a CUPS printer"; });
  TQtPrinter* printer = qt.get();
  auto previous = SetPrinter(std::move(qt));
  printer->SelectPdfFile(dir.filePath("out.pdf"));
  Printable printable;
  TPrintSettings settings = MakePrintSettings(true, {});
  auto dialogs = Dialogs([&](TPrintForm& form) { form.Form().PrintToolButton->click(); });
  dialogs.Print = [](QWidget*) { return true; };
  ShowPrintPreview(printable, settings, dialogs);
  SetPrinter(std::move(previous));
  QFile out(dir.filePath("out.pdf"));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.read(5), "%PDF-");
  EXPECT_TRUE(settings.Landscape);
}
