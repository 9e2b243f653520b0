// Measuring and layout kept up to date from one recalculation to the next:
// a node is measured again only when its texts, type, options or the font
// changed, and a subtree is laid out again only when something in it did.
// The result equals measuring and laying out every node afresh
// (TDecTreeNode::Measure and TDecTreeNode::Layout).
#pragma once

#include "canvas/Canvas.h"
#include "model/DecTreeNode.h"
#include "model/TreeContext.h"

#include <cstdint>
#include <string>

namespace bw {

// Everything that changes the measured size of every text.
struct TLayoutStyle {
  TFontSpec Font;
  bool ShowPayoff = false;
  bool OutlineCodes = false;
  std::string CurrencySymbol;
  int CurrencyDecimals = 0;
  int CurrencyPosFormat = 0;
  int CurrencyNegFormat = 0;
  std::string ThousandSeparator;
  std::string DecimalSeparator;
  int GroupSize = 0;
  const TCanvas* Canvas = nullptr;
  friend bool operator==(const TLayoutStyle&, const TLayoutStyle&) = default;
};

class TTreeLayout {
public:
  // Rolls the tree back from the root (TDecTreeNode::EvaluateAndPropagate)
  // and measures what changed as the roll-back passes each node, then lays
  // the tree out at (border, border) with the root's box width as column
  // width. The canvas has the tree's font.
  void RollBackAndLayOut(TDecTreeNode* root, TCanvas& canvas, int border, const TTreeContext& tree);
  // The next update measures and lays out every node: after the canvas'
  // metrics changed (another resolution, other fonts installed).
  void Invalidate();

private:
  TLayoutStyle FStyle;
  uint64_t FStamp = 0;
};

} // namespace bw
