#include "export/Picture.h"
#include "export/BitmapWriters.h"
#include "export/MetafileCanvas.h"
#include "export/OutputFile.h"
#include "foundation/Exceptions.h"

#include "MetafileRecords.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

using namespace bw;
using namespace bw::test;
using ::testing::HasSubstr;

namespace {

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

// Pixels of a test picture, red, green, blue, rows from the top.
struct TPixels {
  int Width, Height;
  std::vector<uint8_t> Bytes;
  TPixels(int w, int h, uint32_t seed = 0) : Width(w), Height(h), Bytes(size_t(w) * h * 3) {
    std::mt19937 noise(seed);
    for (size_t i = 0; i < Bytes.size(); ++i)
      Bytes[i] = seed ? static_cast<uint8_t>(noise()) : static_cast<uint8_t>(i * 37);
  }
  TRgbImageView View() const { return {Width, Height, Bytes.data(), size_t(Width) * 3}; }
};

std::vector<uint8_t> Written(const std::function<void(std::FILE*)>& write) {
  std::FILE* f = std::tmpfile();
  write(f);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(f)));
  std::rewind(f);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
  return bytes;
}

// A stream that takes 64 bytes and fails after, without buffering, as a
// full disk does.
struct TFullStream {
  char Buffer[64];
  std::FILE* File;
  TFullStream() : File(fmemopen(Buffer, sizeof Buffer, "w")) {
    std::setvbuf(File, nullptr, _IONBF, 0);
  }
  ~TFullStream() { std::fclose(File); }
};

} // namespace

TEST(PictureFormat, ComesFromTheFileNamesLastExtensionInUpperCase) {
  EXPECT_EQ(PictureFormatOfFile("/tmp/tree.bmp"), TPictureFormat::Bmp);
  EXPECT_EQ(PictureFormatOfFile("tree.JPG"), TPictureFormat::Jpeg);
  EXPECT_EQ(PictureFormatOfFile("tree.jpeg"), TPictureFormat::Jpeg);
  EXPECT_EQ(PictureFormatOfFile("a.b.Gif"), TPictureFormat::Gif);
  EXPECT_EQ(PictureFormatOfFile("x/tree.emf"), TPictureFormat::Emf);
  EXPECT_EQ(PictureFormatOfFile("tree.WMF"), TPictureFormat::Wmf);
  EXPECT_EQ(MessageOf([] { PictureFormatOfFile("/home/u/tree.png"); }),
            "Unknown image file extension: .PNG");
  EXPECT_EQ(MessageOf([] { PictureFormatOfFile("tree.gif.bak"); }),
            "Unknown image file extension: .BAK");
  // A dot in a folder's name is no extension.
  EXPECT_EQ(MessageOf([] { PictureFormatOfFile("photos.v2/pic"); }),
            "Unknown image file extension: ");
}

TEST(PictureFormat, SizesTheFormatCannotHoldAreRefusedWithTheSize) {
  EXPECT_NO_THROW(CheckPictureSize(TPictureFormat::Jpeg, 65500, 65500));
  EXPECT_THAT(MessageOf([] { CheckPictureSize(TPictureFormat::Jpeg, 2033, 349468); }),
              HasSubstr("2033 x 349468 pixels is too large for a JPEG file"));
  EXPECT_NO_THROW(CheckPictureSize(TPictureFormat::Gif, 65535, 10));
  EXPECT_THAT(MessageOf([] { CheckPictureSize(TPictureFormat::Gif, 10, 65536); }),
              HasSubstr("too large for a GIF file"));
  EXPECT_THAT(MessageOf([] { CheckPictureSize(TPictureFormat::Bmp, 40000, 40000); }),
              HasSubstr("too large for a bitmap file"));
  EXPECT_NO_THROW(CheckPictureSize(TPictureFormat::Wmf, 40000, 400000));
  EXPECT_THROW(CheckPictureSize(TPictureFormat::Emf, 0, 10), Exception);
}

TEST(OutputFile, AFileLeftUnfinishedIsRemovedAndFailuresNameTheFile) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("bw-export-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "half.bmp").string();
  {
    TOutputFile file(path);
    file.Write("BM", 2);
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  WriteFileBytes(path, {1, 2, 3});
  EXPECT_EQ(std::filesystem::file_size(path), 3u);
  EXPECT_THAT(MessageOf([&] { TOutputFile((dir / "no" / "x.gif").string()); }),
              HasSubstr("Cannot create file \"" + (dir / "no" / "x.gif").string() + "\". "));
  std::filesystem::remove_all(dir);
}

TEST(BmpWriter, WritesA24BitBottomUpBitmapWithPaddedRows) {
  const TPixels pixels(3, 2);
  const std::vector<uint8_t> b = Written([&](std::FILE* f) { WriteBmp(f, pixels.View(), 96); });
  const size_t rowBytes = 12; // 9 bytes padded to 4
  ASSERT_EQ(b.size(), 54 + 2 * rowBytes);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32(b, 2), b.size());
  EXPECT_EQ(U32(b, 10), 54u);
  EXPECT_EQ(U32(b, 14), 40u);
  EXPECT_EQ((std::vector{S32(b, 18), S32(b, 22)}), (std::vector{3, 2}));
  EXPECT_EQ(U16(b, 28), 24);
  EXPECT_EQ(U32(b, 30), 0u); // uncompressed
  EXPECT_EQ(U32(b, 34), 2 * rowBytes);
  EXPECT_EQ(U32(b, 38), 3780u); // 96 dpi
  // The first row in the file is the picture's last, blue first.
  for (int x = 0; x < 3; ++x)
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(b[54 + 3 * x + c], pixels.Bytes[9 + 3 * x + (2 - c)]);
      EXPECT_EQ(b[54 + rowBytes + 3 * x + c], pixels.Bytes[3 * x + (2 - c)]);
    }
  EXPECT_EQ((std::vector{b[54 + 9], b[54 + 10], b[54 + 11]}), (std::vector<uint8_t>{0, 0, 0}));
}

// Each library's failure comes back as an error with its message: libjpeg
// and giflib would otherwise end the program or fail silently.
TEST(BitmapWriters, AFailedWriteIsAnErrorInEveryFormat) {
  const TPixels noise(64, 64, 7);
  {
    TFullStream full;
    EXPECT_THAT(MessageOf([&] { WriteJpeg(full.File, noise.View()); }), HasSubstr("JPEG error: "));
  }
  {
    TFullStream full;
    EXPECT_THAT(MessageOf([&] { WriteGif(full.File, noise.View()); }), HasSubstr("GIF error: "));
  }
  {
    TFullStream full;
    EXPECT_THAT(MessageOf([&] { WriteBmp(full.File, noise.View()); }),
                HasSubstr("Cannot write the bitmap."));
  }
}

// Texts come from files: a broken UTF-8 sequence becomes one replacement
// character and never reads past the text.
TEST(MetafileText, BrokenUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(DecodeUtf8("a\xC3"), (std::u32string{U'a', 0xFFFD}));
  EXPECT_EQ(DecodeUtf8("\xE2\x82x"), (std::u32string{0xFFFD, U'x'}));
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), std::u32string{0xFFFD});     // overlong
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), std::u32string{0xFFFD}); // a surrogate
  EXPECT_EQ(DecodeUtf8("\xFF\xC3\xA9"), (std::u32string{0xFFFD, 0xE9}));
  EXPECT_EQ(ToWindows1252(U"\u00E9\u2014\u0100"), "\xE9\x97?");
}
