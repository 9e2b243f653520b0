// Draws the laid-out tree node by node on any canvas: the screen, the back
// buffer, a printer or preview page, a picture.
#pragma once

#include <memory>

namespace bw {

class TCanvas;
class TDecTreeNode;

class TTreePainter {
public:
  // OnScreen: the canvas is the control's own (or its back buffer); only
  // then are the box selection, the comment marker and the buttons drawn.
  TTreePainter(TCanvas& canvas, bool onScreen) : Canvas(canvas), OnScreen(onScreen) {}
  virtual ~TTreePainter() = default;
  // Draws the node and, through the same operation, its shown children.
  virtual void PaintNode(TDecTreeNode* node) = 0;

  TCanvas& Canvas;
  bool OnScreen;
};

class TStandardTreePainter : public TTreePainter {
public:
  using TTreePainter::TTreePainter;
  void PaintNode(TDecTreeNode* node) override;
};

// The class of painter the control makes for each drawing.
using TTreePainterClass = std::unique_ptr<TTreePainter> (*)(TCanvas& canvas, bool onScreen);

template <typename Painter>
std::unique_ptr<TTreePainter> MakePainter(TCanvas& canvas, bool onScreen) {
  return std::make_unique<Painter>(canvas, onScreen);
}

} // namespace bw
