#include "printing/PaperPreview.h"

#include "foundation/ErrorReport.h"
#include "printing/PageStore.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>
#include <QPicture>

#include <algorithm>

namespace bw {

QCursor CursorFromNumber(int number) {
  switch (number) {
  case crHand:
    return QCursor(Qt::OpenHandCursor);
  case crGrab:
    return QCursor(Qt::ClosedHandCursor);
  default:
    return QCursor(Qt::ArrowCursor);
  }
}

QColor DefaultShadowColor() {
  return QGuiApplication::palette().color(QPalette::Dark);
}

// ---- TPaperPreview ----------------------------------------------------------

TPaperPreview::TPaperPreview(QWidget* parent)
    : QWidget(parent), FShadowColor(DefaultShadowColor()),
      FColor(QGuiApplication::palette().color(QPalette::Window)) {
  // Every pixel comes from the off-screen image: Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  SetPaperSize({105, 148});
}

int TPaperPreview::PaperWidth() const {
  return width() - FrameWidth();
}

int TPaperPreview::PaperHeight() const {
  return height() - FrameWidth();
}

void TPaperPreview::SetPaperWidth(int value) {
  SetPaperSize({value, PaperHeight()});
}

void TPaperPreview::SetPaperHeight(int value) {
  SetPaperSize({PaperWidth(), value});
}

void TPaperPreview::SetPaperSize(const QSize& size) {
  SetBounds(QRect(pos(), QSize(size.width() + FrameWidth(), size.height() + FrameWidth())));
}

void TPaperPreview::SetBounds(const QRect& bounds) {
  setGeometry(bounds);
  // A hidden widget gets its resize event only when shown: size the image
  // now all the same.
  if (FSurface.size() != size() || !FSurfaceSized) SizeSurface();
}

void TPaperPreview::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Guarded([this] {
    if (FSurface.size() != size() || !FSurfaceSized) SizeSurface();
  });
}

void TPaperPreview::SizeSurface() {
  const qint64 pixels = qint64{width()} * height();
  FSurface = QImage();
  if (MaxSurfacePixels > 0 && pixels > MaxSurfacePixels) {
    FSurfaceSized = false;
  } else {
    FSurface = QImage(size(), QImage::Format_RGB32);
    // Qt answers a size the memory cannot take with a null image.
    FSurfaceSized = !FSurface.isNull() || pixels == 0;
  }
  FFrameDrawn = false;
  FPageDrawn = false;
  update();
  if (OnResize) OnResize(*this);
}

void TPaperPreview::InvalidateFrame() {
  FFrameDrawn = false;
  InvalidatePage();
}

void TPaperPreview::InvalidatePage() {
  FPageDrawn = false;
  update();
}

void TPaperPreview::SetPaperColor(const QColor& color) {
  if (color == FPaperColor) return;
  FPaperColor = color;
  InvalidateFrame();
}

void TPaperPreview::SetBorderColor(const QColor& color) {
  if (color == FBorderColor) return;
  FBorderColor = color;
  InvalidateFrame();
}

void TPaperPreview::SetShadowColor(const QColor& color) {
  if (color == FShadowColor) return;
  FShadowColor = color;
  InvalidateFrame();
}

void TPaperPreview::SetColor(const QColor& color) {
  if (color == FColor) return;
  FColor = color;
  InvalidateFrame();
}

void TPaperPreview::SetBorderSize(int value) {
  value = std::max(value, 0);
  if (value == FBorderSize) return;
  const QSize paper = PaperSize();
  FBorderSize = value;
  SetPaperSize(paper);
  InvalidateFrame();
}

void TPaperPreview::SetShadowSize(int value) {
  value = std::max(value, 0);
  if (value == FShadowSize) return;
  const QSize paper = PaperSize();
  FShadowSize = value;
  SetPaperSize(paper);
  InvalidateFrame();
}

void TPaperPreview::SetCursorNumber(int number) {
  FCursorNumber = number;
  setCursor(CursorFromNumber(number));
}

QRect TPaperPreview::PageRect() const {
  const int b = FBorderSize, s = FShadowSize;
  return QRect(QPoint(b, b), QPoint(width() - (b + s) - 1, height() - (b + s) - 1));
}

void TPaperPreview::DrawFrame() {
  QPainter painter(&FSurface);
  const int w = width(), h = height(), b = FBorderSize, s = FShadowSize;
  if (b > 0) {
    // A border of width b inside the rectangle (0, 0, w - s, h - s).
    const int fw = w - s, fh = h - s;
    painter.fillRect(0, 0, fw, std::min(b, fh), FBorderColor);
    painter.fillRect(0, std::max(fh - b, 0), fw, std::min(b, fh), FBorderColor);
    painter.fillRect(0, 0, std::min(b, fw), fh, FBorderColor);
    painter.fillRect(std::max(fw - b, 0), 0, std::min(b, fw), fh, FBorderColor);
  }
  if (s > 0) {
    // The shadow right and below, starting s pixels in from the top and
    // the left; the two corners it leaves show the control's own colour.
    painter.fillRect(QRect(QPoint(w - s, s), QPoint(w - 1, h - 1)), FShadowColor);
    painter.fillRect(QRect(QPoint(s, h - s), QPoint(w - 1, h - 1)), FShadowColor);
    painter.fillRect(QRect(QPoint(w - s, 0), QPoint(w - 1, s - 1)), FColor);
    painter.fillRect(QRect(QPoint(0, h - s), QPoint(s - 1, h - 1)), FColor);
  }
}

