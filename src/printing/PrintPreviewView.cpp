// The print preview's view: zoom, layout of the sheet in the scrolling
// area, painting of the shown page, keys, wheel and dragging.
#include "printing/PrintPreview.h"

#include "foundation/ErrorReport.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace bw {

// ---- Zoom ---------------------------------------------------------------------

void TPrintPreview::SetZoom(int zoom) {
  zoom = std::clamp(zoom, FZoomMin, FZoomMax);
  if (zoom == FZoom && FZoomState == zsZoomOther) return;
  const int old = FZoom;
  FZoom = zoom;
  FZoomState = zsZoomOther;
  UpdateLayout();
  if (FPages.Count() > 0 && !FPaper->SurfaceSized()) {
    // The sheet is too large for memory at this zoom: back to the last one.
    FZoom = old;
    UpdateLayout();
    return;
  }
  if (OnZoomChange) OnZoomChange(*this);
}

void TPrintPreview::SetZoomMin(int value) {
  if (value == FZoomMin || value < 1 || value > FZoomMax) return;
  FZoomMin = value;
  if (FZoomState == zsZoomOther && FZoom < value) SetZoom(value);
}

void TPrintPreview::SetZoomMax(int value) {
  if (value == FZoomMax || value < FZoomMin) return;
  FZoomMax = value;
  if (FZoom > value) SetZoom(value);
}

void TPrintPreview::SetZoomState(TZoomState state) {
  if (state == FZoomState) return;
  FZoomState = state;
  UpdateLayout();
}

// The paper control for an area: the paper plus twice its border and once
// its shadow. Sizes are rounded to the nearest pixel.
QSize TPrintPreview::CalcViewSize(QSize area) {
  const int k = 2 * FPaper->BorderSize() + FPaper->ShadowSize();
  const int ew = std::max(FExtent.width(), 1), eh = std::max(FExtent.height(), 1);
  int pw = 0, ph = 0;
  TZoomState state = FZoomState;
  if (state == zsZoomToFit) {
    // Compare the room for the paper, frame taken off, with the paper's
    // shape: the whole control then fits, with no scroll bar.
    const int64_t roomW = area.width() - k, roomH = area.height() - k;
    state = roomH * ew <= roomW * eh ? zsZoomToHeight : zsZoomToWidth;
  }
  switch (state) {
  case zsZoomOther:
    pw = MulDiv(ew, FZoom, 100);
    ph = MulDiv(eh, FZoom, 100);
    break;
  case zsZoomToWidth:
    pw = area.width() - k;
    ph = MulDiv(pw, eh, ew);
    break;
  case zsZoomToHeight:
  case zsZoomToFit:
    ph = area.height() - k;
    pw = MulDiv(ph, ew, eh);
    break;
  }
  pw = std::max(pw, 1);
  ph = std::max(ph, 1);
  if (FZoomState != zsZoomOther) FZoom = MulDiv(ph, 100, eh);
  return {pw + k, ph + k};
}

