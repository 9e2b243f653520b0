#include "export/Picture.h"

#include "export/EmfCanvas.h"
#include "export/WmfCanvas.h"
#include "foundation/Exceptions.h"

#include <cstdint>

namespace bw {

namespace {

// Baseline JPEG as libjpeg writes it, and the 16-bit sizes of GIF.
constexpr int MaxJpegSide = 65500;
constexpr int MaxGifSide = 65535;

std::string SizeText(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

} // namespace

TPictureFormat PictureFormatOfFile(std::string_view path) {
  const std::string_view name = path.substr(path.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  std::string ext(dot == std::string_view::npos ? std::string_view() : name.substr(dot));
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (ext == ".BMP") return TPictureFormat::Bmp;
  if (ext == ".JPG" || ext == ".JPEG") return TPictureFormat::Jpeg;
  if (ext == ".GIF") return TPictureFormat::Gif;
  if (ext == ".EMF") return TPictureFormat::Emf;
  if (ext == ".WMF") return TPictureFormat::Wmf;
  throw Exception("Unknown image file extension: " + ext);
}

void CheckPictureSize(int width, int height) {
  if (width <= 0 || height <= 0)
    throw Exception("A picture of " + SizeText(width, height) + " pixels cannot be made.");
}

namespace {

// A 24-bit bitmap's pixel bytes, rows padded to four bytes.
uint64_t BitmapBytes(int width, int height) {
  const uint64_t rowBytes = (uint64_t{3} * static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
  return rowBytes * static_cast<uint64_t>(height);
}

// A bitmap file's header before the pixels.
constexpr uint64_t BmpHeaderBytes = 54;

} // namespace

void CheckPictureSize(TPictureFormat format, int width, int height) {
  CheckPictureSize(width, height);
  auto tooLarge = [&](const char* kind, int side) {
    throw Exception("The picture of " + SizeText(width, height) + " pixels is too large for " +
                    kind + " file: at most " + std::to_string(side) + " pixels wide and high.");
  };
  switch (format) {
  case TPictureFormat::Jpeg:
    if (width > MaxJpegSide || height > MaxJpegSide) tooLarge("a JPEG", MaxJpegSide);
    break;
  case TPictureFormat::Gif:
    if (width > MaxGifSide || height > MaxGifSide) tooLarge("a GIF", MaxGifSide);
    break;
  case TPictureFormat::Bmp: {
    // The file's size is a 32-bit field.
    if (BmpHeaderBytes + BitmapBytes(width, height) > UINT32_MAX)
      throw Exception("The picture of " + SizeText(width, height) +
                      " pixels is too large for a bitmap file: at most 4 GB.");
    break;
  }
  case TPictureFormat::Emf:
  case TPictureFormat::Wmf:
    break;
  }
}

void CheckClipboardPictureSize(int width, int height, uint64_t usableMemory) {
  CheckPictureSize(width, height);
  const uint64_t bytes = BitmapBytes(width, height);
  if (bytes > usableMemory / 4) throw Exception(NotEnoughMemoryMessage(width, height));
  if (BmpHeaderBytes + bytes > UINT32_MAX)
    throw Exception("The picture of " + SizeText(width, height) +
                    " pixels is too large for the clipboard: at most 4 GB as a bitmap.");
}

void CheckPictureMemory(TPictureFormat format, int width, int height, uint64_t usableMemory) {
  if (format == TPictureFormat::Emf || format == TPictureFormat::Wmf) return;
  CheckPictureSize(width, height);
  if (BitmapBytes(width, height) > usableMemory / 2)
    throw Exception(NotEnoughMemoryMessage(width, height));
}

std::string NotEnoughMemoryMessage(int width, int height) {
  return "Not enough memory for a picture of " + SizeText(width, height) + " pixels.";
}

std::vector<uint8_t> RecordEmf(const TPictureSource& source, TCanvas& measure) {
  CheckPictureSize(TPictureFormat::Emf, source.Width, source.Height);
  TEmfCanvas canvas(source.Width, source.Height, measure, source.Dpi);
  source.Draw(canvas);
  return canvas.Finish();
}

std::vector<uint8_t> RecordWmf(const TPictureSource& source, TCanvas& measure) {
  CheckPictureSize(TPictureFormat::Wmf, source.Width, source.Height);
  TWmfCanvas canvas(source.Width, source.Height, measure, source.Dpi);
  source.Draw(canvas);
  return canvas.Finish();
}

} // namespace bw
