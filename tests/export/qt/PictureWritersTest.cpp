// The GIF and JPEG writers read back by Qt's own image readers; the BMP
// writer's bytes are checked without Qt, its picture with the example tree.
#include "export/BitmapWriters.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

using namespace bw;

namespace {

TRgbImageView View(const QImage& image) {
  return {image.width(), image.height(), image.constBits(),
          static_cast<size_t>(image.bytesPerLine())};
}

// Writes the picture with one writer and reads the file back.
struct TWritten {
  QTemporaryDir Dir;
  QString Path;
  std::vector<uint8_t> Bytes;
  QImage Read;
  TWritten(const char* name, const std::function<void(std::FILE*)>& write)
      : Path(Dir.filePath(name)) {
    std::FILE* f = std::fopen(Path.toLocal8Bit().constData(), "wb");
    write(f);
    std::fclose(f);
    std::ifstream in(Path.toStdString(), std::ios::binary);
    Bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    Read = QImage(Path).convertToFormat(QImage::Format_RGB888);
  }
};

// Colour bands with a gradient when asked: more than 256 colours.
QImage TestPicture(int width, int height, bool gradient) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixelColor(x, y,
                          gradient ? QColor(x % 256, y % 256, (x * y) % 256)
                                   : QColor::fromHsv((x / 7 + y / 5) * 37 % 360, 200, 220));
  return image;
}

int MaxDifference(const QImage& a, const QImage& b) {
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                        std::abs(qBlue(p) - qBlue(q))});
    }
  return worst;
}

} // namespace

TEST(PictureWriters, GifKeepsUpTo256ColoursExactlyAndQuantisesMore) {
  const QImage few = TestPicture(61, 40, false);
  TWritten exact("few.gif", [&](std::FILE* f) { WriteGif(f, View(few)); });
  EXPECT_EQ(exact.Read, few);
  // One frame: the trailer follows the first image.
  EXPECT_EQ(exact.Bytes.back(), 0x3B);

  const QImage many = TestPicture(64, 64, true);
  TWritten quantised("many.gif", [&](std::FILE* f) { WriteGif(f, View(many)); });
  ASSERT_FALSE(quantised.Read.isNull());
  EXPECT_EQ(quantised.Bytes[10] & 0x87, 0x87); // a global table of 256 entries
  EXPECT_LE(MaxDifference(quantised.Read, many), 96);
}

TEST(PictureWriters, JpegIsBaselineQuality90WithinItsLoss) {
  QImage picture = TestPicture(80, 48, false);
  TWritten jpeg("p.jpg", [&](std::FILE* f) { WriteJpeg(f, View(picture), 90); });
  ASSERT_EQ(jpeg.Read.size(), picture.size());
  const std::vector<uint8_t>& b = jpeg.Bytes;
  auto marker = [&](uint8_t code) -> size_t {
    for (size_t i = 0; i + 1 < b.size(); ++i)
      if (b[i] == 0xFF && b[i + 1] == code) return i;
    return 0;
  };
  EXPECT_EQ(std::string(b.begin() + 6, b.begin() + 10), "JFIF");
  const size_t sof = marker(0xC0);
  ASSERT_NE(sof, 0u) << "not baseline";
  EXPECT_EQ(marker(0xC2), 0u) << "progressive";
  EXPECT_EQ(b[sof + 9], 3);     // colour
  EXPECT_EQ(b[sof + 11], 0x22); // luma sampled 2 x 2
  const size_t dqt = marker(0xDB);
  EXPECT_EQ(b[dqt + 5], 3); // the luma table's first entry at quality 90: 16 x 0.2
  double total = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      total += std::abs(qGray(picture.pixel(x, y)) - qGray(jpeg.Read.pixel(x, y)));
  EXPECT_LT(total / (picture.width() * picture.height()), 4.0);
}
