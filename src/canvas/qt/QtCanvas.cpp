#include "canvas/qt/QtCanvas.h"

#include "canvas/TextWidthTable.h"

#include "foundation/Assert.h"
#include "foundation/Conversions.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

namespace bw {

namespace {

// Beyond this many fonts the measurer starts afresh, like the widths.
constexpr size_t MaxFonts = 64;

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor ToQColor(const TColor& c) {
  return QColor(c.R, c.G, c.B);
}

QFont MakeFont(const TFontSpec& spec, double referenceDpi, const QPaintDevice* device) {
  // The family asked for stays; fontconfig substitutes when it is absent.
  QFont font(ToQString(spec.Name));
  const int points = std::max(spec.Size, 1);
  if (referenceDpi > 0 && device->logicalDpiY() > 0)
    // Resolved at the device's DPI this gives points * referenceDpi / 72
    // device pixels, with the fraction a screen font of that size has.
    font.setPointSizeF(points * referenceDpi / device->logicalDpiY());
  else
    font.setPointSize(points);
  font.setBold(spec.Style & fsBold);
  font.setItalic(spec.Style & fsItalic);
  font.setUnderline(spec.Style & fsUnderline);
  font.setStrikeOut(spec.Style & fsStrikeOut);
  return font;
}

// A Left-Top-Right-Bottom rectangle with the corners in order.
QRect ToQRect(int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  return QRect(left, top, right - left, bottom - top);
}

// The path of an outline whose 1-pixel pen covers exactly the pixels
// left .. right - 1 and top .. bottom - 1: half a pixel inside the edges.
// In vector output the stroke then lies exactly on the filled area.
QRectF OutlinePath(const QRect& r) {
  return QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, r.height() - 1);
}

} // namespace

// ---------------------------------------------------------------------------
// TQtTextMeasurer

struct TQtTextMeasurer::TFontEntry {
  TFontEntry(const TFontSpec& spec, QFont font, const QPaintDevice* device)
      : Spec(spec), Font(std::move(font)), Metrics(Font, device), Height(Metrics.height()),
        Ascent(Metrics.ascent()) {}

  TFontSpec Spec;
  QFont Font;
  QFontMetrics Metrics;
  int Height;
  int Ascent;
  TTextWidthTable Widths;
};

TQtTextMeasurer::TQtTextMeasurer(const QPaintDevice* device, double fontReferenceDpi,
                                 size_t capacity)
    : Device_(device), FontReferenceDpi_(fontReferenceDpi),
      Capacity(std::max<size_t>(capacity, 1)) {
  BW_ASSERT(device != nullptr);
}

TQtTextMeasurer::~TQtTextMeasurer() = default;

void TQtTextMeasurer::Clear() {
  Last = nullptr;
  Fonts.clear();
  Cached = 0;
}

TQtTextMeasurer::TFontEntry& TQtTextMeasurer::Entry(const TFontSpec& spec) {
  // The painter sets the same font for every node: compare with the last
  // one before searching.
  if (Last && Last->Spec == spec) return *Last;
  for (auto& entry : Fonts)
    if (entry->Spec == spec) return *(Last = entry.get());
  if (Fonts.size() >= MaxFonts) Clear();
  Fonts.push_back(
      std::make_unique<TFontEntry>(spec, MakeFont(spec, FontReferenceDpi_, Device_), Device_));
  return *(Last = Fonts.back().get());
}

const QFont& TQtTextMeasurer::Font(const TFontSpec& spec) {
  return Entry(spec).Font;
}

int TQtTextMeasurer::TextWidth(const TFontSpec& spec, std::string_view text) {
  TFontEntry* entry = &Entry(spec);
  if (int known; entry->Widths.Find(text, known)) return known;
  const int width = entry->Metrics.horizontalAdvance(ToQString(text));
  if (Cached >= Capacity) {
    for (auto& font : Fonts)
      font->Widths.Clear();
    Cached = 0;
  }
  entry->Widths.Insert(text, width);
  ++Cached;
  return width;
}

