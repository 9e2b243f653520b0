#include "printing/PrintPreview.h"

#include "foundation/Exceptions.h"
#include "printing/Printer.h"

#include <QPainter>
#include <QPicture>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bw {

namespace {

QSize RowSize(TPaperType type, TUnits units) {
  const TPaperSizeRow& row = PaperSizes()[type];
  const int dpi = ScreenDpi();
  return {ConvertUnits(row.Width, dpi, row.Units, units),
          ConvertUnits(row.Height, dpi, row.Units, units)};
}

bool SameName(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

} // namespace

TPrintPreview::TPrintPreview(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::NoFrame);
  QFont own("Arial");
  own.setPointSize(8);
  setFont(own);
  const QSize a4 = RowSize(pA4, FUnits);
  FPaperWidth = a4.width();
  FPaperHeight = a4.height();
  UpdateExtentPixels();

  FPages.OnChange = [this](TMetafileList&) { PagesChanged(); };
  FPages.OnCurrentChange = [this](TMetafileList&, int index) { PageChanged(index); };
  FPaperView.OnChange = [this](TPaperPreviewOptions&) { PaperViewOptionsChanged(); };

  FPaper = new TPaperPreview(viewport());
  FPaper->setObjectName("PaperPreview");
  FPaper->setFocusPolicy(Qt::NoFocus);
  FPaper->hide();
  FPaper->SetColor(viewport()->palette().color(QPalette::Window));
  FPaper->OnPaint = [this](TPaperPreview& sender, QPainter& canvas, const QRect& r) {
    PaintPage(sender, canvas, r);
  };
  FPaper->OnClick = [this](TPaperPreview&) {
    if (OnClick) OnClick(*this);
  };
  FPaper->OnDblClick = [this](TPaperPreview&) {
    if (OnDblClick) OnDblClick(*this);
  };
  FPaper->OnMouseDown = [this](TPaperPreview&, QMouseEvent& e) { PaperMouseDown(e); };
  FPaper->OnMouseMove = [this](TPaperPreview&, QMouseEvent& e) { PaperMouseMove(e); };
  FPaper->OnMouseUp = [this](TPaperPreview&, QMouseEvent& e) { PaperMouseUp(e); };
  FPaperView.AssignTo(*FPaper);
  horizontalScrollBar()->setSingleStep(ScrollIncrement);
  verticalScrollBar()->setSingleStep(ScrollIncrement);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

TPrintPreview::~TPrintPreview() {
  FDestroying = true;
  FPages.OnChange = nullptr;
  FPages.OnCurrentChange = nullptr;
  if (FCanvas && FPrintingDirectly && Printer().Printing()) Printer().Abort();
  FCanvas = nullptr;
  if (FPagePainter && FPagePainter->isActive()) FPagePainter->end();
  if (!FOwnFormName.empty()) {
    try {
      RemoveCustomPrinterForm(FOwnFormName);
    } catch (...) {
    }
  }
}

// ---- Paper --------------------------------------------------------------------

int TPrintPreview::ConvertX(int value, TUnits in, TUnits out) const {
  return ConvertUnits(value, ScreenDpi(), in, out);
}

int TPrintPreview::ConvertY(int value, TUnits in, TUnits out) const {
  return ConvertUnits(value, ScreenDpi(), in, out);
}

QPoint TPrintPreview::ConvertPoint(int x, int y, TUnits in, TUnits out) const {
  return {ConvertX(x, in, out), ConvertY(y, in, out)};
}

void TPrintPreview::UpdateExtentPixels() {
  FExtent = QSize(ConvertX(FPaperWidth, FUnits, mmPixel), ConvertY(FPaperHeight, FUnits, mmPixel));
}

void TPrintPreview::SetPaperSize(int width, int height) {
  width = std::clamp(width, 1, 32767);
  height = std::clamp(height, 1, 32767);
  if (width == FPaperWidth && height == FPaperHeight) return;
  if (FState != TPreviewState::Ready) return;
  FPaperWidth = width;
  FPaperHeight = height;
  FPaperType = FOrientation == poPortrait ? FindPaperTypeBySize(width, height, FUnits)
                                          : FindPaperTypeBySize(height, width, FUnits);
  FFormName.clear();
  UpdateExtentPixels();
  UpdateLayout();
}

void TPrintPreview::SetPaperType(TPaperType type) {
  if (type == FPaperType || FState != TPreviewState::Ready) return;
  FPaperType = type;
  FFormName.clear();
  if (type == pCustom) return;
  const QSize size = RowSize(type, FUnits);
  FPaperWidth = FOrientation == poPortrait ? size.width() : size.height();
  FPaperHeight = FOrientation == poPortrait ? size.height() : size.width();
  UpdateExtentPixels();
  UpdateLayout();
}

void TPrintPreview::SetPaperTypeByCode(int code) {
  SetPaperType(PaperTypeByCode(code));
}

void TPrintPreview::SetOrientation(TPrinterOrientation orientation) {
  if (orientation == FOrientation || FState != TPreviewState::Ready) return;
  FOrientation = orientation;
  std::swap(FPaperWidth, FPaperHeight);
  UpdateExtentPixels();
  UpdateLayout();
}

void TPrintPreview::SetUnits(TUnits units) {
  if (units == FUnits) return;
  if (FPaperType != pCustom) {
    // Afresh from the table: no rounding piles up over several changes.
    const QSize size = RowSize(FPaperType, units);
    FPaperWidth = FOrientation == poPortrait ? size.width() : size.height();
    FPaperHeight = FOrientation == poPortrait ? size.height() : size.width();
  } else {
    FPaperWidth = ConvertX(FPaperWidth, FUnits, units);
    FPaperHeight = ConvertY(FPaperHeight, FUnits, units);
  }
  if (FCanvas) {
    QPen pen = FCanvas->pen();
    pen.setWidth(ConvertX(pen.width(), FUnits, units));
    FUnits = units;
    FCanvas->setPen(pen);
    PrepareCanvas(*FCanvas);
  } else {
    FUnits = units;
  }
  UpdateExtentPixels();
}

// ---- Recording and printing -------------------------------------------------

int TPrintPreview::TotalPages() const {
  return FPrintingDirectly ? FDirectPageCount : FPages.Count();
}

bool TPrintPreview::PrinterInstalled() {
  return Printer().PrinterCount() > 0;
}

void TPrintPreview::PrepareCanvas(QPainter& canvas) {
  const QPaintDevice* device = canvas.device();
  const int w = FPaperWidth, h = FPaperHeight;
  const int pw = ConvertUnits(w, device->logicalDpiX(), FUnits, mmPixel);
  const int ph = ConvertUnits(h, device->logicalDpiY(), FUnits, mmPixel);
  // Logical (0, 0) is the sheet's corner, each axis scaled on its own.
  canvas.setWindow(0, 0, w, h);
  canvas.setViewport(0, 0, pw, ph);
  canvas.setViewTransformEnabled(true);
  // A font of n points is n/72 inch on paper: sized in logical units,
  // since Qt turns points into device pixels before the mapping applies.
  QFont f = font();
  const double points = f.pointSizeF() > 0 ? f.pointSizeF() : 8;
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * UnitsPerInch(FUnits) / 72))));
  canvas.setFont(f);
}

