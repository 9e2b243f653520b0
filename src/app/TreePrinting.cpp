#include "app/TreePrinting.h"

#include "canvas/qt/QtCanvas.h"
#include "control/DecTree.h"
#include "printing/PrintPreview.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace bw {

namespace {

int Saturated(int64_t v) {
  return static_cast<int>(
      std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

TTreeFit FitTreeToPage(int pageW, int pageH, int marginsW, int marginsH, int treeW, int treeH,
                       int border) {
  TTreeFit fit;
  const int64_t availW = int64_t{pageW} - marginsW;
  const int64_t availH = int64_t{pageH} - marginsH;
  // Margins that meet or cross leave no room: a negative room would mirror
  // the tree, none would divide by zero.
  if (availW < 1 || availH < 1 || treeW < 1 || treeH < 1) return fit;
  fit.Draw = true;
  const float pageRatio = static_cast<float>(availW) / static_cast<float>(availH);
  const float treeRatio = static_cast<float>(treeW) / static_cast<float>(treeH);
  // The wider shape fills the available width; the tree starts border
  // pixels down, so check that its foot still stays above the bottom
  // margin, else fit the height.
  if (treeRatio > pageRatio && (int64_t{border} + treeH) * availW <= availH * treeW) {
    fit.Extent = treeW;
    fit.Viewport = static_cast<int>(availW);
  } else {
    fit.Extent = treeH + 20;
    fit.Viewport = static_cast<int>(availH);
  }
  return fit;
}

void PrintTreeTo(TPrintPreview& preview, TDecTree& tree, const TPageMargins& margins,
                 bool showMargins, bool metric) {
  preview.BeginDoc();
  QPainter* page = preview.Canvas();
  if (!page) return;
  try {
    const TUnits units = metric ? mmHiMetric : mmHiEnglish;
    const int ml = preview.ConvertX(margins.Left, units, mmPixel);
    const int mt = preview.ConvertY(margins.Top, units, mmPixel);
    const int mr = preview.ConvertX(margins.Right, units, mmPixel);
    const int mb = preview.ConvertY(margins.Bottom, units, mmPixel);
    // The sums are converted as sums, as the page-setup dialog shows them.
    const int mw = preview.ConvertX(Saturated(HorizontalMargins(margins)), units, mmPixel);
    const int mh = preview.ConvertY(Saturated(VerticalMargins(margins)), units, mmPixel);
    const int pageW = preview.PaperWidth(), pageH = preview.PaperHeight();
    {
      TQtCanvas canvas(*page);
      if (showMargins) {
        canvas.Pen = {colors::Grey, 1, TPenStyle::Dash};
        const int right = pageW - mr, bottom = pageH - mb;
        canvas.MoveTo(ml, 0);
        canvas.LineTo(ml, pageH);
        canvas.MoveTo(right, 0);
        canvas.LineTo(right, pageH);
        canvas.MoveTo(0, mt);
        canvas.LineTo(pageW, mt);
        canvas.MoveTo(0, bottom);
        canvas.LineTo(pageW, bottom);
        canvas.Pen = {colors::Black, 1, TPenStyle::Solid};
      }
    }
    const TNodeRect& bounds = tree.TreeRoot()->Bounds;
    const TTreeFit fit =
        FitTreeToPage(pageW, pageH, mw, mh, bounds.Width, bounds.Height, tree.BorderSize);
    if (fit.Draw) {
      page->save();
      page->translate(ml, mt);
      const double scale = static_cast<double>(fit.Viewport) / fit.Extent;
      page->scale(scale, scale);
      {
        TQtCanvas canvas(*page);
        tree.PaintTo(canvas, false);
      }
      page->restore();
    }
  } catch (...) {
    // The preview takes the next document only when this one is closed.
    preview.Abort();
    throw;
  }
  preview.EndDoc();
}

} // namespace bw
