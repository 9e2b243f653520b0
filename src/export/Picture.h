// A picture of a drawing: its size, the callback that draws it, the file
// formats it can be written in and the checks that come before writing.
#pragma once

#include "canvas/Canvas.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

enum class TPictureFormat { Bmp, Jpeg, Gif, Emf, Wmf };

// The format a picture file is written in, by the extension of its name:
// the file name's part (not the folders') from its last ".", in upper case.
// Any other extension raises "Unknown image file extension: " followed by it.
TPictureFormat PictureFormatOfFile(std::string_view path);

// Raises a clear error for a picture without pixels.
void CheckPictureSize(int width, int height);
// And for one the format cannot hold: a JPEG or GIF beyond the format's
// longest side, a bitmap file beyond 4 GB. Metafiles take any size.
void CheckPictureSize(TPictureFormat format, int width, int height);

// And for a picture for the clipboard, before its bitmap is allocated: the
// 24-bit bitmap (rows padded to four bytes) may take at most a quarter of
// the memory the program may use (usableMemory, in bytes), or it gets the
// "Not enough memory" message (a paste converts a second copy of about its
// size while the clipboard keeps the first, and the program and the rest of
// its memory group need the other half); and it must fit a bitmap file's
// 32-bit size, as a paste in the bitmap format gets it.
void CheckClipboardPictureSize(int width, int height, uint64_t usableMemory);

// And for a picture written to a file through a bitmap (BMP, JPEG and GIF),
// before the bitmap is allocated: it may take at most half the memory the
// program may use, or it gets the "Not enough memory" message. A bitmap
// beyond what the memory group allows may still be allocated, and filling
// it would get the program ended with its unsaved work. Metafiles need no
// bitmap and take any size.
void CheckPictureMemory(TPictureFormat format, int width, int height, uint64_t usableMemory);

// The message for a bitmap that could not be allocated.
std::string NotEnoughMemoryMessage(int width, int height);

// Draws the picture onto the canvas in pixels from (0, 0).
using TDrawPicture = std::function<void(TCanvas& canvas)>;

struct TPictureSource {
  int Width = 0;
  int Height = 0;
  // The resolution the drawing was measured and laid out at, in pixels per
  // inch: the metafiles' physical size and font heights follow from it.
  int Dpi = 96;
  TDrawPicture Draw;
};

// The drawing as an enhanced metafile and as a placeable old-style
// metafile, file bytes in memory. Texts take their widths from `measure`,
// which must measure as the drawing was laid out.
std::vector<uint8_t> RecordEmf(const TPictureSource& source, TCanvas& measure);
std::vector<uint8_t> RecordWmf(const TPictureSource& source, TCanvas& measure);

} // namespace bw