void TPrintPreview::CreateMetafilePage() {
  auto picture = std::make_unique<QPicture>();
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(picture.get()))
    throw OutOfMemoryError("Not enough memory to create a new page");
  PrepareCanvas(*painter);
  FPagePicture = std::move(picture);
  FPagePainter = std::move(painter);
  FCanvas = FPagePainter.get();
}

void TPrintPreview::FinishMetafilePage(bool keep) {
  FCanvas = nullptr;
  if (!FPagePainter) return;
  std::unique_ptr<QPainter> painter = std::move(FPagePainter);
  std::unique_ptr<QPicture> picture = std::move(FPagePicture);
  if (!painter->end() && keep) throw OutOfMemoryError("Not enough memory to create a new page");
  if (keep) FPages.Add({*picture, FExtent});
}

void TPrintPreview::BeginDoc() {
  if (FState != TPreviewState::Ready) return;
  FCanvas = nullptr;
  FAborted = false;
  if (DirectPrint) {
    FPrintingDirectly = true;
    FDirectPageCount = 0;
    if (UsePrinterOptions)
      GetPrinterOptions();
    else
      SetPrinterOptions();
    FState = TPreviewState::Printing;
    Printer().SetTitle(PrintJobTitle);
    try {
      Printer().BeginDoc();
    } catch (...) {
      FPrintingDirectly = false;
      FState = TPreviewState::Ready;
      throw;
    }
  } else {
    Clear();
    if (UsePrinterOptions) GetPrinterOptions();
    FState = TPreviewState::Recording;
    FPrintingDirectly = false;
    UpdateExtentPixels();
  }
  if (OnBeginDoc) OnBeginDoc(*this);
  NewPage();
}

