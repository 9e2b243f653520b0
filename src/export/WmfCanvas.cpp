#include "export/WmfCanvas.h"

#include "foundation/Conversions.h"

#include <uwmf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace bw {

struct TWmfCanvas::THandles {
  WMFHANDLES* Table = nullptr;
  uint32_t Highest = 0;
  bool Any = false;
  ~THandles() {
    if (Table) wmf_htable_free(&Table);
  }
};

namespace {

constexpr size_t PlaceableSize = 22;
constexpr size_t HeaderSize = 18;

U_COLORREF ColorRef(const TColor& c) {
  return colorref_set(c.R, c.G, c.B);
}

uint16_t PenStyle(TPenStyle style) {
  switch (style) {
  case TPenStyle::Dot:
    return U_PS_DOT;
  case TPenStyle::Dash:
    return U_PS_DASH;
  default:
    return U_PS_SOLID;
  }
}

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

} // namespace

TWmfCanvas::TWmfCanvas(int width, int height, TCanvas& measure, int dpi)
    : TMetafileCanvas(measure), Dpi(dpi > 0 ? dpi : 96), Handles(std::make_unique<THandles>()) {
  if (wmf_htable_create(64, 64, &Handles->Table) != 0) throw std::bad_alloc();
  const int longest = std::max(width, height);
  if (longest > MaxCoordinate) Factor = static_cast<double>(MaxCoordinate) / longest;
  const auto extentX = static_cast<int16_t>(std::max(1L, std::lround(width * Factor)));
  const auto extentY = static_cast<int16_t>(std::max(1L, std::lround(height * Factor)));
  // The physical size stays that of the pixels at the drawing's resolution.
  const auto inch = static_cast<uint16_t>(std::max(1L, std::lround(Dpi * Factor)));

  // The placeable header and the metafile header; their sizes and counts
  // are filled in by Finish.
  U_PAIRF* size =
      U_PAIRF_set(static_cast<float>(extentX) / inch, static_cast<float>(extentY) / inch);
  if (!size) throw std::bad_alloc();
  char* header = U_WMRHEADER_set(size, inch);
  std::free(size);
  if (!header) throw std::bad_alloc();
  Bytes.reserve(size_t{1} << 16);
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

TWmfCanvas::~TWmfCanvas() = default;

int16_t TWmfCanvas::L(int value) const {
  const long scaled = std::lround(value * Factor);
  return static_cast<int16_t>(std::clamp<long>(scaled, INT16_MIN, INT16_MAX));
}

void TWmfCanvas::Append(char* record) {
  if (!record) throw std::bad_alloc();
  const uint32_t size = U_wmr_size(reinterpret_cast<const U_METARECORD*>(record));
  try {
    Bytes.insert(Bytes.end(), record, record + size);
  } catch (...) {
    std::free(record);
    throw;
  }
  std::free(record);
  LargestRecord = std::max(LargestRecord, size / 2);
}

// A new object: it is selected, and the one it replaces is deleted, which
// frees that slot for the next object.
void TWmfCanvas::Created(char* record, uint32_t handle, uint32_t& current) {
  Append(record);
  Handles->Highest = std::max(Handles->Highest, handle);
  Handles->Any = true;
  Append(wselectobject_set(handle, Handles->Table));
  if (current != NoObject) Append(wdeleteobject_set(&current, Handles->Table));
  current = handle;
}

void TWmfCanvas::SelectPen(const TPen& pen) {
  const bool draws = Draws(pen);
  if (PenSet && (draws ? Draws(SelectedPen) && SamePen(pen, SelectedPen) : !Draws(SelectedPen)))
    return;
  const uint16_t style = draws ? PenStyle(pen.Style) : U_PS_NULL;
  const auto width = static_cast<uint16_t>(
      draws ? std::clamp<long>(std::lround(pen.Width * Factor), 1, INT16_MAX) : 0);
  uint32_t handle = 0;
  char* record =
      wcreatepenindirect_set(&handle, Handles->Table, U_PEN_set(style, width, ColorRef(pen.Color)));
  Created(record, handle, PenHandle);
  SelectedPen = pen;
  PenSet = true;
}

void TWmfCanvas::SelectBrush() {
  const bool solid = Brush.Style == TBrushStyle::Solid;
  if (BrushSet && Brush.Style == SelectedBrush.Style &&
      (!solid || Brush.Color == SelectedBrush.Color))
    return;
  uint32_t handle = 0;
  char* record = wcreatebrushindirect_set(
      &handle, Handles->Table,
      U_WLOGBRUSH_set(solid ? U_BS_SOLID : U_BS_NULL, ColorRef(Brush.Color), 0));
  Created(record, handle, BrushHandle);
  SelectedBrush = Brush;
  BrushSet = true;
}

void TWmfCanvas::SelectFont() {
  if (FontSet && SelectedFont == Font.Spec) return;
  const TFontSpec& spec = Font.Spec;
  std::string face = ToWindows1252(DecodeUtf8(spec.Name));
  if (face.size() > 31) face.resize(31);
  const auto height = static_cast<int16_t>(
      -std::clamp<long>(std::lround(std::max(spec.Size, 1) * Dpi / 72.0 * Factor), 1, INT16_MAX));
  U_FONT* font = U_FONT_set(height, 0, 0, 0, (spec.Style & fsBold) ? U_FW_BOLD : U_FW_NORMAL,
                            (spec.Style & fsItalic) ? 1 : 0, (spec.Style & fsUnderline) ? 1 : 0,
                            (spec.Style & fsStrikeOut) ? 1 : 0, U_ANSI_CHARSET,
                            U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY,
                            U_DEFAULT_PITCH | U_FF_DONTCARE, face.data());
  if (!font) throw std::bad_alloc();
  uint32_t handle = 0;
  char* record = wcreatefontindirect_set(&handle, Handles->Table, font);
  std::free(font);
  Created(record, handle, FontHandle);
  SelectedFont = spec;
  FontSet = true;
}

void TWmfCanvas::SetTextColours(bool opaque) {
  if (!TextColorSet || !(TextColor == Font.Color)) {
    Append(U_WMRSETTEXTCOLOR_set(ColorRef(Font.Color)));
    TextColor = Font.Color;
    TextColorSet = true;
  }
  const int mode = opaque ? U_OPAQUE : U_TRANSPARENT;
  if (BkMode != mode) {
    Append(U_WMRSETBKMODE_set(static_cast<uint16_t>(mode)));
    BkMode = mode;
  }
  if (opaque && (!BkColorSet || !(BkColor == Brush.Color))) {
    Append(U_WMRSETBKCOLOR_set(ColorRef(Brush.Color)));
    BkColor = Brush.Color;
    BkColorSet = true;
  }
}

void TWmfCanvas::MoveTo(int x, int y) {
  Append(U_WMRMOVETO_set(U_POINT16{L(x), L(y)}));
}

void TWmfCanvas::LineTo(int x, int y) {
  SelectPen(Pen);
  Append(U_WMRLINETO_set(U_POINT16{L(x), L(y)}));
}

void TWmfCanvas::Shape(int left, int top, int right, int bottom, bool ellipse) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (right == left || bottom == top) return;
  SelectPen(Pen);
  SelectBrush();
  // Without an outline the platform fills one unit less to the right and
  // below; the canvas fills up to right and bottom all the same.
  const int more = Draws(Pen) ? 0 : 1;
  const U_RECT16 box{L(left), L(top),
                     static_cast<int16_t>(std::min(L(right) + more, INT16_MAX + 0)),
                     static_cast<int16_t>(std::min(L(bottom) + more, INT16_MAX + 0))};
  Append(ellipse ? U_WMRELLIPSE_set(box) : U_WMRRECTANGLE_set(box));
}

