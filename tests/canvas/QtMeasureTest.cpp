#include "canvas/qt/QtCanvas.h"

#include "foundation/Conversions.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace bw;

namespace {

const std::vector<std::string> Texts = {
    "Root   ", "FALSE", "TRUE", "12.5%", "$1,234.50", "\u00DCn\u00EFc\u00F6d\u00E9 \u20AC",
    "",        "W"};

QFont MakeFont(const char* family, int points, bool bold = false) {
  QFont font(family);
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

int Width(const QFont& font, const QPaintDevice* device, const std::string& text) {
  return QFontMetrics(font, device).horizontalAdvance(QString::fromStdString(text));
}

QImage AtDpi(int dpi) {
  QImage image(10, 10, QImage::Format_RGB32);
  image.setDotsPerMeterX(qRound(dpi / 0.0254));
  image.setDotsPerMeterY(qRound(dpi / 0.0254));
  return image;
}

} // namespace

TEST(QtMeasure, SameAsTheFontMetricsPerFont) {
  const QImage image = AtDpi(96);
  TQtMeasureCanvas canvas(&image);
  const QFont plain = MakeFont("Verdana", 8);
  const QFont bold = MakeFont("Verdana", 12, true);
  const TFontSpec boldSpec{"Verdana", 12, fsBold};
  // Twice each: measured, then from the cache, across font changes.
  for (int round = 0; round < 2; ++round)
    for (const std::string& text : Texts) {
      canvas.Font.Spec = TFontSpec{};
      EXPECT_EQ(canvas.TextWidth(text), Width(plain, &image, text)) << text;
      EXPECT_EQ(canvas.TextHeight(text), QFontMetrics(plain, &image).height());
      canvas.Font.Spec = boldSpec;
      EXPECT_EQ(canvas.TextWidth(text), Width(bold, &image, text)) << text;
      EXPECT_EQ(canvas.TextHeight(text), QFontMetrics(bold, &image).height());
    }
  EXPECT_EQ(canvas.Measurer().CachedTexts(), 2 * Texts.size());
  canvas.Font.Spec = TFontSpec{};
  EXPECT_LT(canvas.TextWidth("Root   "), Width(bold, &image, "Root   "));
  // The font asked for is kept, whatever the system draws it with.
  EXPECT_EQ(canvas.Measurer().Font(boldSpec).family(), "Verdana");
  EXPECT_TRUE(canvas.Measurer().Font(boldSpec).bold());
}

TEST(QtMeasure, CacheStaysWithinItsCapacity) {
  const QImage image = AtDpi(96);
  TQtMeasureCanvas canvas(&image, 0, 4);
  const QFont plain = MakeFont("Verdana", 8);
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 10; ++i) {
      const std::string text = std::string(static_cast<size_t>(i + 1), 'm');
      EXPECT_EQ(canvas.TextWidth(text), Width(plain, &image, text)) << text;
      EXPECT_LE(canvas.Measurer().CachedTexts(), 4u);
    }
  canvas.Measurer().Clear();
  EXPECT_EQ(canvas.Measurer().CachedTexts(), 0u);
  EXPECT_EQ(canvas.TextWidth("mm"), Width(plain, &image, "mm"));
}

TEST(QtMeasure, ReferenceDpiKeepsTheScreenSizeOnAFinerDevice) {
  const QImage screen = AtDpi(96);
  const QImage fine = AtDpi(300);
  TQtMeasureCanvas onScreen(&screen);
  TQtMeasureCanvas fixed(&fine, 96);
  TQtMeasureCanvas native(&fine);
  for (const std::string& text : Texts)
    EXPECT_EQ(fixed.TextWidth(text), onScreen.TextWidth(text)) << text;
  EXPECT_EQ(fixed.TextHeight("A"), onScreen.TextHeight("A"));
  EXPECT_GT(native.TextWidth("Root   "), 2 * onScreen.TextWidth("Root   "));
}

TEST(QtMeasure, TextDrawnThroughAPrintingTransformStaysInItsCell) {
  // A 300-dpi page drawn in screen pixels scaled by 300 / 96: the text must
  // cover the cell measured for it, not three times as much.
  QImage page(400, 120, QImage::Format_RGB32);
  page.setDotsPerMeterX(qRound(300 / 0.0254));
  page.setDotsPerMeterY(qRound(300 / 0.0254));
  page.fill(Qt::white);
  const std::string text = "Root node";
  int width = 0, height = 0;
  {
    QPainter p(&page);
    p.scale(300.0 / 96, 300.0 / 96);
    TQtCanvas c(p, {.FontReferenceDpi = 96});
    width = c.TextWidth(text);
    height = c.TextHeight(text);
    c.Brush.Style = TBrushStyle::Clear;
    c.TextOut(4, 4, text);
  }
  const double scale = 300.0 / 96;
  int right = 0, bottom = 0;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x)
      if (page.pixel(x, y) != qRgb(255, 255, 255)) {
        right = std::max(right, x + 1);
        bottom = std::max(bottom, y + 1);
      }
  EXPECT_LE(right, (4 + width) * scale + 2);
  EXPECT_GT(right, (4 + width * 0.8) * scale);
  EXPECT_LE(bottom, (4 + height) * scale + 2);
}

TEST(QtMeasure, ACanvasCanShareTheWidgetsMeasurer) {
  QImage image(50, 50, QImage::Format_RGB32);
  image.fill(Qt::white);
  TQtMeasureCanvas widget(&image);
  const int root = widget.TextWidth("Root");
  QPainter p(&image);
  TQtCanvas c(p, {.Measurer = &widget.Measurer()});
  EXPECT_EQ(c.TextWidth("Root"), root);
  EXPECT_EQ(c.TextWidth("Other"), widget.TextWidth("Other"));
  EXPECT_EQ(widget.Measurer().CachedTexts(), 2u);
}
