#include "export/MetafileCanvas.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace bw {

std::u16string ToUtf16(std::u32string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
  return out;
}

std::string ToWindows1252(std::u32string_view text) {
  // The code points of the bytes 0x80 to 0x9F; 0 where the code page has none.
  static constexpr char16_t High[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    char byte = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      byte = static_cast<char>(c);
    } else {
      for (int i = 0; i < 32; ++i)
        if (High[i] != 0 && High[i] == c) byte = static_cast<char>(0x80 + i);
    }
    out.push_back(byte);
  }
  return out;
}

TMetafileRecords::TMetafileRecords(int dpi, size_t maxItems)
    : MaxItems(maxItems), Dpi(dpi > 0 ? dpi : 96) {
  Bytes.reserve(size_t{1} << 16);
}

void TMetafileRecords::Append(char* record) {
  if (!record) throw std::bad_alloc();
  const uint32_t size = Size(record);
  try {
    Bytes.insert(Bytes.end(), record, record + size);
  } catch (...) {
    std::free(record);
    throw;
  }
  std::free(record);
  ++RecordCount;
  LargestRecord = std::max(LargestRecord, size);
}

uint32_t TMetafileRecords::Created(char* record, uint32_t slot) {
  Append(record);
  HighestSlot = std::max(HighestSlot.value_or(0), slot);
  Select(slot);
  return slot;
}

TMetafileCanvas::TMetafileCanvas(TCanvas& measure, std::unique_ptr<TMetafileRecords> records)
    : Measure(measure), Out(std::move(records)) {}

std::vector<uint8_t> TMetafileCanvas::Finish() {
  if (Finished) return {};
  Finished = true;
  return Out->Close(PenSlot, BrushSlot, FontSlot);
}

void TMetafileCanvas::UseFont() {
  if (!(Measure.Font.Spec == Font.Spec)) Measure.Font = Font;
}

int TMetafileCanvas::TextWidth(std::string_view text) {
  UseFont();
  return Measure.TextWidth(text);
}

int TMetafileCanvas::TextHeight(std::string_view text) {
  UseFont();
  return Measure.TextHeight(text);
}

int TMetafileCanvas::CharWidth(char32_t c) {
  if (!HaveCharFont || !(CharFont == Font.Spec)) {
    CharWidths.clear();
    CharFont = Font.Spec;
    HaveCharFont = true;
  }
  if (auto it = CharWidths.find(c); it != CharWidths.end()) return it->second;
  std::string utf8;
  // Back to UTF-8 for the measuring canvas.
  AppendUtf8(utf8, c);
  const int width = TextWidth(utf8);
  CharWidths.emplace(c, width);
  return width;
}

std::vector<int> TMetafileCanvas::Advances(std::u32string_view chars, int width) {
  std::vector<int> widths(chars.size());
  int64_t sum = 0;
  for (size_t i = 0; i < chars.size(); ++i)
    sum += widths[i] = std::max(CharWidth(chars[i]), 0);
  if (chars.empty()) return widths;
  if (sum <= 0) {
    widths.back() = width;
    return widths;
  }
  // Each character ends where its share of the whole width ends, rounded:
  // the advances add up to the width exactly.
  int64_t running = 0, lastEnd = 0;
  for (int& w : widths) {
    running += w;
    const int64_t end = (2 * running * width + sum) / (2 * sum);
    w = static_cast<int>(end - lastEnd);
    lastEnd = end;
  }
  return widths;
}

void TMetafileCanvas::SelectPen(const TPen& pen) {
  // All pens that draw nothing are the same.
  const auto same = [&](const TPen& p) {
    return Draws(pen)
               ? Draws(p) && p.Color == pen.Color && p.Width == pen.Width && p.Style == pen.Style
               : !Draws(p);
  };
  if (SelectedPen && same(*SelectedPen)) return;
  Replace(PenSlot, Out->Pen(pen));
  SelectedPen = pen;
}

void TMetafileCanvas::SelectBrush() {
  const bool solid = Brush.Style == TBrushStyle::Solid;
  if (SelectedBrush && Brush.Style == SelectedBrush->Style &&
      (!solid || Brush.Color == SelectedBrush->Color))
    return;
  Replace(BrushSlot, Out->Brush(Brush));
  SelectedBrush = Brush;
}

