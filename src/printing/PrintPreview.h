// The print preview: records a document as pages (or prints it straight
// away), shows one page at a time on the paper control with zoom,
// scrolling, dragging, keys and the mouse wheel, and prints a range of the
// recorded pages on the current printer. Pages are drawn by the owner
// between BeginDoc and EndDoc on Canvas(), whose unit is Units() and whose
// origin is the sheet's top-left corner.
#pragma once

#include "printing/PageStore.h"
#include "printing/PaperPreview.h"
#include "printing/PaperTable.h"
#include "printing/Units.h"

#include <QAbstractScrollArea>

#include <functional>
#include <memory>
#include <string>

class QMouseEvent;
class QPainter;
class QPicture;

namespace bw {

class IPrinter;

enum TZoomState { zsZoomOther, zsZoomToWidth, zsZoomToHeight, zsZoomToFit };
enum TPrinterOrientation { poPortrait, poLandscape };
enum class TPreviewState { Ready, Recording, Printing };
enum class TCustomFormOperation { Insert, Remove };

class TPrintPreview : public QAbstractScrollArea {
  Q_OBJECT
public:
  // Room between the sheet and the edges of the visible area, in pixels.
  static constexpr int ScrollMargin = 10;
  // One step of an arrow key or a wheel notch, in pixels.
  static constexpr int ScrollIncrement = 8;

  explicit TPrintPreview(QWidget* parent = nullptr);
  ~TPrintPreview() override;

  // ---- The document
  void BeginDoc();
  void NewPage();
  void EndDoc();
  void Abort();
  void Clear();
  // The open page's canvas; none when no page is open.
  QPainter* Canvas() const { return FCanvas; }
  int TotalPages() const;
  int CurrentPage() const { return FCurrentPage; }
  void SetCurrentPage(int page);
  void Print();
  void PrintPages(int fromPage, int toPage);
  TPreviewState State() const { return FState; }
  bool Aborted() const { return FAborted; }
  TMetafileList& Pages() { return FPages; }
  bool UseTempFile() const { return FPages.UseTempFile(); }
  void SetUseTempFile(bool value) { FPages.SetUseTempFile(value); }
  std::string PrintJobTitle;
  bool DirectPrint = false;
  // Print a page by playing its drawing (true) or through an image.
  bool FastPrint = true;
  // Paper and orientation come from the printer (true), or go to it.
  bool UsePrinterOptions = false;

  // ---- The printer
  void GetPrinterOptions();
  void SetPrinterOptions();
  static bool PrinterInstalled();
  const std::string& FormName() const { return FFormName; }
  const std::string& OwnFormName() const { return FOwnFormName; }

  // ---- Paper
  TUnits Units() const { return FUnits; }
  void SetUnits(TUnits units);
  TPaperType PaperType() const { return FPaperType; }
  void SetPaperType(TPaperType type);
  void SetPaperTypeByCode(int code);
  TPrinterOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TPrinterOrientation orientation);
  int PaperWidth() const { return FPaperWidth; }
  int PaperHeight() const { return FPaperHeight; }
  void SetPaperWidth(int width) { SetPaperSize(width, FPaperHeight); }
  void SetPaperHeight(int height) { SetPaperSize(FPaperWidth, height); }
  void SetPaperSize(int width, int height);
  // The paper in screen pixels.
  QSize PageExtent() const { return FExtent; }
  int ConvertX(int value, TUnits in, TUnits out) const;
  int ConvertY(int value, TUnits in, TUnits out) const;
  QPoint ConvertPoint(int x, int y, TUnits in, TUnits out) const;

