// What measuring and layout keep per node between two recalculations: the
// element rectangles, the inputs their sizes were measured from, and where
// the node's subtree was laid out last. A node is measured again only when
// an input differs, and a subtree in which nothing changed is left where it
// is or moved as a whole.
#pragma once

#include "model/Currency.h"
#include "model/TreeTypes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace bw {

class TDecTreeNode;

// Aligned to a cache line: what every recalculation reads of every node
// (whether anything changed) lies in the first one, what only a leaf's or a
// changed node's measuring reads in the next.
struct alignas(64) TNodeLayout {
  // The measuring style (font, options, locale, canvas) the sizes belong
  // to; 0 before the first measuring.
  uint64_t Style = 0;
  // The inputs of the sizes.
  uint64_t ProbabilityBits = 0;
  Currency Payoff = 0;
  // The outline code worked out in the pass numbered CodePass.
  uint64_t CodePass = 0;
  // The parent and place the node was measured and laid out under, and its
  // children as layout last saw them.
  const TDecTreeNode* Parent = nullptr;
  int Index = -1;
  int ChildCount = -1;
  // Which property lines are shown and placed (see Layout.cpp).
  uint16_t LineFlags = 0;
  // How the parent shows the probability: 0 root, 1 option of a decision,
  // 2 weight, 3 percentage.
  uint8_t ParentKind = 0;
  bool HasLines = false;
  bool HasCode = false;
  bool CodeChanged = false;
  bool ChildrenVisible = false;
  // What of the node changed since it was laid out (Dirty), or of its
  // shown subtree (SubtreeDirty).
  bool Dirty = true;
  bool SubtreeDirty = true;

  // The wider of the two texts at the end of a branch, and what it was
  // measured from.
  uint64_t PathStyle = 0;
  uint64_t PathProbabilityBits = 0;
  uint64_t PathPayoffBits = 0;
  int PathTextWidth = 0;
  std::string Caption;

  // Where the subtree was laid out last.
  bool LaidOut = false;
  int X = 0, Y = 0, Column = 0;
  std::string OutlineCode;
  std::vector<std::string> Lines;

  std::array<TNodeRect, NodeElementTypeCount> Rects{};
};

} // namespace bw