void TMetafileCanvas::SelectFont() {
  if (SelectedFont == Font.Spec) return;
  Replace(FontSlot, Out->Font(Font.Spec));
  SelectedFont = Font.Spec;
}

// The object replaced is deleted once the new one is selected, which frees
// its slot for the next object.
void TMetafileCanvas::Replace(uint32_t& current, uint32_t slot) {
  if (current != NoObject) Out->Delete(current);
  current = slot;
}

void TMetafileCanvas::SetTextColours(bool opaque) {
  if (TextColor != Font.Color) {
    Out->TextColor(Font.Color);
    TextColor = Font.Color;
  }
  if (BkOpaque != opaque) {
    Out->BkMode(opaque);
    BkOpaque = opaque;
  }
  if (opaque && BkColor != Brush.Color) {
    Out->BkColor(Brush.Color);
    BkColor = Brush.Color;
  }
}

void TMetafileCanvas::MoveTo(int x, int y) {
  Out->MoveTo(x, y);
}

void TMetafileCanvas::LineTo(int x, int y) {
  SelectPen(Pen);
  Out->LineTo(x, y);
}

void TMetafileCanvas::Shape(const TPen& pen, int left, int top, int right, int bottom,
                            bool ellipse) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (right == left || bottom == top) return;
  SelectPen(pen);
  SelectBrush();
  // Without an outline a player fills one unit less to the right and
  // below; the canvas fills up to right and bottom all the same.
  Out->Shape(left, top, right, bottom, Draws(pen) ? 0 : 1, ellipse);
}

void TMetafileCanvas::Rectangle(int left, int top, int right, int bottom) {
  Shape(Pen, left, top, right, bottom, false);
}

void TMetafileCanvas::Ellipse(int left, int top, int right, int bottom) {
  Shape(Pen, left, top, right, bottom, true);
}

void TMetafileCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == TBrushStyle::Clear) return;
  TPen none = Pen;
  none.Style = TPenStyle::Clear;
  Shape(none, rect.Left, rect.Top, rect.Right, rect.Bottom, false);
}

void TMetafileCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.empty() || points.size() > Out->MaxItems) return;
  SelectPen(Pen);
  SelectBrush();
  Out->Polygon(points);
}

void TMetafileCanvas::Text(int x, int y, std::string_view text, const TRect& rect, bool clipped) {
  const bool opaque = Brush.Style == TBrushStyle::Solid;
  const int width = TextWidth(text);
  SelectFont();
  SetTextColours(opaque);
  std::u32string chars = DecodeUtf8(text);
  if (chars.size() > Out->MaxItems) chars.resize(Out->MaxItems);
  Out->Text(x, y, chars, Advances(chars, width), rect, opaque, clipped);
}

void TMetafileCanvas::TextOut(int x, int y, std::string_view text) {
  Text(x, y, text, {x, y, x + TextWidth(text), y + TextHeight(text)}, false);
}

void TMetafileCanvas::TextRect(const TRect& clip, int x, int y, std::string_view text) {
  const TRect r{std::min(clip.Left, clip.Right), std::min(clip.Top, clip.Bottom),
                std::max(clip.Left, clip.Right), std::max(clip.Top, clip.Bottom)};
  Text(x, y, text, r, true);
}

void TMetafileCanvas::Draw(int x, int y, const TGlyph& glyph) {
  const int w = glyph.Width, h = glyph.Height;
  if (w <= 0 || h <= 0 || static_cast<size_t>(std::max(w, h)) > Out->MaxItems) return;
  const size_t rowBytes = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  std::vector<char> rows(rowBytes * static_cast<size_t>(h), 0);
  for (int row = 0; row < h; ++row) {
    char* out = rows.data() + static_cast<size_t>(h - 1 - row) * rowBytes;
    for (int col = 0; col < w; ++col) {
      const TColor& c = glyph.Pixels[static_cast<size_t>(row) * w + col];
      out[3 * col] = static_cast<char>(c.B);
      out[3 * col + 1] = static_cast<char>(c.G);
      out[3 * col + 2] = static_cast<char>(c.R);
    }
  }
  Out->Glyph(x, y, w, h, rows);
}

} // namespace bw