void TPrintPreview::UpdateLayout() {
  if (FInLayout || FPages.Count() == 0) return;
  FInLayout = true;
  struct Leave {
    bool& Flag;
    ~Leave() { Flag = false; }
  } leave{FInLayout};

  QScrollBar* hbar = horizontalScrollBar();
  QScrollBar* vbar = verticalScrollBar();
  const int oldZoom = FZoom;
  // The client area without scroll bars, less the margins on both sides.
  const QSize client = contentsRect().size();
  QSize area(client.width() - 2 * ScrollMargin, client.height() - 2 * ScrollMargin);

  // Scroll positions as percentages of what can be scrolled; nothing to
  // scroll keeps 0 (no division by zero).
  int percentH = 0, percentV = 0;
  const bool keep = ZoomSavePos && FCurrentPage > 0;
  if (keep) {
    if (hbar->maximum() > 0) percentH = std::max(0, MulDiv(hbar->value(), 100, hbar->maximum()));
    if (vbar->maximum() > 0) percentV = std::max(0, MulDiv(vbar->value(), 100, vbar->maximum()));
  }

  QSize view = CalcViewSize(area);
  FCanDragH = view.width() > area.width();
  FCanDragV = view.height() > area.height();
  const int barH = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hbar);
  const int barV = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, vbar);
  if (FCanDragH) {
    area.rheight() -= barH;
    FCanDragV = view.height() > area.height();
    if (FCanDragV) area.rwidth() -= barV;
    view = CalcViewSize(area);
  } else if (FCanDragV) {
    area.rwidth() -= barV;
    FCanDragH = view.width() > area.width();
    if (FCanDragH) area.rheight() -= barH;
    view = CalcViewSize(area);
  }
  // The second size may fit where the first did not: no scroll bar then.
  FCanDragH = view.width() > area.width();
  FCanDragV = view.height() > area.height();

  const int left = ScrollMargin + (FCanDragH ? 0 : (area.width() - view.width()) / 2);
  const int top = ScrollMargin + (FCanDragV ? 0 : (area.height() - view.height()) / 2);
  FPaperPos = QPoint(left, top);
  setHorizontalScrollBarPolicy(FCanDragH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(FCanDragV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  const int viewportW = client.width() - (FCanDragV ? barV : 0);
  const int viewportH = client.height() - (FCanDragH ? barH : 0);
  const int rangeH = FCanDragH ? std::max(0, view.width() + 2 * ScrollMargin - viewportW) : 0;
  const int rangeV = FCanDragV ? std::max(0, view.height() + 2 * ScrollMargin - viewportH) : 0;
  {
    const QSignalBlocker blockH(hbar), blockV(vbar);
    hbar->setRange(0, rangeH);
    vbar->setRange(0, rangeV);
    hbar->setPageStep(std::max(viewportW, 1));
    vbar->setPageStep(std::max(viewportH, 1));
    hbar->setValue(keep && FCanDragH ? MulDiv(percentH, rangeH, 100) : 0);
    vbar->setValue(keep && FCanDragV ? MulDiv(percentV, rangeV, 100) : 0);
  }
  FPaper->SetBounds(QRect(FPaperPos - QPoint(hbar->value(), vbar->value()), view));

  FDragging = false;
  FPaper->SetCursorNumber(FCanDragH || FCanDragV ? FPaperView.DragCursor() : FPaperView.Cursor());
  if (FZoom != oldZoom && OnZoomChange) OnZoomChange(*this);
}

void TPrintPreview::PlacePaper() {
  FPaper->move(FPaperPos - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
}

void TPrintPreview::scrollContentsBy(int, int) {
  PlacePaper();
}

void TPrintPreview::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Guarded([this] { UpdateLayout(); });
}

void TPrintPreview::PaperViewOptionsChanged() {
  FPaperView.AssignTo(*FPaper);
  UpdateLayout();
}

// ---- Pages --------------------------------------------------------------------

void TPrintPreview::PagesChanged() {
  if (FPages.Count() == 0) {
    FCurrentPage = 0;
    FPaper->hide();
  } else if (FCurrentPage == 0) {
    UpdateLayout();
    SetCurrentPage(1);
    FPaper->show();
  }
  UpdateAnnotation(FCurrentPage);
  FPaper->InvalidatePage();
  if (OnChange) OnChange(*this);
}

void TPrintPreview::PageChanged(int index) {
  if (index + 1 == FCurrentPage) {
    UpdateAnnotation(FCurrentPage);
    FPaper->InvalidatePage();
  }
  if (OnChange) OnChange(*this);
}

void TPrintPreview::SetCurrentPage(int page) {
  if (TotalPages() <= 0) return;
  page = std::clamp(page, 1, TotalPages());
  if (page == FCurrentPage) return;
  FCurrentPage = page;
  UpdateAnnotation(page);
  FPaper->InvalidatePage();
  if (OnChange) OnChange(*this);
}

void TPrintPreview::PaintPage(TPaperPreview&, QPainter& canvas, const QRect& pageRect) {
  if (FCurrentPage < 1 || FCurrentPage > FPages.Count()) return;
  const TMetafilePage& page = FPages.Items(FCurrentPage - 1);
  PlayPage(canvas, pageRect, page.Picture, page.Extent);
  if (FAnnotationPicture) PlayPage(canvas, pageRect, *FAnnotationPicture, FExtent);
}

void TPrintPreview::UpdateAnnotation(int pageNo) {
  FAnnotationPicture.reset();
  if (!FAnnotationOn || pageNo <= 0 || !OnAnnotation) return;
  auto picture = std::make_unique<QPicture>();
  {
    QPainter painter;
    if (!painter.begin(picture.get()))
      throw OutOfMemoryError("Not enough memory to create a new page");
    PrepareCanvas(painter);
    OnAnnotation(*this, pageNo, painter);
  }
  FAnnotationPicture = std::move(picture);
}

void TPrintPreview::SetAnnotation(bool value) {
  if (value == FAnnotationOn) return;
  FAnnotationOn = value;
  UpdateAnnotation(FCurrentPage);
  FPaper->InvalidatePage();
}

// ---- Keys, wheel and mouse ----------------------------------------------------

void TPrintPreview::StepScroll(QScrollBar* bar, int delta) {
  bar->setValue(bar->value() + delta);
}

void TPrintPreview::keyPressEvent(QKeyEvent* event) {
  bool handled = false;
  Guarded([&] {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool none = mods == Qt::NoModifier, shift = mods == Qt::ShiftModifier,
               ctrl = mods == Qt::ControlModifier;
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const int clientW = viewport()->width(), clientH = viewport()->height();
    handled = true;
    switch (event->key()) {
    case Qt::Key_Home:
      if (none)
        h->setValue(0);
      else if (ctrl)
        v->setValue(0);
      else
        handled = false;
      break;
    case Qt::Key_End:
      if (none)
        h->setValue(h->maximum());
      else if (ctrl)
        v->setValue(v->maximum());
      else
        handled = false;
      break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
      const bool horizontal = event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
      const int sign = event->key() == Qt::Key_Left || event->key() == Qt::Key_Up ? -1 : 1;
      const int page = horizontal ? clientW : clientH;
      if (none || shift || ctrl)
        StepScroll(horizontal ? h : v, sign * (none ? ScrollIncrement : shift ? 1 : page));
      else
        handled = false;
      break;
    }
    case Qt::Key_PageUp:
      if (none)
        SetCurrentPage(FCurrentPage - 1);
      else if (ctrl)
        SetCurrentPage(1);
      else
        handled = false;
      break;
    case Qt::Key_PageDown:
      if (none)
        SetCurrentPage(FCurrentPage + 1);
      else if (ctrl)
        SetCurrentPage(TotalPages());
      else
        handled = false;
      break;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
      // Only the numeric pad's keys zoom.
      if (none && event->modifiers().testFlag(Qt::KeypadModifier))
        SetZoom(FZoom + (event->key() == Qt::Key_Plus ? ZoomStep : -ZoomStep));
      else
        handled = false;
      break;
    default:
      handled = false;
    }
  });
  if (handled)
    event->accept();
  else
    QAbstractScrollArea::keyPressEvent(event);
}

