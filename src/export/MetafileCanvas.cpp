#include "export/MetafileCanvas.h"

#include <algorithm>
#include <cstdint>

namespace bw {

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t c = 0, min = 0;
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, min = 0x10000;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    size_t j = i + 1;
    for (; j < text.size() && j <= i + extra; ++j) {
      const auto next = static_cast<unsigned char>(text[j]);
      if ((next & 0xC0) != 0x80) break;
      c = (c << 6) | (next & 0x3F);
    }
    const bool complete = j == i + 1 + extra;
    if (!complete || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(0xFFFD);
      i = j;
      continue;
    }
    out.push_back(c);
    i = j;
  }
  return out;
}

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
  if (c < 0x80) {
    utf8.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    utf8 += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
  } else if (c < 0x10000) {
    utf8 += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
             static_cast<char>(0x80 | (c & 0x3F))};
  } else {
    utf8 += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
             static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  }
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

} // namespace bw
