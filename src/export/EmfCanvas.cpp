#include "export/EmfCanvas.h"

#include "foundation/Conversions.h"

#include <uemf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace bw {

struct TEmfCanvas::THandles {
  EMFHANDLES* Table = nullptr;
  uint32_t Highest = 0;
  ~THandles() {
    if (Table) emf_htable_free(&Table);
  }
};

namespace {

U_COLORREF ColorRef(const TColor& c) {
  return colorref_set(c.R, c.G, c.B);
}

U_RECTL Rect(int left, int top, int right, int bottom) {
  return rectl_set(point32_set(left, top), point32_set(right, bottom));
}

uint32_t PenStyle(TPenStyle style) {
  switch (style) {
  case TPenStyle::Dot:
    return U_PS_DOT;
  case TPenStyle::Dash:
    return U_PS_DASH;
  default:
    return U_PS_SOLID;
  }
}

} // namespace

TEmfCanvas::TEmfCanvas(int width, int height, TCanvas& measure, int dpi)
    : TMetafileCanvas(measure), Dpi(dpi > 0 ? dpi : 96), Handles(std::make_unique<THandles>()) {
  if (emf_htable_create(64, 64, &Handles->Table) != 0) throw std::bad_alloc();
  // A reference device of 20 x 15 inches, so that pixels and millimetres
  // agree exactly at any resolution.
  const U_SIZEL device = sizel_set(20 * Dpi, 15 * Dpi);
  const U_SIZEL millimetres = sizel_set(508, 381);
  const auto frame = [&](int px) { return static_cast<int32_t>(std::lround(px * 2540.0 / Dpi)); };
  Bytes.reserve(size_t{1} << 16);
  Append(U_EMRHEADER_set(Rect(0, 0, width - 1, height - 1), Rect(0, 0, frame(width), frame(height)),
                         nullptr, 0, nullptr, device, millimetres, 0));
  // Texts are placed by their top-left corner.
  Append(U_EMRSETTEXTALIGN_set(U_TA_TOP | U_TA_LEFT | U_TA_NOUPDATECP));
}

TEmfCanvas::~TEmfCanvas() = default;

void TEmfCanvas::Append(char* record) {
  if (!record) throw std::bad_alloc();
  const uint32_t size = reinterpret_cast<const U_EMR*>(record)->nSize;
  try {
    Bytes.insert(Bytes.end(), record, record + size);
  } catch (...) {
    std::free(record);
    throw;
  }
  std::free(record);
  ++Records;
}

void TEmfCanvas::SelectPen(const TPen& pen) {
  const bool draws = Draws(pen);
  if (PenSet && (draws ? Draws(SelectedPen) && SamePen(pen, SelectedPen) : !Draws(SelectedPen)))
    return;
  uint32_t handle = 0;
  if (!draws) {
    Append(selectobject_set(U_NULL_PEN, Handles->Table));
  } else {
    const uint32_t style = PenStyle(pen.Style);
    if (pen.Width > 1 && style != U_PS_SOLID) {
      // A wide pen keeps its dots or dashes only as a geometric pen.
      PU_EXTLOGPEN logPen = extlogpen_set(
          U_PS_GEOMETRIC | style | U_PS_ENDCAP_ROUND | U_PS_JOIN_ROUND,
          static_cast<uint32_t>(pen.Width), U_BS_SOLID, ColorRef(pen.Color), 0, 0, nullptr);
      if (!logPen) throw std::bad_alloc();
      char* record = extcreatepen_set(&handle, Handles->Table, nullptr, 0, nullptr, logPen);
      std::free(logPen);
      Append(record);
    } else {
      Append(createpen_set(&handle, Handles->Table,
                           logpen_set(style, point32_set(pen.Width, 0), ColorRef(pen.Color))));
    }
    Handles->Highest = std::max(Handles->Highest, handle);
    Append(selectobject_set(handle, Handles->Table));
  }
  if (PenHandle != 0) Append(deleteobject_set(&PenHandle, Handles->Table));
  PenHandle = handle;
  SelectedPen = pen;
  PenSet = true;
}