void TPrintPreview::NewPage() {
  if (FState == TPreviewState::Ready || (FState == TPreviewState::Printing && !FPrintingDirectly))
    return;
  if (FCanvas && OnEndPage) OnEndPage(*this);
  if (FPrintingDirectly) {
    IPrinter& printer = Printer();
    if (FCanvas) {
      ++FDirectPageCount;
      printer.NewPage();
    }
    // A printer may give each page a canvas of its own.
    FCanvas = &printer.Canvas();
    PrepareCanvas(*FCanvas);
  } else {
    if (FCanvas) FinishMetafilePage(true);
    CreateMetafilePage();
  }
  if (OnNewPage) OnNewPage(*this);
}

void TPrintPreview::EndDoc() {
  if (FState == TPreviewState::Ready || (FState == TPreviewState::Printing && !FPrintingDirectly))
    return;
  // However the last page ends, the preview is ready again afterwards:
  // a failed page must not leave it recording for good.
  struct Ready {
    TPrintPreview& P;
    ~Ready() {
      P.FCanvas = nullptr;
      P.FPagePainter.reset();
      P.FPagePicture.reset();
      P.FPrintingDirectly = false;
      P.FState = TPreviewState::Ready;
    }
  } ready{*this};
  if (OnEndPage) OnEndPage(*this);
  if (FPrintingDirectly) {
    ++FDirectPageCount;
    FCanvas = nullptr;
    if (Printer().Printing()) Printer().EndDoc();
  } else {
    FinishMetafilePage(true);
  }
  if (OnEndDoc) OnEndDoc(*this);
}

void TPrintPreview::Abort() {
  if (FAborted) return;
  if (FState == TPreviewState::Recording) {
    FAborted = true;
    if (OnAbort) OnAbort(*this);
    FinishMetafilePage(false);
    Clear();
    // Nothing is open any more: the preview takes a new document.
    FState = TPreviewState::Ready;
  } else if (FState == TPreviewState::Printing) {
    FAborted = true;
    if (OnAbort) OnAbort(*this);
    IPrinter& printer = Printer();
    if (FPrintingDirectly) FCanvas = nullptr;
    if (printer.Printing() && !printer.Aborted()) printer.Abort();
  }
}

void TPrintPreview::Clear() {
  FPages.Clear();
}

void TPrintPreview::Print() {
  PrintPages(1, TotalPages());
}

QRect TPrintPreview::GetPrinterPageRect(IPrinter& printer) const {
  // The sheet's corner is the canvas's origin: no printable-area offset.
  if (UsePrinterOptions) return QRect(QPoint(0, 0), printer.PageSizePixels());
  return QRect(0, 0, ConvertUnits(FPaperWidth, printer.DpiX(), FUnits, mmPixel),
               ConvertUnits(FPaperHeight, printer.DpiY(), FUnits, mmPixel));
}

void TPrintPreview::PrintPages(int fromPage, int toPage) {
  // A range outside the recorded pages is refused like any other call out
  // of turn, before a job starts.
  if (FState != TPreviewState::Ready || !PrinterInstalled() || TotalPages() <= 0 ||
      fromPage > toPage || fromPage < 1 || toPage > TotalPages())
    return;
  bool succeeded = false;
  FAborted = false;
  FState = TPreviewState::Printing;
  try {
    if (OnBeforePrint) OnBeforePrint(*this);
    IPrinter& printer = Printer();
    if (!UsePrinterOptions) SetPrinterOptions();
    printer.SetTitle(PrintJobTitle);
    printer.BeginDoc();
    const QRect target = GetPrinterPageRect(printer);
    const int total = toPage - fromPage + 1;
    for (int page = fromPage; page <= toPage && !FAborted; ++page) {
      DoPrintProgress(page, page - fromPage, total);
      if (FAborted) break;
      const TMetafilePage& p = FPages.Items(page - 1);
      if (FastPrint)
        PlayPage(printer.Canvas(), target, p.Picture, p.Extent);
      else
        DrawGraphic(printer.Canvas(), target, p.Picture, p.Extent);
      DoPrintProgress(page, page - fromPage + 1, total);
      if (FAborted) break;
      if (page < toPage)
        printer.NewPage();
      else
        succeeded = true;
    }
  } catch (const SilentAbort&) {
    EndPrint(false);
    return;
  } catch (...) {
    try {
      EndPrint(false);
    } catch (...) {
    }
    throw;
  }
  EndPrint(succeeded);
}

void TPrintPreview::EndPrint(bool succeeded) {
  FAborted = FAborted || !succeeded;
  IPrinter& printer = Printer();
  struct Ready {
    TPrintPreview& P;
    IPrinter& Printer;
    ~Ready() {
      Printer.SetTitle({});
      P.FState = TPreviewState::Ready;
    }
  } ready{*this, printer};
  if (!succeeded && printer.Printing()) printer.Abort();
  try {
    if (printer.Printing()) printer.EndDoc();
  } catch (...) {
    // The job did not reach its printer: the document counts as aborted,
    // and whoever waits for the end of printing still hears of it.
    FAborted = true;
    if (OnAfterPrint) OnAfterPrint(*this);
    throw;
  }
  if (OnAfterPrint) OnAfterPrint(*this);
}

