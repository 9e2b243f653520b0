// A printer for tests: any number of installed printers (0 for none), its
// own device settings, a form list and whether it takes forms of the
// user's own; its jobs are drawn into images, one per page.
#pragma once

#include "printing/Printer.h"

#include <QImage>
#include <QPainter>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace bw::test {

class FakePrinter : public IPrinter {
public:
  int Count = 1;
  TDeviceSettings Settings{9, 2100, 2970, 1, std::string("A4")};
  std::vector<TPrinterForm> FormList{{"A4", 210000, 297000}, {"Letter", 215900, 279400}};
  bool TakesCustomForms = true;
  int Dpi = 120;
  // Job records.
  std::vector<QImage> Pages; // pages of the last finished job
  std::vector<QImage> Drawn; // pages of the job in progress
  int Begun = 0, Ended = 0, Aborts = 0;
  std::string LastTitle;
  bool FailOnEndDoc = false;

  int PrinterCount() const override { return Count; }
  std::string Name() const override { return "Fake"; }
  TDeviceSettings DeviceSettings() const override { return Settings; }
  void SetDeviceSettings(const TDeviceSettings& s) override {
    if (s.Orientation) Settings.Orientation = s.Orientation;
    if (s.PaperSize) Settings.PaperSize = s.PaperSize;
    if (s.PaperWidth) Settings.PaperWidth = s.PaperWidth;
    if (s.PaperLength) Settings.PaperLength = s.PaperLength;
    Settings.FormName = s.FormName;
  }
  std::vector<TPrinterForm> Forms() const override { return FormList; }
  bool AddForm(const TPrinterForm& form) override {
    if (!TakesCustomForms) return false;
    FormList.push_back(form);
    return true;
  }
  bool DeleteForm(const std::string& name) override {
    return std::erase_if(FormList, [&](const TPrinterForm& f) { return f.Name == name; }) > 0;
  }

  std::string Title() const override { return FTitle; }
  void SetTitle(const std::string& title) override {
    FTitle = title;
    if (!title.empty()) LastTitle = title;
  }
  void BeginDoc() override {
    ++Begun;
    FAborted = false;
    Drawn.clear();
    StartPage();
    FPrinting = true;
  }
  QPainter& Canvas() override { return *FPainter; }
  void NewPage() override {
    FinishPage();
    StartPage();
  }
  void EndDoc() override {
    FinishPage();
    FPrinting = false;
    if (FailOnEndDoc) throw std::runtime_error("printer went away");
    ++Ended;
    Pages = Drawn;
  }
  void Abort() override {
    ++Aborts;
    FPainter.reset();
    Drawn.clear();
    FPrinting = false;
    FAborted = true;
  }
  bool Printing() const override { return FPrinting; }
  bool Aborted() const override { return FAborted; }
  int DpiX() const override { return Dpi; }
  int DpiY() const override { return Dpi; }
  // The sheet of the settings at the printer's resolution.
  QSize PageSizePixels() const override {
    const int w = Settings.PaperWidth.value_or(2100) * Dpi / 254;
    const int h = Settings.PaperLength.value_or(2970) * Dpi / 254;
    return Settings.Orientation == 2 ? QSize(h, w) : QSize(w, h);
  }

private:
  void StartPage() {
    FPage = QImage(PageSizePixels(), QImage::Format_RGB32);
    const int dpm = static_cast<int>(Dpi / 0.0254 + 0.5);
    FPage.setDotsPerMeterX(dpm);
    FPage.setDotsPerMeterY(dpm);
    FPage.fill(Qt::white);
    FPainter = std::make_unique<QPainter>(&FPage);
  }
  void FinishPage() {
    FPainter.reset();
    Drawn.push_back(FPage);
  }

  std::string FTitle;
  QImage FPage;
  std::unique_ptr<QPainter> FPainter;
  bool FPrinting = false;
  bool FAborted = false;
};

// Puts a fake printer in place for one test and the previous one back.
class ScopedFakePrinter {
public:
  ScopedFakePrinter() {
    auto fake = std::make_unique<FakePrinter>();
    Fake = fake.get();
    Previous = SetPrinter(std::move(fake));
  }
  ~ScopedFakePrinter() { SetPrinter(std::move(Previous)); }
  FakePrinter* operator->() { return Fake; }
  FakePrinter& operator*() { return *Fake; }

private:
  FakePrinter* Fake;
  std::unique_ptr<IPrinter> Previous;
};

} // namespace bw::test
