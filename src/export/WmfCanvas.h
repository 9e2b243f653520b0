// A placeable old-style metafile of a drawing, recorded call by call as the
// EMF canvas does. Its coordinates are 16-bit: a picture wider or higher
// than 32767 pixels is scaled down to fit, through the window extent that
// maps it onto the placeable header's frame; it is never wrapped. Texts are
// 8-bit, in Windows-1252.
#pragma once

#include "export/MetafileCanvas.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace bw {

class TWmfCanvas : public TMetafileCanvas {
public:
  static constexpr int MaxCoordinate = 32767;

  TWmfCanvas(int width, int height, TCanvas& measure, int dpi = 96);
  ~TWmfCanvas() override;

  // Logical units per pixel: 1, or less for a picture beyond 16 bits.
  double Scale() const { return Factor; }

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
  static constexpr uint32_t NoObject = UINT32_MAX;

  int16_t L(int value) const;
  void Append(char* record);
  void Created(char* record, uint32_t handle, uint32_t& current);
  void SelectPen(const TPen& pen);
  void SelectBrush();
  void SelectFont();
  void SetTextColours(bool opaque);
  void Text(int x, int y, std::string_view text, TRect rect, uint16_t options);
  void Shape(int left, int top, int right, int bottom, bool ellipse);

  int Dpi;
  double Factor = 1;
  std::vector<uint8_t> Bytes;
  uint32_t LargestRecord = 0;
  std::unique_ptr<THandles> Handles;
  bool Finished = false;

  bool PenSet = false, BrushSet = false, FontSet = false;
  TPen SelectedPen;
  TBrush SelectedBrush;
  TFontSpec SelectedFont;
  uint32_t PenHandle = NoObject, BrushHandle = NoObject, FontHandle = NoObject;
  bool TextColorSet = false, BkColorSet = false;
  TColor TextColor, BkColor;
  int BkMode = 0;
};

} // namespace bw
