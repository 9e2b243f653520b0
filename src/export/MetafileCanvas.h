// What the EMF and WMF canvases share: texts are measured on the canvas the
// drawing was laid out with, and every text is written with the advance of
// each character, so that it keeps its measured width wherever the file is
// played with fonts that measure differently.
#pragma once

#include "canvas/Canvas.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bw {

// The code points of a UTF-8 text; a byte that begins no valid sequence
// stands for U+FFFD.
std::u32string DecodeUtf8(std::string_view text);
std::u16string ToUtf16(std::u32string_view text);
// Windows-1252, one byte a character; a character it lacks becomes "?".
std::string ToWindows1252(std::u32string_view text);

class TMetafileCanvas : public TCanvas {
public:
  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;

protected:
  // measure: not owned, must outlive the canvas.
  explicit TMetafileCanvas(TCanvas& measure) : Measure(measure) {}

  // The advance of each character in pixels, adding up to `width`: the
  // single characters' widths, spread over the width the whole text has.
  std::vector<int> Advances(std::u32string_view chars, int width);

  // A pen that draws: neither clear nor of width 0 or less.
  static bool Draws(const TPen& pen) { return pen.Style != TPenStyle::Clear && pen.Width > 0; }
  static bool SamePen(const TPen& a, const TPen& b) {
    return a.Color == b.Color && a.Width == b.Width && a.Style == b.Style;
  }

  TCanvas& Measure;

private:
  void UseFont();
  int CharWidth(char32_t c);

  TFontSpec CharFont;
  bool HaveCharFont = false;
  std::unordered_map<char32_t, int> CharWidths;
};

} // namespace bw
