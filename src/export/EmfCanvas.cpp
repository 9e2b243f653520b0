#include "export/EmfCanvas.h"

#include "export/UemfRecords.h"
#include "foundation/Conversions.h"

#include <uemf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace bw {

namespace {

U_RECTL Rect(int left, int top, int right, int bottom) {
  return rectl_set(point32_set(left, top), point32_set(right, bottom));
}

// libUEMF's table of object slots: a new object takes the lowest free one.
EMFHANDLES* NewTable() {
  EMFHANDLES* table = nullptr;
  if (emf_htable_create(64, 64, &table) != 0) throw std::bad_alloc();
  return table;
}

class TEmfRecords : public TMetafileRecords {
public:
  TEmfRecords(int width, int height, int dpi) : TMetafileRecords(dpi, SIZE_MAX) {
    // A reference device of 20 x 15 inches, so that pixels and millimetres
    // agree exactly at any resolution.
    const U_SIZEL device = sizel_set(20 * Dpi, 15 * Dpi);
    const U_SIZEL millimetres = sizel_set(508, 381);
    const auto frame = [&](int px) { return static_cast<int32_t>(std::lround(px * 2540.0 / Dpi)); };
    Append(U_EMRHEADER_set(Rect(0, 0, width - 1, height - 1),
                           Rect(0, 0, frame(width), frame(height)), nullptr, 0, nullptr, device,
                           millimetres, 0));
    // Texts are placed by their top-left corner.
    Append(U_EMRSETTEXTALIGN_set(U_TA_TOP | U_TA_LEFT | U_TA_NOUPDATECP));
  }

  uint32_t Pen(const TPen& pen) override {
    if (!Draws(pen)) {
      Select(U_NULL_PEN);
      return NoObject;
    }
    uint32_t slot = 0;
    const uint32_t style = PenStyle(pen.Style);
    char* record = nullptr;
    if (pen.Width > 1 && style != U_PS_SOLID) {
      // A wide pen keeps its dots or dashes only as a geometric pen.
      PU_EXTLOGPEN logPen = extlogpen_set(
          U_PS_GEOMETRIC | style | U_PS_ENDCAP_ROUND | U_PS_JOIN_ROUND,
          static_cast<uint32_t>(pen.Width), U_BS_SOLID, ColorRef(pen.Color), 0, 0, nullptr);
      if (!logPen) throw std::bad_alloc();
      record = extcreatepen_set(&slot, Slots.get(), nullptr, 0, nullptr, logPen);
      std::free(logPen);
    } else {
      record = createpen_set(&slot, Slots.get(),
                             logpen_set(style, point32_set(pen.Width, 0), ColorRef(pen.Color)));
    }
    return Created(record, slot);
  }

  uint32_t Brush(const TBrush& brush) override {
    if (brush.Style != TBrushStyle::Solid) {
      Select(U_NULL_BRUSH);
      return NoObject;
    }
    uint32_t slot = 0;
    char* record = createbrushindirect_set(&slot, Slots.get(),
                                           logbrush_set(U_BS_SOLID, ColorRef(brush.Color), 0));
    return Created(record, slot);
  }

  uint32_t Font(const TFontSpec& font) override {
    uint16_t face[U_LF_FACESIZE] = {};
    const std::u16string name = ToUtf16(DecodeUtf8(font.Name));
    std::copy_n(name.begin(), std::min<size_t>(name.size(), U_LF_FACESIZE - 1), face);
    // Negative: the height of the characters without the leading, as the
    // point size gives it at the drawing's resolution.
    const auto height = -static_cast<int32_t>(std::lround(std::max(font.Size, 1) * Dpi / 72.0));
    const U_LOGFONT logFont = logfont_set(
        height, 0, 0, 0, (font.Style & fsBold) ? U_FW_BOLD : U_FW_NORMAL,
        (font.Style & fsItalic) ? 1 : 0, (font.Style & fsUnderline) ? 1 : 0,
        (font.Style & fsStrikeOut) ? 1 : 0, U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS,
        U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_DONTCARE, face);
    U_PANOSE panose{};
    U_LOGFONT_PANOSE full = logfont_panose_set(logFont, nullptr, nullptr, 0, panose);
    uint32_t slot = 0;
    char* record = extcreatefontindirectw_set(&slot, Slots.get(), nullptr,
                                              reinterpret_cast<const char*>(&full));
    return Created(record, slot);
  }

  void Delete(uint32_t slot) override { Append(deleteobject_set(&slot, Slots.get())); }
  void TextColor(const TColor& color) override { Append(U_EMRSETTEXTCOLOR_set(ColorRef(color))); }
  void BkMode(bool opaque) override {
    Append(U_EMRSETBKMODE_set(opaque ? U_OPAQUE : U_TRANSPARENT));
  }
  void BkColor(const TColor& color) override { Append(U_EMRSETBKCOLOR_set(ColorRef(color))); }
  void MoveTo(int x, int y) override { Append(U_EMRMOVETOEX_set(point32_set(x, y))); }
  void LineTo(int x, int y) override { Append(U_EMRLINETO_set(point32_set(x, y))); }

  void Shape(int left, int top, int right, int bottom, int more, bool ellipse) override {
    const U_RECTL box = Rect(left, top, right + more, bottom + more);
    Append(ellipse ? U_EMRELLIPSE_set(box) : U_EMRRECTANGLE_set(box));
  }