  // ---- Zoom and view
  int Zoom() const { return FZoom; }
  void SetZoom(int zoom);
  int ZoomMin() const { return FZoomMin; }
  void SetZoomMin(int value);
  int ZoomMax() const { return FZoomMax; }
  void SetZoomMax(int value);
  TZoomState ZoomState() const { return FZoomState; }
  void SetZoomState(TZoomState state);
  bool ZoomSavePos = true;
  int ZoomStep = 10;
  bool CanDragHorizontally() const { return FCanDragH; }
  bool CanDragVertically() const { return FCanDragV; }
  bool Dragging() const { return FDragging; }
  TPaperPreview& PaperControl() { return *FPaper; }
  TPaperPreviewOptions& PaperView() { return FPaperView; }
  void SetPaperView(const TPaperPreviewOptions& options) { FPaperView.Assign(options); }
  bool Annotation() const { return FAnnotationOn; }
  void SetAnnotation(bool value);

  // ---- Events
  std::function<void(TPrintPreview&)> OnBeginDoc, OnEndDoc, OnNewPage, OnEndPage, OnAbort, OnChange,
      OnBeforePrint, OnAfterPrint, OnZoomChange;
  std::function<void(TPrintPreview&, int pageNo, int progress, bool& abortIt)> OnPrintProgress;
  std::function<void(TPrintPreview&, const std::string& formName, TCustomFormOperation)>
      OnAutoCustomForm;
  std::function<void(TPrintPreview&, int pageNo, QPainter& canvas)> OnAnnotation;
  std::function<void(TPrintPreview&)> OnClick, OnDblClick;
  // Mouse events of the paper, at the preview's own coordinates.
  std::function<void(TPrintPreview&, QMouseEvent&, QPoint)> OnMouseDown, OnMouseMove, OnMouseUp;

protected:
  virtual void UpdateAnnotation(int pageNo);
  virtual void DoPrintProgress(int pageNo, int done, int total);
  virtual void PaintPage(TPaperPreview& sender, QPainter& canvas, const QRect& pageRect);

  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  friend class TPrintPreviewTestAccess;

  void UpdateExtentPixels();
  void UpdateLayout();
  QSize CalcViewSize(QSize area);
  void PlacePaper();
  void PagesChanged();
  void PageChanged(int index);
  void PaperViewOptionsChanged();
  void PrepareCanvas(QPainter& canvas);
  void CreateMetafilePage();
  void FinishMetafilePage(bool keep);
  void EndPrint(bool succeeded);
  QRect GetPrinterPageRect(IPrinter& printer) const;
  // The paper's portrait size in tenths of a millimetre.
  QSize PortraitLoMetric() const;
  std::string FindPrinterFormName();
  void CreateCustomFormName();
  bool AddCustomPrinterForm(const std::string& name, int width, int height);
  void RemoveCustomPrinterForm(const std::string& name);
  void StepScroll(QScrollBar* bar, int delta);
  void PaperMouseDown(QMouseEvent& event);
  void PaperMouseMove(QMouseEvent& event);
  void PaperMouseUp(QMouseEvent& event);

  TPaperPreview* FPaper;
  TPaperPreviewOptions FPaperView;
  TMetafileList FPages;
  TUnits FUnits = mmHiMetric;
  TPaperType FPaperType = pA4;
  TPrinterOrientation FOrientation = poPortrait;
  int FPaperWidth = 0;
  int FPaperHeight = 0;
  QSize FExtent;
  TPreviewState FState = TPreviewState::Ready;
  bool FAborted = false;
  int FCurrentPage = 0;
  int FZoom = 100;
  int FZoomMin = 10;
  int FZoomMax = 500;
  TZoomState FZoomState = zsZoomToFit;
  bool FPrintingDirectly = false;
  int FDirectPageCount = 0;
  QPainter* FCanvas = nullptr;
  std::unique_ptr<QPicture> FPagePicture;
  std::unique_ptr<QPainter> FPagePainter;
  std::unique_ptr<QPicture> FAnnotationPicture;
  bool FAnnotationOn = false;
  QPoint FPaperPos;
  QPoint FDragPoint;
  bool FCanDragH = false;
  bool FCanDragV = false;
  bool FDragging = false;
  bool FInLayout = false;
  bool FDestroying = false;
  std::string FFormName;
  std::string FOwnFormName;
  int FWheelRemainder = 0;
};

} // namespace bw