void TWmfCanvas::Rectangle(int left, int top, int right, int bottom) {
  Shape(left, top, right, bottom, false);
}

void TWmfCanvas::Ellipse(int left, int top, int right, int bottom) {
  Shape(left, top, right, bottom, true);
}

void TWmfCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.empty() || points.size() > INT16_MAX) return;
  SelectPen(Pen);
  SelectBrush();
  std::vector<U_POINT16> p16(points.size());
  for (size_t i = 0; i < points.size(); ++i)
    p16[i] = U_POINT16{L(points[i].X), L(points[i].Y)};
  Append(U_WMRPOLYGON_set(static_cast<uint16_t>(p16.size()), p16.data()));
}

void TWmfCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == TBrushStyle::Clear) return;
  int left = std::min(rect.Left, rect.Right), right = std::max(rect.Left, rect.Right);
  int top = std::min(rect.Top, rect.Bottom), bottom = std::max(rect.Top, rect.Bottom);
  if (right == left || bottom == top) return;
  TPen none = Pen;
  none.Style = TPenStyle::Clear;
  SelectPen(none);
  SelectBrush();
  const U_RECT16 box{L(left), L(top), static_cast<int16_t>(std::min(L(right) + 1, INT16_MAX + 0)),
                     static_cast<int16_t>(std::min(L(bottom) + 1, INT16_MAX + 0))};
  Append(U_WMRRECTANGLE_set(box));
}