int TQtTextMeasurer::TextHeight(const TFontSpec& spec) {
  return Entry(spec).Height;
}

int TQtTextMeasurer::Ascent(const TFontSpec& spec) {
  return Entry(spec).Ascent;
}

// ---------------------------------------------------------------------------
// TQtMeasureCanvas

TQtMeasureCanvas::TQtMeasureCanvas(const QPaintDevice* device, double fontReferenceDpi,
                                   size_t capacity)
    : Measurer_(device, fontReferenceDpi, capacity) {}

int TQtMeasureCanvas::TextWidth(std::string_view text) {
  return Measurer_.TextWidth(Font.Spec, text);
}

int TQtMeasureCanvas::TextHeight(std::string_view) {
  return Measurer_.TextHeight(Font.Spec);
}

// ---------------------------------------------------------------------------
// TQtCanvas

namespace {
TQtTextMeasurer* OwnMeasurerFor(QPainter& painter, const TQtCanvasOptions& options) {
  BW_ASSERT(painter.isActive());
  if (options.Measurer) return nullptr;
  return new TQtTextMeasurer(painter.device(), options.FontReferenceDpi);
}
} // namespace

TQtCanvas::TQtCanvas(QPainter& painter, const TQtCanvasOptions& options)
    : Painter(painter), OwnMeasurer(OwnMeasurerFor(painter, options)),
      Measurer(options.Measurer ? *options.Measurer : *OwnMeasurer) {
  Painter.save();
  Painter.setRenderHint(QPainter::Antialiasing, false);
  Painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

TQtCanvas::~TQtCanvas() {
  Painter.restore();
}

int TQtCanvas::TextWidth(std::string_view text) {
  return Measurer.TextWidth(Font.Spec, text);
}

int TQtCanvas::TextHeight(std::string_view) {
  return Measurer.TextHeight(Font.Spec);
}

void TQtCanvas::Fill(const QRect& r, const TColor& color) {
  // A rectangle without outline covers exactly the pixels fillRect does;
  // unlike fillRect it changes no more state than it needs, which keeps
  // recorded pages (pictures, PDF) small.
  if (Painter.pen().style() != Qt::NoPen) Painter.setPen(Qt::NoPen);
  const QColor c = ToQColor(color);
  if (Painter.brush().style() != Qt::SolidPattern || Painter.brush().color() != c)
    Painter.setBrush(c);
  Painter.drawRect(r);
}

// False for a clear pen, which draws nothing.
bool TQtCanvas::ApplyPen() {
  if (Pen.Style == TPenStyle::Clear || Pen.Width <= 0) {
    if (Painter.pen().style() != Qt::NoPen) Painter.setPen(Qt::NoPen);
    return false;
  }
  Qt::PenStyle style = Qt::SolidLine;
  if (Pen.Style == TPenStyle::Dot) style = Qt::DotLine;
  if (Pen.Style == TPenStyle::Dash) style = Qt::DashLine;
  // A thin line ends before its last point, as the tree's coordinates assume;
  // thick ones get round ends and corners.
  const bool thin = Pen.Width <= 1;
  QPen pen(ToQColor(Pen.Color), Pen.Width, style, thin ? Qt::FlatCap : Qt::RoundCap,
           thin ? Qt::MiterJoin : Qt::RoundJoin);
  pen.setCosmetic(false);
  // Only a change is handed on: a recorded page keeps one pen per change.
  if (Painter.pen() != pen) Painter.setPen(pen);
  return true;
}

void TQtCanvas::ApplyBrush() {
  if (Brush.Style == TBrushStyle::Clear)
    Painter.setBrush(Qt::NoBrush);
  else
    Painter.setBrush(ToQColor(Brush.Color));
}

void TQtCanvas::MoveTo(int x, int y) {
  Position = {x, y};
}

void TQtCanvas::LineTo(int x, int y) {
  if (ApplyPen()) Painter.drawLine(QPoint(Position.X, Position.Y), QPoint(x, y));
  Position = {x, y};
}

void TQtCanvas::Rectangle(int left, int top, int right, int bottom) {
  const QRect r = ToQRect(left, top, right, bottom);
  if (r.isEmpty()) return;
  if (Brush.Style != TBrushStyle::Clear) Fill(r, Brush.Color);
  if (ApplyPen()) {
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRect(OutlinePath(r));
  }
}

void TQtCanvas::Ellipse(int left, int top, int right, int bottom) {
  const QRect r = ToQRect(left, top, right, bottom);
  if (r.isEmpty()) return;
  ApplyPen();
  ApplyBrush();
  Painter.drawEllipse(OutlinePath(r));
}

void TQtCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  QPolygon polygon(static_cast<qsizetype>(points.size()));
  for (size_t i = 0; i < points.size(); ++i)
    polygon.setPoint(static_cast<int>(i), points[i].X, points[i].Y);
  ApplyPen();
  ApplyBrush();
  Painter.drawPolygon(polygon, Qt::OddEvenFill);
}

void TQtCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == TBrushStyle::Clear) return;
  Fill(ToQRect(rect.Left, rect.Top, rect.Right, rect.Bottom), Brush.Color);
}

void TQtCanvas::DrawText(int x, int y, std::string_view text) {
  const QFont& font = Measurer.Font(Font.Spec);
  if (Painter.font() != font) Painter.setFont(font);
  const QColor color = ToQColor(Font.Color);
  const QPen& pen = Painter.pen();
  if (pen.style() != Qt::SolidLine || pen.color() != color || pen.widthF() != 1 ||
      pen.brush().style() != Qt::SolidPattern)
    Painter.setPen(color);
  // Qt places text by its baseline.
  Painter.drawText(QPoint(x, y + Measurer.Ascent(Font.Spec)), ToQString(text));
}

void TQtCanvas::TextOut(int x, int y, std::string_view text) {
  if (Brush.Style != TBrushStyle::Clear)
    Fill(QRect(x, y, TextWidth(text), TextHeight(text)), Brush.Color);
  DrawText(x, y, text);
}

void TQtCanvas::TextRect(const TRect& clip, int x, int y, std::string_view text) {
  const QRect r = ToQRect(clip.Left, clip.Top, clip.Right, clip.Bottom);
  if (Brush.Style != TBrushStyle::Clear) Fill(r, Brush.Color);
  Painter.save();
  Painter.setClipRect(r, Qt::IntersectClip);
  DrawText(x, y, text);
  Painter.restore();
}

void TQtCanvas::Draw(int x, int y, const TGlyph& glyph) {
  if (glyph.Width <= 0 || glyph.Height <= 0) return;
  Painter.drawImage(QRect(x, y, glyph.Width, glyph.Height), GlyphToImage(glyph));
}

TRect TQtCanvas::PaintArea() const {
  if (Area) return *Area;
  if (Painter.hasClipping()) {
    const QRect r = Painter.clipBoundingRect().toAlignedRect();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  }
  return TCanvas::PaintArea();
}

QImage GlyphToImage(const TGlyph& glyph) {
  BW_ASSERT(glyph.Width >= 0 && glyph.Height >= 0 &&
            glyph.Pixels.size() == static_cast<size_t>(glyph.Width) * glyph.Height);
  QImage image(glyph.Width, glyph.Height, QImage::Format_RGB32);
  for (int y = 0; y < glyph.Height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < glyph.Width; ++x) {
      const TColor& c = glyph.Pixels[static_cast<size_t>(y) * glyph.Width + x];
      line[x] = qRgb(c.R, c.G, c.B);
    }
  }
  return image;
}

} // namespace bw
