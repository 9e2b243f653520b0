#include "export/WmfCanvas.h"

#include "export/UemfRecords.h"
#include "foundation/Conversions.h"

#include <uwmf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace bw {

namespace {

constexpr size_t PlaceableSize = 22;
constexpr size_t HeaderSize = 18;

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

int16_t Clamp16(long value) {
  return static_cast<int16_t>(std::clamp<long>(value, INT16_MIN, INT16_MAX));
}

// libUEMF's table of object slots: a new object takes the lowest free one,
// and deleting an object frees its slot.
WMFHANDLES* NewTable() {
  WMFHANDLES* table = nullptr;
  if (wmf_htable_create(64, 64, &table) != 0) throw std::bad_alloc();
  return table;
}

// Every object is one of ours: a pen or brush that draws nothing is a
// null-styled object too. The records count points and characters in 16
// bits.
class TWmfRecords : public TMetafileRecords {
public:
  TWmfRecords(int width, int height, int dpi) : TMetafileRecords(dpi, INT16_MAX) {
    const int longest = std::max(width, height);
    if (longest > TWmfCanvas::MaxCoordinate)
      Factor = static_cast<double>(TWmfCanvas::MaxCoordinate) / longest;
    const auto extentX = static_cast<int16_t>(std::max(1L, std::lround(width * Factor)));
    const auto extentY = static_cast<int16_t>(std::max(1L, std::lround(height * Factor)));
    // The physical size stays that of the pixels at the drawing's resolution.
    const auto inch = static_cast<uint16_t>(std::max(1L, std::lround(Dpi * Factor)));

    // The placeable header and the metafile header; their sizes and counts
    // are filled in by Close.
    U_PAIRF* size =
        U_PAIRF_set(static_cast<float>(extentX) / inch, static_cast<float>(extentY) / inch);
    if (!size) throw std::bad_alloc();
    char* header = U_WMRHEADER_set(size, inch);
    std::free(size);
    if (!header) throw std::bad_alloc();
    Bytes.assign(header, header + PlaceableSize + HeaderSize);
    std::free(header);
    // The frame exactly, whatever rounding the sizes in inches went through.
    Put16(Bytes, 6, 0);
    Put16(Bytes, 8, 0);
    Put16(Bytes, 10, static_cast<uint16_t>(extentX));
    Put16(Bytes, 12, static_cast<uint16_t>(extentY));
    Put16(Bytes, 14, inch);

    Append(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    Append(U_WMRSETWINDOWORG_set(U_POINT16{0, 0}));
    Append(U_WMRSETWINDOWEXT_set(U_POINT16{extentX, extentY}));
    // Texts are placed by their top-left corner.
    Append(U_WMRSETTEXTALIGN_set(U_TA_TOP | U_TA_LEFT | U_TA_NOUPDATECP));
  }

  // Logical units per pixel.
  double Factor = 1;

  uint32_t Pen(const TPen& pen) override {
    const bool draws = Draws(pen);
    const uint16_t style = draws ? PenStyle(pen.Style) : U_PS_NULL;
    const auto width = static_cast<uint16_t>(
        draws ? std::clamp<long>(std::lround(pen.Width * Factor), 1, INT16_MAX) : 0);
    uint32_t slot = 0;
    char* record =
        wcreatepenindirect_set(&slot, Slots.get(), U_PEN_set(style, width, ColorRef(pen.Color)));
    return Created(record, slot);
  }

  uint32_t Brush(const TBrush& brush) override {
    const bool solid = brush.Style == TBrushStyle::Solid;
    uint32_t slot = 0;
    char* record = wcreatebrushindirect_set(
        &slot, Slots.get(),
        U_WLOGBRUSH_set(solid ? U_BS_SOLID : U_BS_NULL, ColorRef(brush.Color), 0));
    return Created(record, slot);
  }

  uint32_t Font(const TFontSpec& font) override {
    std::string face = ToWindows1252(DecodeUtf8(font.Name));
    if (face.size() > 31) face.resize(31);
    const auto height = static_cast<int16_t>(
        -std::clamp<long>(std::lround(std::max(font.Size, 1) * Dpi / 72.0 * Factor), 1, INT16_MAX));
    U_FONT* logFont = U_FONT_set(
        height, 0, 0, 0, (font.Style & fsBold) ? U_FW_BOLD : U_FW_NORMAL,
        (font.Style & fsItalic) ? 1 : 0, (font.Style & fsUnderline) ? 1 : 0,
        (font.Style & fsStrikeOut) ? 1 : 0, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS,
        U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_DONTCARE, face.data());
    if (!logFont) throw std::bad_alloc();
    uint32_t slot = 0;
    char* record = wcreatefontindirect_set(&slot, Slots.get(), logFont);
    std::free(logFont);
    return Created(record, slot);
  }

  void Delete(uint32_t slot) override { Append(wdeleteobject_set(&slot, Slots.get())); }
  void TextColor(const TColor& color) override { Append(U_WMRSETTEXTCOLOR_set(ColorRef(color))); }
  void BkMode(bool opaque) override {
    Append(U_WMRSETBKMODE_set(opaque ? U_OPAQUE : U_TRANSPARENT));
  }
  void BkColor(const TColor& color) override { Append(U_WMRSETBKCOLOR_set(ColorRef(color))); }
  void MoveTo(int x, int y) override { Append(U_WMRMOVETO_set(U_POINT16{L(x), L(y)})); }
  void LineTo(int x, int y) override { Append(U_WMRLINETO_set(U_POINT16{L(x), L(y)})); }

  void Shape(int left, int top, int right, int bottom, int more, bool ellipse) override {
    const U_RECT16 box{L(left), L(top),
                       static_cast<int16_t>(std::min(L(right) + more, INT16_MAX + 0)),
                       static_cast<int16_t>(std::min(L(bottom) + more, INT16_MAX + 0))};
    Append(ellipse ? U_WMRELLIPSE_set(box) : U_WMRRECTANGLE_set(box));
  }

  void Polygon(const std::vector<TPoint>& points) override {
    std::vector<U_POINT16> p16(points.size());
    for (size_t i = 0; i < points.size(); ++i)
      p16[i] = U_POINT16{L(points[i].X), L(points[i].Y)};
    Append(U_WMRPOLYGON_set(static_cast<uint16_t>(p16.size()), p16.data()));
  }

  void Text(int x, int y, const std::u32string& chars, const std::vector<int>& advances,
            const TRect& rect, bool opaque, bool clipped) override {
    std::string bytes = ToWindows1252(chars);
    // Where each character ends, scaled as the coordinates are, so that the
    // rounding does not add up along the text.
    std::vector<int16_t> dx(bytes.size());
    long start = std::lround(x * Factor), end = 0;
    int pixel = x;
    for (size_t i = 0; i < bytes.size(); ++i) {
      pixel += advances[i];
      end = std::lround(pixel * Factor);
      dx[i] = Clamp16(end - start);
      start = end;
    }
    const auto options =
        static_cast<uint16_t>((clipped ? U_ETO_CLIPPED : 0) | (opaque ? U_ETO_OPAQUE : U_ETO_NONE));
    // The record holds a rectangle object, left, top, right, bottom; libUEMF
    // stores it reversed, as it does the parameters of a Rectangle call, so
    // it is handed over reversed.
    const U_RECT16 r{L(rect.Bottom), L(rect.Right), L(rect.Top), L(rect.Left)};
    Append(U_WMREXTTEXTOUT_set(U_POINT16{L(x), L(y)}, static_cast<int16_t>(bytes.size()), options,
                               bytes.data(), dx.data(), r));
  }

  void Glyph(int x, int y, int width, int height, const std::vector<char>& rows) override {
    const auto size = static_cast<uint32_t>(rows.size());
    U_BITMAPINFO* info = BitmapInfo(width, height, size, Dpi);
    const U_POINT16 dest{L(x), L(y)};
    const U_POINT16 destSize{static_cast<int16_t>(L(x + width) - dest.x),
                             static_cast<int16_t>(L(y + height) - dest.y)};
    const U_POINT16 source{static_cast<int16_t>(width), static_cast<int16_t>(height)};
    char* record = U_WMRSTRETCHDIB_set(dest, destSize, U_POINT16{0, 0}, source, U_DIB_RGB_COLORS,
                                       U_SRCCOPY, info, size, rows.data());
    std::free(info);
    Append(record);
  }

  std::vector<uint8_t> Close(uint32_t, uint32_t, uint32_t) override {
    Append(U_WMREOF_set());
    // The metafile proper begins after the placeable header.
    const size_t words = (Bytes.size() - PlaceableSize) / 2;
    Put32(Bytes, PlaceableSize + 6, static_cast<uint32_t>(words));
    Put16(Bytes, PlaceableSize + 10, static_cast<uint16_t>(SlotsUsed()));
    Put32(Bytes, PlaceableSize + 12, LargestRecord / 2);
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2)
      checksum ^= static_cast<uint16_t>(Bytes[i] | (Bytes[i + 1] << 8));
    Put16(Bytes, 20, checksum);
    return std::move(Bytes);
  }

private:
  uint32_t Size(const char* record) const override {
    return U_wmr_size(reinterpret_cast<const U_METARECORD*>(record));
  }
  void Select(uint32_t slot) override { Append(wselectobject_set(slot, Slots.get())); }

  // A pixel coordinate in logical units.
  int16_t L(int value) const { return Clamp16(std::lround(value * Factor)); }

  const std::unique_ptr<WMFHANDLES, void (*)(WMFHANDLES*)> Slots{
      NewTable(), [](WMFHANDLES* table) { wmf_htable_free(&table); }};
};

} // namespace

TWmfCanvas::TWmfCanvas(int width, int height, TCanvas& measure, int dpi)
    : TMetafileCanvas(measure, std::make_unique<TWmfRecords>(width, height, dpi)) {}

} // namespace bw