void TEmfCanvas::SelectBrush() {
  const bool solid = Brush.Style == TBrushStyle::Solid;
  if (BrushSet && Brush.Style == SelectedBrush.Style &&
      (!solid || Brush.Color == SelectedBrush.Color))
    return;
  uint32_t handle = 0;
  if (!solid) {
    Append(selectobject_set(U_NULL_BRUSH, Handles->Table));
  } else {
    Append(createbrushindirect_set(&handle, Handles->Table,
                                   logbrush_set(U_BS_SOLID, ColorRef(Brush.Color), 0)));
    Handles->Highest = std::max(Handles->Highest, handle);
    Append(selectobject_set(handle, Handles->Table));
  }
  if (BrushHandle != 0) Append(deleteobject_set(&BrushHandle, Handles->Table));
  BrushHandle = handle;
  SelectedBrush = Brush;
  BrushSet = true;
}

void TEmfCanvas::SelectFont() {
  if (FontSet && SelectedFont == Font.Spec) return;
  const TFontSpec& spec = Font.Spec;
  uint16_t face[U_LF_FACESIZE] = {};
  const std::u16string name = ToUtf16(DecodeUtf8(spec.Name));
  std::copy_n(name.begin(), std::min<size_t>(name.size(), U_LF_FACESIZE - 1), face);
  // Negative: the height of the characters without the leading, as the
  // point size gives it at the drawing's resolution.
  const auto height = -static_cast<int32_t>(std::lround(std::max(spec.Size, 1) * Dpi / 72.0));
  const U_LOGFONT logFont =
      logfont_set(height, 0, 0, 0, (spec.Style & fsBold) ? U_FW_BOLD : U_FW_NORMAL,
                  (spec.Style & fsItalic) ? 1 : 0, (spec.Style & fsUnderline) ? 1 : 0,
                  (spec.Style & fsStrikeOut) ? 1 : 0, U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS,
                  U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_DONTCARE, face);
  U_PANOSE panose{};
  U_LOGFONT_PANOSE full = logfont_panose_set(logFont, nullptr, nullptr, 0, panose);
  uint32_t handle = 0;
  Append(extcreatefontindirectw_set(&handle, Handles->Table, nullptr,
                                    reinterpret_cast<const char*>(&full)));
  Handles->Highest = std::max(Handles->Highest, handle);
  Append(selectobject_set(handle, Handles->Table));
  if (FontHandle != 0) Append(deleteobject_set(&FontHandle, Handles->Table));
  FontHandle = handle;
  SelectedFont = spec;
  FontSet = true;
}

void TEmfCanvas::SetTextColours(bool opaque) {
  if (!TextColorSet || !(TextColor == Font.Color)) {
    Append(U_EMRSETTEXTCOLOR_set(ColorRef(Font.Color)));
    TextColor = Font.Color;
    TextColorSet = true;
  }
  const int mode = opaque ? U_OPAQUE : U_TRANSPARENT;
  if (BkMode != mode) {
    Append(U_EMRSETBKMODE_set(static_cast<uint32_t>(mode)));
    BkMode = mode;
  }
  if (opaque && (!BkColorSet || !(BkColor == Brush.Color))) {
    Append(U_EMRSETBKCOLOR_set(ColorRef(Brush.Color)));
    BkColor = Brush.Color;
    BkColorSet = true;
  }
}

void TEmfCanvas::MoveTo(int x, int y) {
  Append(U_EMRMOVETOEX_set(point32_set(x, y)));
}

void TEmfCanvas::LineTo(int x, int y) {
  SelectPen(Pen);
  Append(U_EMRLINETO_set(point32_set(x, y)));
}

void TEmfCanvas::Shape(int left, int top, int right, int bottom, bool ellipse) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (right == left || bottom == top) return;
  SelectPen(Pen);
  SelectBrush();
  // Without an outline the platform fills one pixel less to the right and
  // below; the canvas fills up to right and bottom all the same.
  if (!Draws(Pen)) ++right, ++bottom;
  const U_RECTL box = Rect(left, top, right, bottom);
  Append(ellipse ? U_EMRELLIPSE_set(box) : U_EMRRECTANGLE_set(box));
}

void TEmfCanvas::Rectangle(int left, int top, int right, int bottom) {
  Shape(left, top, right, bottom, false);
}

void TEmfCanvas::Ellipse(int left, int top, int right, int bottom) {
  Shape(left, top, right, bottom, true);
}

void TEmfCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  SelectPen(Pen);
  SelectBrush();
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

void TEmfCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == TBrushStyle::Clear) return;
  TPen none = Pen;
  none.Style = TPenStyle::Clear;
  int left = std::min(rect.Left, rect.Right), right = std::max(rect.Left, rect.Right);
  int top = std::min(rect.Top, rect.Bottom), bottom = std::max(rect.Top, rect.Bottom);
  if (right == left || bottom == top) return;
  SelectPen(none);
  SelectBrush();
  Append(U_EMRRECTANGLE_set(Rect(left, top, right + 1, bottom + 1)));
}

void TEmfCanvas::Text(int x, int y, std::string_view text, TRect rect, uint32_t options) {
  const int width = TextWidth(text);
  SelectFont();
  SetTextColours(options & U_ETO_OPAQUE);
  const std::u32string chars = DecodeUtf8(text);
  const std::vector<int> advances = Advances(chars, width);
  const std::u16string units = ToUtf16(chars);
  // One advance per UTF-16 unit: the second half of a surrogate pair
  // advances no further.
  std::vector<uint32_t> dx;
  dx.reserve(units.size() + 1);
  for (size_t i = 0; i < chars.size(); ++i) {
    dx.push_back(static_cast<uint32_t>(advances[i]));
    if (chars[i] >= 0x10000) dx.push_back(0);
  }
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

void TEmfCanvas::TextOut(int x, int y, std::string_view text) {
  const bool opaque = Brush.Style == TBrushStyle::Solid;
  const TRect cell{x, y, x + TextWidth(text), y + TextHeight(text)};
  Text(x, y, text, cell, opaque ? U_ETO_OPAQUE : U_ETO_NONE);
}

void TEmfCanvas::TextRect(const TRect& clip, int x, int y, std::string_view text) {
  const bool opaque = Brush.Style == TBrushStyle::Solid;
  const TRect r{std::min(clip.Left, clip.Right), std::min(clip.Top, clip.Bottom),
                std::max(clip.Left, clip.Right), std::max(clip.Top, clip.Bottom)};
  Text(x, y, text, r, U_ETO_CLIPPED | (opaque ? U_ETO_OPAQUE : U_ETO_NONE));
}

void TEmfCanvas::Draw(int x, int y, const TGlyph& glyph) {
  if (glyph.Width <= 0 || glyph.Height <= 0) return;
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
  PU_BITMAPINFO info = bitmapinfo_set(bitmapinfoheader_set(w, h, 1, 24, U_BI_RGB,
                                                           static_cast<uint32_t>(pixels.size()),
                                                           perMetre, perMetre, 0, 0),
                                      nullptr);
  if (!info) throw std::bad_alloc();
  char* record =
      U_EMRSTRETCHDIBITS_set(Rect(x, y, x + w - 1, y + h - 1), point32_set(x, y), point32_set(w, h),
                             point32_set(0, 0), point32_set(w, h), U_DIB_RGB_COLORS, U_SRCCOPY,
                             info, static_cast<uint32_t>(pixels.size()), pixels.data());
  std::free(info);
  Append(record);
}

std::vector<uint8_t> TEmfCanvas::Finish() {
  if (Finished) return {};
  // Our objects leave the device context before they are deleted.
  if (PenHandle != 0) {
    Append(selectobject_set(U_BLACK_PEN, Handles->Table));
    Append(deleteobject_set(&PenHandle, Handles->Table));
  }
  if (BrushHandle != 0) {
    Append(selectobject_set(U_WHITE_BRUSH, Handles->Table));
    Append(deleteobject_set(&BrushHandle, Handles->Table));
  }
  if (FontHandle != 0) {
    Append(selectobject_set(U_SYSTEM_FONT, Handles->Table));
    Append(deleteobject_set(&FontHandle, Handles->Table));
  }
  U_CBPLENTRIES noPalette = 0;
  EMFTRACK track{};
  Append(U_EMREOF_set(noPalette, nullptr, &track));
  Finished = true;

  U_EMRHEADER header;
  std::memcpy(&header, Bytes.data(), sizeof header);
  header.nBytes = static_cast<uint32_t>(Bytes.size());
  header.nRecords = Records;
  // Slot 0 is reserved: the table holds one more than the highest index.
  header.nHandles = static_cast<uint16_t>(Handles->Highest + 1);
  std::memcpy(Bytes.data(), &header, sizeof header);
  return std::move(Bytes);
}

} // namespace bw