void TPrintPreview::wheelEvent(QWheelEvent* event) {
  Guarded([&] {
    if (!rect().contains(mapFromGlobal(event->globalPosition().toPoint()))) {
      event->ignore();
      return;
    }
    event->accept();
    FWheelRemainder += event->angleDelta().y();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool middle = event->buttons().testFlag(Qt::MiddleButton);
    while (std::abs(FWheelRemainder) >= 120) {
      const int sign = FWheelRemainder > 0 ? 1 : -1;
      FWheelRemainder -= sign * 120;
      // Away from the user (a positive delta) goes up, back or closer.
      if (mods == Qt::NoModifier && !middle)
        StepScroll(verticalScrollBar(), -sign * ScrollIncrement);
      else if ((mods == Qt::ShiftModifier && !middle) || (mods == Qt::NoModifier && middle))
        SetCurrentPage(FCurrentPage - sign);
      else if (mods == Qt::ControlModifier && !middle)
        SetZoom(FZoom + sign * ZoomStep);
      else
        event->ignore();
    }
  });
}

void TPrintPreview::PaperMouseDown(QMouseEvent& event) {
  if (!hasFocus() && focusPolicy() != Qt::NoFocus && isEnabled()) setFocus();
  if (event.button() == Qt::LeftButton && (FCanDragH || FCanDragV)) {
    FDragging = true;
    FPaper->SetCursorNumber(FPaperView.GrabCursor());
  }
  FDragPoint = event.position().toPoint();
  if (OnMouseDown) OnMouseDown(*this, event, FPaper->mapTo(this, event.position().toPoint()));
}

void TPrintPreview::PaperMouseMove(QMouseEvent& event) {
  const QPoint at = event.position().toPoint();
  if (OnMouseMove) OnMouseMove(*this, event, FPaper->mapTo(this, at));
  if (!event.buttons().testFlag(Qt::LeftButton)) return;
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  const QSize client = viewport()->size();
  if (FCanDragH) {
    const int dx = at.x() - FDragPoint.x();
    if (h->isVisible() && h->maximum() > 0) {
      h->setValue(h->value() - dx);
    } else {
      const int lowest = client.width() - ScrollMargin - FPaper->width();
      FPaperPos.rx() = std::min(std::max(FPaperPos.x() + dx, lowest), ScrollMargin);
      PlacePaper();
    }
  }
  if (FCanDragV) {
    const int dy = at.y() - FDragPoint.y();
    if (v->isVisible() && v->maximum() > 0) {
      v->setValue(v->value() - dy);
    } else {
      const int lowest = client.height() - ScrollMargin - FPaper->height();
      FPaperPos.ry() = std::min(std::max(FPaperPos.y() + dy, lowest), ScrollMargin);
      PlacePaper();
    }
  }
}

void TPrintPreview::PaperMouseUp(QMouseEvent& event) {
  if (OnMouseUp) OnMouseUp(*this, event, FPaper->mapTo(this, event.position().toPoint()));
  if (FDragging) {
    FDragging = false;
    FPaper->SetCursorNumber(FPaperView.DragCursor());
  }
}

} // namespace bw