void TPrintPreview::DoPrintProgress(int pageNo, int done, int total) {
  bool cancel = FAborted;
  if (!FAborted && OnPrintProgress) {
    // Percent rounded half up: 1 page of 8 is 13 %.
    const int progress = MulDiv(100, done, total);
    OnPrintProgress(*this, pageNo, progress, cancel);
  }
  if (!FAborted && cancel) Abort();
}

// ---- Printer settings and forms ---------------------------------------------

void TPrintPreview::GetPrinterOptions() {
  if (!PrinterInstalled()) return;
  const TDeviceSettings s = Printer().DeviceSettings();
  if (s.Orientation) SetOrientation(*s.Orientation == 2 ? poLandscape : poPortrait);
  if (s.PaperSize)
    SetPaperTypeByCode(*s.PaperSize);
  else
    SetPaperType(pCustom);
  if (FPaperType == pCustom && s.PaperWidth && s.PaperLength) {
    const int w = ConvertX(*s.PaperWidth, mmLoMetric, FUnits);
    const int h = ConvertY(*s.PaperLength, mmLoMetric, FUnits);
    if (FOrientation == poPortrait)
      SetPaperSize(w, h);
    else
      SetPaperSize(h, w);
  }
  if (s.FormName) FFormName = *s.FormName;
}

QSize TPrintPreview::PortraitLoMetric() const {
  // A typed paper is measured from its table row, not from its size in
  // the present unit, which may have been rounded to whole pixels.
  if (FPaperType != pCustom) return RowSize(FPaperType, mmLoMetric);
  const int w = ConvertX(FPaperWidth, FUnits, mmLoMetric);
  const int h = ConvertY(FPaperHeight, FUnits, mmLoMetric);
  return FOrientation == poPortrait ? QSize(w, h) : QSize(h, w);
}

void TPrintPreview::SetPrinterOptions() {
  if (!PrinterInstalled()) return;
  TDeviceSettings s;
  const std::string formName = FindPrinterFormName();
  if (!formName.empty()) s.FormName = formName;
  if (FPaperType == pCustom) {
    const QSize size = PortraitLoMetric();
    s.PaperSize = CustomPaperCode;
    s.PaperWidth = size.width();
    s.PaperLength = size.height();
  } else {
    s.PaperSize = PaperSizes()[FPaperType].Code;
  }
  s.Orientation = FOrientation == poPortrait ? 1 : 2;
  Printer().SetDeviceSettings(s);
}

std::string TPrintPreview::FindPrinterFormName() {
  if (!FFormName.empty()) return FFormName;
  if (PrinterInstalled()) {
    const QSize size = PortraitLoMetric();
    for (const TPrinterForm& form : Printer().Forms())
      if (form.Width / 100 == size.width() && form.Height / 100 == size.height()) {
        FFormName = form.Name;
        break;
      }
    CreateCustomFormName();
  }
  return FFormName;
}

void TPrintPreview::CreateCustomFormName() {
  if (!FOwnFormName.empty() && !SameName(FOwnFormName, FFormName))
    RemoveCustomPrinterForm(FOwnFormName);
  if (!FFormName.empty()) return;
  const QSize tenths = PortraitLoMetric();
  const int w = tenths.width() * 10, h = tenths.height() * 10;
  char name[64];
  std::snprintf(name, sizeof name, "%umm x %umm", static_cast<unsigned>(w / 100),
                static_cast<unsigned>(h / 100));
  if (AddCustomPrinterForm(name, w, h)) {
    FFormName = name;
    FOwnFormName = name;
    if (OnAutoCustomForm) OnAutoCustomForm(*this, name, TCustomFormOperation::Insert);
  }
}

bool TPrintPreview::AddCustomPrinterForm(const std::string& name, int width, int height) {
  // Hundredths of a millimetre in, thousandths to the printer.
  return Printer().AddForm({name, width * 10, height * 10});
}

void TPrintPreview::RemoveCustomPrinterForm(const std::string& name) {
  if (!Printer().DeleteForm(name)) return;
  if (SameName(FFormName, name)) FFormName.clear();
  if (SameName(FOwnFormName, name)) {
    const std::string own = FOwnFormName;
    FOwnFormName.clear();
    if (!FDestroying && OnAutoCustomForm)
      OnAutoCustomForm(*this, own, TCustomFormOperation::Remove);
  }
}

} // namespace bw
