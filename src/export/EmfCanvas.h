// An enhanced metafile of a drawing, recorded call by call: each drawing
// operation of the canvas becomes one record, after the records that put the
// pen, brush, font and text colours it needs into the device context. The
// coordinates are the picture's pixels (the default mapping mode); the
// header gives the physical size at the drawing's resolution.
#pragma once

#include "export/MetafileCanvas.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace bw {

class TEmfCanvas : public TMetafileCanvas {
public:
  // A picture of width x height pixels at dpi pixels per inch; measure as
  // for TMetafileCanvas.
  TEmfCanvas(int width, int height, TCanvas& measure, int dpi = 96);
  ~TEmfCanvas() override;

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
  struct THandles;

  void Append(char* record);
  void SelectPen(const TPen& pen);
  void SelectBrush();
  void SelectFont();
  void SetTextColours(bool opaque);
  void Text(int x, int y, std::string_view text, TRect rect, uint32_t options);
  void Shape(int left, int top, int right, int bottom, bool ellipse);

  int Dpi;
  std::vector<uint8_t> Bytes;
  uint32_t Records = 0;
  std::unique_ptr<THandles> Handles;
  bool Finished = false;

  // What the device context holds; a handle of 0 is a stock object.
  bool PenSet = false, BrushSet = false, FontSet = false;
  TPen SelectedPen;
  TBrush SelectedBrush;
  TFontSpec SelectedFont;
  uint32_t PenHandle = 0, BrushHandle = 0, FontHandle = 0;
  bool TextColorSet = false, BkColorSet = false;
  TColor TextColor, BkColor;
  int BkMode = 0;
};

} // namespace bw