void TPaperPreview::Render() {
  if (!FSurfaceSized || FSurface.isNull()) return;
  if (!FFrameDrawn) {
    DrawFrame();
    FFrameDrawn = true;
    FPageDrawn = false;
  }
  if (!FPageDrawn) {
    const QRect r = PageRect();
    QPainter painter(&FSurface);
    painter.setClipRect(r);
    painter.fillRect(r, FPaperColor);
    if (OnPaint && r.isValid()) OnPaint(*this, painter, r);
    FPageDrawn = true;
  }
}

const QImage& TPaperPreview::Surface() {
  Render();
  return FSurface;
}

void TPaperPreview::paintEvent(QPaintEvent*) {
  Guarded([this] {
    if (!FSurfaceSized) return;
    Render();
    QPainter painter(this);
    painter.drawImage(0, 0, FSurface);
  });
}

void TPaperPreview::mousePressEvent(QMouseEvent* event) {
  Guarded([&] {
    FPressed = event->button() == Qt::LeftButton;
    if (OnMouseDown) OnMouseDown(*this, *event);
  });
}

void TPaperPreview::mouseMoveEvent(QMouseEvent* event) {
  Guarded([&] {
    if (OnMouseMove) OnMouseMove(*this, *event);
  });
}

void TPaperPreview::mouseReleaseEvent(QMouseEvent* event) {
  Guarded([&] {
    const bool click = FPressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    FPressed = false;
    if (OnMouseUp) OnMouseUp(*this, *event);
    if (click && OnClick) OnClick(*this);
  });
}

void TPaperPreview::mouseDoubleClickEvent(QMouseEvent* event) {
  Guarded([&] {
    if (OnMouseDown) OnMouseDown(*this, *event);
    if (OnDblClick) OnDblClick(*this);
  });
}

void TPaperPreview::contextMenuEvent(QContextMenuEvent* event) {
  if (FPopupMenu)
    FPopupMenu->popup(event->globalPos());
  else
    event->ignore();
}

// ---- TPaperPreviewOptions ---------------------------------------------------

TPaperPreviewOptions::TPaperPreviewOptions() : FShadowColor(DefaultShadowColor()) {}

template <typename T>
void TPaperPreviewOptions::Set(T& field, const T& value) {
  if (field == value) return;
  field = value;
  if (OnChange) OnChange(*this);
}

void TPaperPreviewOptions::SetPaperColor(const QColor& value) {
  Set(FPaperColor, value);
}
void TPaperPreviewOptions::SetBorderColor(const QColor& value) {
  Set(FBorderColor, value);
}
void TPaperPreviewOptions::SetBorderWidth(int value) {
  Set(FBorderWidth, std::max(value, 0));
}
void TPaperPreviewOptions::SetShadowColor(const QColor& value) {
  Set(FShadowColor, value);
}
void TPaperPreviewOptions::SetShadowWidth(int value) {
  Set(FShadowWidth, std::max(value, 0));
}
void TPaperPreviewOptions::SetCursor(int value) {
  Set(FCursor, value);
}
void TPaperPreviewOptions::SetDragCursor(int value) {
  Set(FDragCursor, value);
}
void TPaperPreviewOptions::SetGrabCursor(int value) {
  Set(FGrabCursor, value);
}
void TPaperPreviewOptions::SetPopupMenu(QMenu* value) {
  if (FPopupMenu == value) return;
  FPopupMenu = value;
  if (OnChange) OnChange(*this);
}

void TPaperPreviewOptions::Assign(const TPaperPreviewOptions& source) {
  SetBorderColor(source.BorderColor());
  SetBorderWidth(source.BorderWidth());
  SetCursor(source.Cursor());
  SetDragCursor(source.DragCursor());
  SetGrabCursor(source.GrabCursor());
  SetPaperColor(source.PaperColor());
  SetPopupMenu(source.PopupMenu());
  SetShadowColor(source.ShadowColor());
  SetShadowWidth(source.ShadowWidth());
}

void TPaperPreviewOptions::AssignTo(TPaperPreview& paper) const {
  paper.SetPaperColor(FPaperColor);
  paper.SetBorderColor(FBorderColor);
  paper.SetBorderSize(FBorderWidth);
  paper.SetShadowColor(FShadowColor);
  paper.SetShadowSize(FShadowWidth);
  paper.SetCursorNumber(FCursor);
  paper.SetPopupMenu(FPopupMenu);
}

// ---- Drawing pages ----------------------------------------------------------

void DrawBitmapAsDIB(QPainter& painter, const QRect& target, const QImage& image) {
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, image);
  painter.restore();
}

void PlayPage(QPainter& painter, const QRect& target, const QPicture& picture,
              const QSize& extent) {
  if (extent.width() <= 0 || extent.height() <= 0 || target.isEmpty()) return;
  const QPaintDevice* device = painter.device();
  // Playing a picture scales it by the device's resolution over the one it
  // was recorded at; the page is to fill the target, whatever the device.
  const double dpiX = device && device->logicalDpiX() > 0 ? device->logicalDpiX() : 96;
  const double dpiY = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
  painter.save();
  painter.translate(target.topLeft());
  painter.scale(double(target.width()) / extent.width() * picture.logicalDpiX() / dpiX,
                double(target.height()) / extent.height() * picture.logicalDpiY() / dpiY);
  painter.drawPicture(0, 0, picture);
  painter.restore();
}

void DrawGraphic(QPainter& painter, const QRect& target, const QPicture& picture,
                 const QSize& extent) {
  if (extent.width() <= 0 || extent.height() <= 0) return;
  QImage image(extent, QImage::Format_RGB32);
  if (image.isNull()) throw OutOfMemoryError("Not enough memory to draw the page");
  image.fill(Qt::white);
  {
    QPainter imagePainter(&image);
    PlayPage(imagePainter, QRect(QPoint(0, 0), extent), picture, extent);
  }
  DrawBitmapAsDIB(painter, target, image);
}

} // namespace bw
