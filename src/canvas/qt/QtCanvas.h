// The canvas on Qt: measuring with a device's font metrics (cached per font
// and text), and drawing on a QPainter with the pixel rules the tree's
// painter expects: rectangles and ellipses exclude their right and bottom
// edge, text is placed by its top-left corner over a filled cell, pens are
// in logical units so that a printing transform scales them.
#pragma once

#include "canvas/Canvas.h"

#include <QFont>
#include <QImage>

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class QPaintDevice;
class QPainter;

namespace bw {

// Text widths and heights of fonts on one paint device, remembered per font
// and text: the control measures every node's texts on every change, and
// those texts rarely change between two recalculations.
class TQtTextMeasurer {
public:
  // Enough for the texts of a few hundred thousand nodes; the whole cache is
  // dropped when it would grow beyond this and filled again as texts come.
  static constexpr size_t DefaultCapacity = size_t{1} << 19;

  // device: whose font resolution counts; not owned, must outlive this.
  // fontReferenceDpi > 0: a font of n points is made n * dpi / 72 pixels
  // of the device, whatever the device's own resolution. For a printer, a
  // PDF or an image drawn through a scaling transform, so that the text
  // keeps its size relative to the shapes, as on the screen at that DPI.
  // 0: points at the device's resolution.
  explicit TQtTextMeasurer(const QPaintDevice* device, double fontReferenceDpi = 0,
                           size_t capacity = DefaultCapacity);
  TQtTextMeasurer(const TQtTextMeasurer&) = delete;
  TQtTextMeasurer& operator=(const TQtTextMeasurer&) = delete;
  ~TQtTextMeasurer();

  const QPaintDevice* Device() const { return Device_; }
  double FontReferenceDpi() const { return FontReferenceDpi_; }

  // The Qt font for the family, size and styles on this device; valid until
  // the next call.
  const QFont& Font(const TFontSpec& spec);
  // QFontMetrics::horizontalAdvance of the UTF-8 text.
  int TextWidth(const TFontSpec& spec, std::string_view text);
  // QFontMetrics::height(): the same for every text.
  int TextHeight(const TFontSpec& spec);
  int Ascent(const TFontSpec& spec);

  // Widths held, over all fonts.
  size_t CachedTexts() const { return Cached; }
  // Forgets every font and width: after the device's resolution or the
  // installed fonts changed.
  void Clear();

private:
  struct TFontEntry;
  TFontEntry& Entry(const TFontSpec& spec);

  const QPaintDevice* Device_;
  double FontReferenceDpi_;
  size_t Capacity;
  size_t Cached = 0;
  std::vector<std::unique_ptr<TFontEntry>> Fonts;
  TFontEntry* Last = nullptr;
};

// A canvas that only measures, without a QPainter: the control measures in
// its recalculation, outside any paint event, on its own widget's metrics.
// The drawing operations do nothing. Keep one for the life of the widget so
// that its cache pays.
class TQtMeasureCanvas : public TCanvas {
public:
  explicit TQtMeasureCanvas(const QPaintDevice* device, double fontReferenceDpi = 0,
                            size_t capacity = TQtTextMeasurer::DefaultCapacity);

  TQtTextMeasurer& Measurer() { return Measurer_; }

  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;

  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void Rectangle(int, int, int, int) override {}
  void Ellipse(int, int, int, int) override {}
  void Polygon(const std::vector<TPoint>&) override {}
  void FillRect(const TRect&) override {}
  void TextOut(int, int, std::string_view) override {}
  void TextRect(const TRect&, int, int, std::string_view) override {}
  void Draw(int, int, const TGlyph&) override {}

private:
  TQtTextMeasurer Measurer_;
};

struct TQtCanvasOptions {
  // As TQtTextMeasurer: > 0 fixes the fonts' pixel size at this DPI, for
  // drawing on a foreign device through a scaling transform.
  double FontReferenceDpi = 0;
  // A measurer to share instead of a private one, e.g. the widget's own
  // when painting the widget or a back buffer of the same resolution. Its
  // device and reference DPI then count; it must outlive the canvas.
  TQtTextMeasurer* Measurer = nullptr;
};

// Draws on an active QPainter (widget, back buffer, printer, PDF or picture
// page) in the painter's logical coordinates. The painter's state is saved
// on construction and restored on destruction; antialiasing of shapes is
// off in between, text keeps the painter's text antialiasing.
class TQtCanvas : public TCanvas {
public:
  explicit TQtCanvas(QPainter& painter, const TQtCanvasOptions& options = {});
  TQtCanvas(const TQtCanvas&) = delete;
  TQtCanvas& operator=(const TQtCanvas&) = delete;
  ~TQtCanvas() override;

  // The rectangle that needs painting, in logical coordinates, such as the
  // exposed rectangle of a paint event. Without one, PaintArea answers the
  // painter's clip, else everything.
  void SetPaintArea(const TRect& area) { Area = area; }

  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Rectangle(int left, int top, int right, int bottom) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Polygon(const std::vector<TPoint>& points) override;
  void FillRect(const TRect& rect) override;
  void TextOut(int x, int y, std::string_view text) override;
  void TextRect(const TRect& clip, int x, int y, std::string_view text) override;
  void Draw(int x, int y, const TGlyph& glyph) override;

  TRect PaintArea() const override;

private:
  void Fill(const QRect& rect, const TColor& color);
  bool ApplyPen();
  void ApplyBrush();
  void DrawText(int x, int y, std::string_view text);

  QPainter& Painter;
  std::unique_ptr<TQtTextMeasurer> OwnMeasurer;
  TQtTextMeasurer& Measurer;
  std::optional<TRect> Area;
  TPoint Position;
};

// The glyph as a 32-bit image, pixel for pixel.
QImage GlyphToImage(const TGlyph& glyph);

} // namespace bw