  void Polygon(const std::vector<TPoint>& points) override {
    int left = points[0].X, top = points[0].Y, right = left, bottom = top;
    bool small = true;
    for (const TPoint& p : points) {
      left = std::min(left, p.X), right = std::max(right, p.X);
      top = std::min(top, p.Y), bottom = std::max(bottom, p.Y);
      small = small && p.X >= INT16_MIN && p.X <= INT16_MAX && p.Y >= INT16_MIN && p.Y <= INT16_MAX;
    }
    const U_RECTL bounds = Rect(left, top, right, bottom);
    const auto count = static_cast<uint32_t>(points.size());
    if (small) {
      std::vector<U_POINT16> p16(points.size());
      for (size_t i = 0; i < points.size(); ++i)
        p16[i] = U_POINT16{static_cast<int16_t>(points[i].X), static_cast<int16_t>(points[i].Y)};
      Append(U_EMRPOLYGON16_set(bounds, count, p16.data()));
    } else {
      std::vector<U_POINTL> p32(points.size());
      for (size_t i = 0; i < points.size(); ++i)
        p32[i] = point32_set(points[i].X, points[i].Y);
      Append(U_EMRPOLYGON_set(bounds, count, p32.data()));
    }
  }

  void Text(int x, int y, const std::u32string& chars, const std::vector<int>& advances,
            const TRect& rect, bool opaque, bool clipped) override {
    const std::u16string units = ToUtf16(chars);
    // One advance per UTF-16 unit: the second half of a surrogate pair
    // advances no further.
    std::vector<uint32_t> dx;
    dx.reserve(units.size() + 1);
    for (size_t i = 0; i < chars.size(); ++i) {
      dx.push_back(static_cast<uint32_t>(advances[i]));
      if (chars[i] >= 0x10000) dx.push_back(0);
    }
    const uint32_t options = (clipped ? U_ETO_CLIPPED : 0) | (opaque ? U_ETO_OPAQUE : U_ETO_NONE);
    // emrtext_set copies the characters and the advances.
    char* emrText = emrtext_set(point32_set(x, y), static_cast<U_NUM_STR>(units.size()), 2,
                                const_cast<char16_t*>(units.data()), options,
                                Rect(rect.Left, rect.Top, rect.Right, rect.Bottom), dx.data());
    if (!emrText) throw std::bad_alloc();
    // The drawn area, edges included.
    const U_RECTL bounds = Rect(rect.Left, rect.Top, std::max(rect.Left, rect.Right - 1),
                                std::max(rect.Top, rect.Bottom - 1));
    // Page units to 0.01 mm, for players that scale text by it.
    const auto scale = static_cast<U_FLOAT>(2540.0 / Dpi);
    char* record = U_EMREXTTEXTOUTW_set(bounds, U_GM_COMPATIBLE, scale, scale,
                                        reinterpret_cast<PU_EMRTEXT>(emrText));
    std::free(emrText);
    Append(record);
  }

  void Glyph(int x, int y, int width, int height, const std::vector<char>& rows) override {
    const auto size = static_cast<uint32_t>(rows.size());
    U_BITMAPINFO* info = BitmapInfo(width, height, size, Dpi);
    const U_POINTL extent = point32_set(width, height);
    // The record is a copy of the rows.
    char* record = U_EMRSTRETCHDIBITS_set(
        Rect(x, y, x + width - 1, y + height - 1), point32_set(x, y), extent, point32_set(0, 0),
        extent, U_DIB_RGB_COLORS, U_SRCCOPY, info, size, const_cast<char*>(rows.data()));
    std::free(info);
    Append(record);
  }

  std::vector<uint8_t> Close(uint32_t pen, uint32_t brush, uint32_t font) override {
    // Our objects leave the device context before they are deleted.
    for (auto [slot, stock] : {std::pair{pen, U_BLACK_PEN}, std::pair{brush, U_WHITE_BRUSH},
                               std::pair{font, U_SYSTEM_FONT}})
      if (slot != NoObject) {
        Select(stock);
        Delete(slot);
      }
    U_CBPLENTRIES noPalette = 0;
    EMFTRACK track{};
    Append(U_EMREOF_set(noPalette, nullptr, &track));

    U_EMRHEADER header;
    std::memcpy(&header, Bytes.data(), sizeof header);
    header.nBytes = static_cast<uint32_t>(Bytes.size());
    header.nRecords = RecordCount;
    // Slot 0 is reserved: the table holds one more than the highest index,
    // and at least that slot.
    header.nHandles = static_cast<uint16_t>(std::max<uint32_t>(SlotsUsed(), 1));
    std::memcpy(Bytes.data(), &header, sizeof header);
    return std::move(Bytes);
  }

private:
  uint32_t Size(const char* record) const override {
    return reinterpret_cast<const U_EMR*>(record)->nSize;
  }
  void Select(uint32_t handle) override { Append(selectobject_set(handle, Slots.get())); }

  const std::unique_ptr<EMFHANDLES, void (*)(EMFHANDLES*)> Slots{
      NewTable(), [](EMFHANDLES* table) { emf_htable_free(&table); }};
};

} // namespace

TEmfCanvas::TEmfCanvas(int width, int height, TCanvas& measure, int dpi)
    : TMetafileCanvas(measure, std::make_unique<TEmfRecords>(width, height, dpi)) {}

} // namespace bw
