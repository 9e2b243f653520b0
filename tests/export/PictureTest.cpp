#include "export/Picture.h"
#include "export/BitmapWriters.h"
#include "export/MetafileCanvas.h"
#include "export/OutputFile.h"
#include "foundation/Exceptions.h"

#include "ReadBack.h"
#include "support/ChildProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sys/resource.h>

using namespace bw;
using namespace bw::test;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

namespace {

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

} // namespace

TEST(PictureFormat, ComesFromTheFileNamesLastExtensionInUpperCase) {
  for (auto [name, format] : {std::pair{"/tmp/tree.bmp", TPictureFormat::Bmp},
                              {"tree.JPG", TPictureFormat::Jpeg},
                              {"tree.jpeg", TPictureFormat::Jpeg},
                              {"a.b.Gif", TPictureFormat::Gif},
                              {"x/tree.emf", TPictureFormat::Emf},
                              {"tree.WMF", TPictureFormat::Wmf}})
    EXPECT_EQ(PictureFormatOfFile(name), format) << name;
  // A dot in a folder's name is no extension.
  for (auto [name, message] : {std::pair{"/home/u/tree.png", "Unknown image file extension: .PNG"},
                               {"tree.gif.bak", "Unknown image file extension: .BAK"},
                               {"photos.v2/pic", "Unknown image file extension: "}})
    EXPECT_THAT([name = name] { PictureFormatOfFile(name); }, ThrowsMessage<Exception>(message))
        << name;
}

TEST(PictureFormat, SizesTheFormatCannotHoldAreRefusedWithTheSize) {
  EXPECT_NO_THROW(CheckPictureSize(TPictureFormat::Jpeg, 65500, 65500));
  EXPECT_THAT(
      [] { CheckPictureSize(TPictureFormat::Jpeg, 2033, 349468); },
      ThrowsMessage<Exception>(HasSubstr("2033 x 349468 pixels is too large for a JPEG file")));
  EXPECT_NO_THROW(CheckPictureSize(TPictureFormat::Gif, 65535, 10));
  EXPECT_THAT([] { CheckPictureSize(TPictureFormat::Gif, 10, 65536); },
              ThrowsMessage<Exception>(HasSubstr("too large for a GIF file")));
  EXPECT_THAT([] { CheckPictureSize(TPictureFormat::Bmp, 40000, 40000); },
              ThrowsMessage<Exception>(HasSubstr("too large for a bitmap file")));
  EXPECT_NO_THROW(CheckPictureSize(TPictureFormat::Wmf, 40000, 400000));
  EXPECT_THROW(CheckPictureSize(TPictureFormat::Emf, 0, 10), Exception);
}

// The clipboard's bitmap is checked against its size before it is made: the
// 24-bit bytes of a tree 1803 x 4,440,064 pixels (22.4 GiB) are refused on a
// machine of 23.5 GiB, as is any bitmap beyond a quarter of the memory or a
// bitmap file's 4 GB.
TEST(PictureFormat, AClipboardBitmapMustFitAQuarterOfTheMemoryAndABitmap) {
  constexpr uint64_t GiB = uint64_t{1} << 30;
  auto noMemory = [](const char* size) {
    return ThrowsMessage<Exception>(
        ::testing::StrEq(std::string("Not enough memory for a picture of ") + size + " pixels."));
  };
  EXPECT_THAT([&] { CheckClipboardPictureSize(1803, 4440064, 23 * GiB + GiB / 2); },
              noMemory("1803 x 4440064"));
  // Rows of 12288 bytes: just within a quarter of 4 GiB, and one row beyond.
  EXPECT_NO_THROW(CheckClipboardPictureSize(4096, 87381, 4 * GiB));
  EXPECT_THAT([&] { CheckClipboardPictureSize(4096, 87382, 4 * GiB); }, noMemory("4096 x 87382"));
  // Rows are padded to four bytes: 1 x 2^30 pixels take 4 GiB, not 3.
  const auto tooLarge = ThrowsMessage<Exception>(HasSubstr("too large for the clipboard"));
  EXPECT_THAT([&] { CheckClipboardPictureSize(1, 1 << 30, UINT64_MAX); }, tooLarge);
  EXPECT_THAT([&] { CheckClipboardPictureSize(1803, 4440064, UINT64_MAX); }, tooLarge);
}

// A picture written through a bitmap is checked against half the memory
// before the bitmap is made, whatever the sides (their product overflows
// no count); the metafiles take no bitmap and any memory.
TEST(PictureFormat, ABitmapFilesBitmapMustFitHalfTheMemory) {
  constexpr uint64_t GiB = uint64_t{1} << 30;
  const auto noMemory = [](const char* size) {
    return ThrowsMessage<Exception>(
        ::testing::StrEq(std::string("Not enough memory for a picture of ") + size + " pixels."));
  };
  for (const TPictureFormat format :
       {TPictureFormat::Bmp, TPictureFormat::Jpeg, TPictureFormat::Gif}) {
    // Rows of 12288 bytes: just within half of 4 GiB, and one row beyond.
    EXPECT_NO_THROW(CheckPictureMemory(format, 4096, 174762, 4 * GiB));
    EXPECT_THAT([&] { CheckPictureMemory(format, 4096, 174763, 4 * GiB); },
                noMemory("4096 x 174763"));
    EXPECT_THAT([&] { CheckPictureMemory(format, INT_MAX, INT_MAX, UINT64_MAX); },
                noMemory("2147483647 x 2147483647"));
  }
  EXPECT_NO_THROW(CheckPictureMemory(TPictureFormat::Emf, INT_MAX, INT_MAX, 0));
  EXPECT_NO_THROW(CheckPictureMemory(TPictureFormat::Wmf, INT_MAX, INT_MAX, 0));
}

