// A metafile of a drawing, recorded call by call: each drawing operation
// of the canvas becomes one record, after the records that put the pen,
// brush, font and text colours it needs into the device context. The
// canvas keeps what the device context holds and decides which records a
// call needs; a format (EMF, WMF) supplies the records themselves. Texts
// are measured on the canvas the drawing was laid out with, and every text
// is written with the advance of each character, so that it keeps its
// measured width wherever the file is played with fonts that measure
// differently.
#pragma once

#include "canvas/Canvas.h"
#include "foundation/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bw {

std::u16string ToUtf16(std::u32string_view text);
// Windows-1252, one byte a character; a character it lacks becomes "?".
std::string ToWindows1252(std::u32string_view text);

// A pen that draws: neither clear nor of width 0 or less.
inline bool Draws(const TPen& pen) {
  return pen.Style != TPenStyle::Clear && pen.Width > 0;
}

// The records of one format, made with libUEMF, and the file they make up.
// Pen, Brush and Font record an object made like their argument and select
// it; they return its slot, or NoObject where a stock object is selected
// instead.
class TMetafileRecords {
public:
  static constexpr uint32_t NoObject = UINT32_MAX;

  // The most points of a polygon, characters of a text or pixels of a
  // glyph's side that one record holds: a text is cut there, a larger
  // polygon or glyph is left out.
  const size_t MaxItems;

  virtual ~TMetafileRecords() = default;

  virtual uint32_t Pen(const TPen& pen) = 0;
  virtual uint32_t Brush(const TBrush& brush) = 0;
  virtual uint32_t Font(const TFontSpec& font) = 0;
  virtual void Delete(uint32_t slot) = 0;
  virtual void TextColor(const TColor& color) = 0;
  virtual void BkMode(bool opaque) = 0;
  virtual void BkColor(const TColor& color) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  // left <= right and top <= bottom; `more` units are added to the right
  // and bottom, after any conversion of the coordinates.
  virtual void Shape(int left, int top, int right, int bottom, int more, bool ellipse) = 0;
  virtual void Polygon(const std::vector<TPoint>& points) = 0;
  // One advance a character; opaque: the rectangle is filled with the
  // background colour.
  virtual void Text(int x, int y, const std::u32string& chars, const std::vector<int>& advances,
                    const TRect& rect, bool opaque, bool clipped) = 0;
  // rows: 24 bits a pixel, blue, green, red, from the bottom row up, each
  // row padded to 4 bytes.
  virtual void Glyph(int x, int y, int width, int height, const std::vector<char>& rows) = 0;
  // Ends the file with its last records and the header's totals, and hands
  // it out. pen, brush, font: the objects of ours still selected, or
  // NoObject.
  virtual std::vector<uint8_t> Close(uint32_t pen, uint32_t brush, uint32_t font) = 0;

protected:
  // dpi: the drawing's resolution, 96 if not positive.
  TMetafileRecords(int dpi, size_t maxItems);

  // Appends a record libUEMF made and frees it; a null record is an
  // allocation that failed.
  void Append(char* record);
  // Appends the record that makes an object in `slot` and selects it;
  // returns the slot.
  uint32_t Created(char* record, uint32_t slot);
  // One more than the highest slot our objects took; 0 if they took none.
  uint32_t SlotsUsed() const { return HighestSlot ? *HighestSlot + 1 : 0; }

  const int Dpi;
  std::vector<uint8_t> Bytes;
  uint32_t RecordCount = 0;   // appended, the first included
  uint32_t LargestRecord = 0; // in bytes

private:
  virtual uint32_t Size(const char* record) const = 0;
  virtual void Select(uint32_t handle) = 0;

  std::optional<uint32_t> HighestSlot;
};

class TMetafileCanvas : public TCanvas {
public:
  // measure: not owned, must outlive the canvas.
  TMetafileCanvas(TCanvas& measure, std::unique_ptr<TMetafileRecords> records);

  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Rectangle(int left, int top, int right, int bottom) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Polygon(const std::vector<TPoint>& points) override;
  void FillRect(const TRect& rect) override;
  void TextOut(int x, int y, std::string_view text) override;
  void TextRect(const TRect& clip, int x, int y, std::string_view text) override;
  void Draw(int x, int y, const TGlyph& glyph) override;

  // Ends the picture and hands out the file; no drawing may follow.
  std::vector<uint8_t> Finish();

private:
  static constexpr uint32_t NoObject = TMetafileRecords::NoObject;

  void UseFont();
  int CharWidth(char32_t c);
  // The advance of each character in pixels, adding up to `width`: the
  // single characters' widths, spread over the width the whole text has.
  std::vector<int> Advances(std::u32string_view chars, int width);
  void SelectPen(const TPen& pen);
  void SelectBrush();
  void SelectFont();
  void Replace(uint32_t& current, uint32_t slot);
  void SetTextColours(bool opaque);
  void Shape(const TPen& pen, int left, int top, int right, int bottom, bool ellipse);
  void Text(int x, int y, std::string_view text, const TRect& rect, bool clipped);

  TCanvas& Measure;
  std::unique_ptr<TMetafileRecords> Out;
  bool Finished = false;

  // What the device context holds; empty until a record sets it.
  std::optional<TPen> SelectedPen;
  std::optional<TBrush> SelectedBrush;
  std::optional<TFontSpec> SelectedFont;
  std::optional<TColor> TextColor, BkColor;
  std::optional<bool> BkOpaque;
  // The objects of ours in it.
  uint32_t PenSlot = NoObject, BrushSlot = NoObject, FontSlot = NoObject;

  TFontSpec CharFont;
  bool HaveCharFont = false;
  std::unordered_map<char32_t, int> CharWidths;
};

} // namespace bw
