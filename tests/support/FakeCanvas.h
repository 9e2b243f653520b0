// A canvas for tests: every character is 7 pixels wide and every text 13
// high; each drawing call is recorded with the pen, brush and font in force.
#pragma once

#include "canvas/Canvas.h"

#include <string>
#include <string_view>
#include <vector>

namespace bw::test {

enum class TDrawKind { Rectangle, Ellipse, Polygon, FillRect, Line, Text, TextRect, Glyph };

struct TDrawCall {
  TDrawKind Kind = TDrawKind::Line;
  // Rectangle, Ellipse, FillRect, TextRect clip: left, top, right, bottom.
  // Line: from (A, B) to (C, D). Text, TextRect, Glyph: (A, B) is the position.
  int A = 0, B = 0, C = 0, D = 0;
  std::vector<TPoint> Points;
  std::string Text;
  const TGlyph* Glyph = nullptr;
  TPen Pen;
  TBrush Brush;
  TFont Font;
};

class TFakeCanvas : public TCanvas {
public:
  static constexpr int CharWidth = 7;
  static constexpr int Height = 13;

  std::vector<TDrawCall> Calls;
  TRect Area = TCanvas::PaintArea();

  static int Width(std::string_view text) {
    int chars = 0;
    for (char c : text)
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
    return chars * CharWidth;
  }

  // How many texts were measured.
  int Measured = 0;

  int TextWidth(std::string_view text) override {
    ++Measured;
    return Width(text);
  }
  int TextHeight(std::string_view) override { return Height; }

  void MoveTo(int x, int y) override { Pos = {x, y}; }
  void LineTo(int x, int y) override {
    Record(Make(TDrawKind::Line, Pos.X, Pos.Y, x, y));
    Pos = {x, y};
  }
  void Rectangle(int l, int t, int r, int b) override {
    Record(Make(TDrawKind::Rectangle, l, t, r, b));
  }
  void Ellipse(int l, int t, int r, int b) override {
    Record(Make(TDrawKind::Ellipse, l, t, r, b));
  }
  void Polygon(const std::vector<TPoint>& points) override {
    TDrawCall call = Make(TDrawKind::Polygon);
    call.Points = points;
    Record(std::move(call));
  }
  void FillRect(const TRect& r) override {
    Record(Make(TDrawKind::FillRect, r.Left, r.Top, r.Right, r.Bottom));
  }
  void TextOut(int x, int y, std::string_view text) override {
    TDrawCall call = Make(TDrawKind::Text, x, y);
    call.Text = std::string(text);
    Record(std::move(call));
  }
  void TextRect(const TRect& clip, int x, int y, std::string_view text) override {
    TDrawCall call = Make(TDrawKind::TextRect, clip.Left, clip.Top, clip.Right, clip.Bottom);
    call.Points = {{x, y}};
    call.Text = std::string(text);
    Record(std::move(call));
  }
  void Draw(int x, int y, const TGlyph& glyph) override {
    TDrawCall call = Make(TDrawKind::Glyph, x, y);
    call.Glyph = &glyph;
    Record(std::move(call));
  }
  TRect PaintArea() const override { return Area; }

  // The calls of a kind, or the written texts equal to a text.
  std::vector<const TDrawCall*> OfKind(TDrawKind kind) const {
    std::vector<const TDrawCall*> out;
    for (const TDrawCall& c : Calls)
      if (c.Kind == kind) out.push_back(&c);
    return out;
  }
  std::vector<const TDrawCall*> Texts(std::string_view text) const {
    std::vector<const TDrawCall*> out;
    for (const TDrawCall& c : Calls)
      if ((c.Kind == TDrawKind::Text || c.Kind == TDrawKind::TextRect) && c.Text == text)
        out.push_back(&c);
    return out;
  }
  // The one shape drawn exactly at a rectangle, or null.
  const TDrawCall* ShapeAt(TDrawKind kind, int l, int t, int r, int b) const {
    const TDrawCall* found = nullptr;
    for (const TDrawCall& c : Calls)
      if (c.Kind == kind && c.A == l && c.B == t && c.C == r && c.D == b) found = &c;
    return found;
  }

private:
  static TDrawCall Make(TDrawKind kind, int a = 0, int b = 0, int c = 0, int d = 0) {
    TDrawCall call;
    call.Kind = kind;
    call.A = a;
    call.B = b;
    call.C = c;
    call.D = d;
    return call;
  }
  void Record(TDrawCall call) {
    call.Pen = Pen;
    call.Brush = Brush;
    call.Font = Font;
    Calls.push_back(std::move(call));
  }
  TPoint Pos;
};

} // namespace bw::test