// A picture written over an existing one replaces it only when whole: in a
// full folder (a file-size limit in a child process stands for one) and when
// the writing stops halfway, the old picture stays and nothing is left
// beside it.
TEST(OutputFile, AFailedWriteKeepsTheOldPictureAndFailuresNameTheFile) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("bw-export-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "tree.gif").string(), missing = (dir / "no" / "x.gif").string();
  const std::vector<uint8_t> old{'o', 'l', 'd'};
  auto holds = [&](const std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}) == bytes &&
           std::distance(std::filesystem::directory_iterator(dir), {}) == 1;
  };
  WriteFileBytes(path, old);
  ASSERT_TRUE(holds(old));

  const std::string error = InChildProcess([&]() -> std::string {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {
      1000, 1000
    };
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFileBytes(path, std::vector<uint8_t>(size_t{4} << 20, 'x'));
    } catch (const Exception& e) {
      return e.Message();
    }
    return "written";
  });
  EXPECT_EQ(error, "Cannot write '" + path + "': File too large");
  EXPECT_TRUE(holds(old));
  {
    TOutputFile file(path);
    file.Write("GIF89a", 6);
  }
  EXPECT_TRUE(holds(old));

  EXPECT_THAT([&] { TOutputFile{missing}; },
              ThrowsMessage<Exception>("Cannot create a file in the folder '" +
                                       (dir / "no").string() + "': No such file or directory"));
  std::filesystem::remove_all(dir);
}

TEST(BmpWriter, WritesA24BitBottomUpBitmapWithPaddedRows) {
  const TPixels pixels(3, 2);
  const std::vector<uint8_t> b = Written([&](std::FILE* f) { WriteBmp(f, pixels.View(), 96); });
  const size_t rowBytes = 12; // 9 bytes padded to 4
  ASSERT_EQ(b.size(), 54 + 2 * rowBytes);
  EXPECT_EQ(U16(b, 0), 'B' | 'M' << 8);
  // File size, pixel offset, info header size, width, height (positive:
  // bottom-up), planes and bits a pixel, uncompressed, the pixels' size,
  // 96 dpi.
  EXPECT_EQ(Fields(b, 2, 1), std::vector{78});
  EXPECT_EQ(Fields(b, 10, 4), (std::vector{54, 40, 3, 2}));
  EXPECT_EQ(Fields(b, 26, 2, 2), (std::vector{1, 24}));
  EXPECT_EQ(Fields(b, 30, 4), (std::vector{0, 24, 3780, 3780}));
  // The first row in the file is the picture's last, blue first; the
  // padding is zero.
  for (int x = 0; x < 3; ++x)
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(b[54 + 3 * x + c], pixels.Bytes[9 + 3 * x + (2 - c)]);
      EXPECT_EQ(b[54 + rowBytes + 3 * x + c], pixels.Bytes[3 * x + (2 - c)]);
    }
  EXPECT_EQ((std::vector(b.begin() + 63, b.begin() + 66)), (std::vector<uint8_t>{0, 0, 0}));
}

// Each library's failure comes back as an error with its message: libjpeg
// and giflib would otherwise end the program or fail silently. The stream
// takes 64 bytes and fails after, without buffering, as a full disk does.
TEST(BitmapWriters, AFailedWriteIsAnErrorInEveryFormat) {
  const TPixels noise(64, 64, 7);
  const std::pair<std::function<void(std::FILE*)>, const char*> writers[] = {
      {[&](std::FILE* f) { WriteJpeg(f, noise.View()); }, "JPEG error: "},
      {[&](std::FILE* f) { WriteGif(f, noise.View()); }, "GIF error: "},
      {[&](std::FILE* f) { WriteBmp(f, noise.View()); }, "Cannot write the bitmap."}};
  for (const auto& [write, message] : writers) {
    char buffer[64];
    std::FILE* full = fmemopen(buffer, sizeof buffer, "w");
    std::setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_THAT(([&write = write, full] { write(full); }),
                ThrowsMessage<Exception>(HasSubstr(message)));
    std::fclose(full);
  }
}

// A character Windows-1252 lacks becomes "?".
TEST(MetafileText, CharactersOutsideWindows1252BecomeQuestionMarks) {
  EXPECT_EQ(ToWindows1252(U"\u00E9\u2014\u0100"), "\xE9\x97?");
}