void TWmfCanvas::Text(int x, int y, std::string_view text, TRect rect, uint16_t options) {
  const int width = TextWidth(text);
  SelectFont();
  SetTextColours(options & U_ETO_OPAQUE);
  std::u32string chars = DecodeUtf8(text);
  // The record counts its bytes in 16 bits.
  if (chars.size() > static_cast<size_t>(INT16_MAX)) chars.resize(INT16_MAX);
  const std::vector<int> advances = Advances(chars, width);
  std::string bytes = ToWindows1252(chars);
  // Where each character ends, scaled as the coordinates are, so that the
  // rounding does not add up along the text.
  std::vector<int16_t> dx(bytes.size());
  long start = std::lround(x * Factor), end = 0;
  int pixel = x;
  for (size_t i = 0; i < bytes.size(); ++i) {
    pixel += advances[i];
    end = std::lround(pixel * Factor);
    dx[i] = static_cast<int16_t>(std::clamp<long>(end - start, INT16_MIN, INT16_MAX));
    start = end;
  }
  // The record holds a rectangle object, left, top, right, bottom; libUEMF
  // stores it reversed, as it does the parameters of a Rectangle call, so
  // it is handed over reversed.
  const U_RECT16 r{L(rect.Bottom), L(rect.Right), L(rect.Top), L(rect.Left)};
  Append(U_WMREXTTEXTOUT_set(U_POINT16{L(x), L(y)}, static_cast<int16_t>(bytes.size()), options,
                             bytes.data(), dx.data(), r));
}

void TWmfCanvas::TextOut(int x, int y, std::string_view text) {
  const bool opaque = Brush.Style == TBrushStyle::Solid;
  const TRect cell{x, y, x + TextWidth(text), y + TextHeight(text)};
  Text(x, y, text, cell, opaque ? U_ETO_OPAQUE : U_ETO_NONE);
}

void TWmfCanvas::TextRect(const TRect& clip, int x, int y, std::string_view text) {
  const bool opaque = Brush.Style == TBrushStyle::Solid;
  const TRect r{std::min(clip.Left, clip.Right), std::min(clip.Top, clip.Bottom),
                std::max(clip.Left, clip.Right), std::max(clip.Top, clip.Bottom)};
  Text(x, y, text, r, static_cast<uint16_t>(U_ETO_CLIPPED | (opaque ? U_ETO_OPAQUE : U_ETO_NONE)));
}

void TWmfCanvas::Draw(int x, int y, const TGlyph& glyph) {
  if (glyph.Width <= 0 || glyph.Height <= 0 || glyph.Width > INT16_MAX || glyph.Height > INT16_MAX)
    return;
  const int w = glyph.Width, h = glyph.Height;
  const size_t rowBytes = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  // A 24-bit bitmap, rows from the bottom, blue, green, red.
  std::vector<char> pixels(rowBytes * static_cast<size_t>(h), 0);
  for (int row = 0; row < h; ++row) {
    char* out = pixels.data() + static_cast<size_t>(h - 1 - row) * rowBytes;
    for (int col = 0; col < w; ++col) {
      const TColor& c = glyph.Pixels[static_cast<size_t>(row) * w + col];
      out[3 * col] = static_cast<char>(c.B);
      out[3 * col + 1] = static_cast<char>(c.G);
      out[3 * col + 2] = static_cast<char>(c.R);
    }
  }
  const auto perMetre = static_cast<int32_t>(std::lround(Dpi / 0.0254));
  U_BITMAPINFO* info = bitmapinfo_set(bitmapinfoheader_set(w, h, 1, 24, U_BI_RGB,
                                                           static_cast<uint32_t>(pixels.size()),
                                                           perMetre, perMetre, 0, 0),
                                      nullptr);
  if (!info) throw std::bad_alloc();
  const U_POINT16 dest{L(x), L(y)};
  const U_POINT16 destSize{static_cast<int16_t>(L(x + w) - dest.x),
                           static_cast<int16_t>(L(y + h) - dest.y)};
  char* record = U_WMRSTRETCHDIB_set(
      dest, destSize, U_POINT16{0, 0}, U_POINT16{static_cast<int16_t>(w), static_cast<int16_t>(h)},
      U_DIB_RGB_COLORS, U_SRCCOPY, info, static_cast<uint32_t>(pixels.size()), pixels.data());
  std::free(info);
  Append(record);
}

std::vector<uint8_t> TWmfCanvas::Finish() {
  if (Finished) return {};
  Append(U_WMREOF_set());
  Finished = true;
  // The metafile proper begins after the placeable header.
  const size_t words = (Bytes.size() - PlaceableSize) / 2;
  Put32(Bytes, PlaceableSize + 6, static_cast<uint32_t>(words));
  Put16(Bytes, PlaceableSize + 10, static_cast<uint16_t>(Handles->Any ? Handles->Highest + 1 : 0));
  Put32(Bytes, PlaceableSize + 12, LargestRecord);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2)
    checksum ^= static_cast<uint16_t>(Bytes[i] | (Bytes[i + 1] << 8));
  Put16(Bytes, 20, checksum);
  return std::move(Bytes);
}

} // namespace bw
