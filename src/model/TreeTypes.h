// Types shared by the node model, the layout and the tree control.
#pragma once

#include "canvas/FontDescription.h"
#include "foundation/Guid.h"
#include "foundation/PrivateArrayList.h"
#include "foundation/SerialDate.h"
#include "model/Currency.h"

#include <cstdint>
#include <string>

namespace bw {

enum TNodeType : uint8_t { ntDecision = 0, ntMultiDecision = 1, ntChance = 2 };
enum TChanceType : uint8_t { ctAnySum = 0, ctPercent = 1 };

// The parts of a drawn node that hit-testing tells apart.
enum TNodeElementType : uint8_t {
  htOutside,
  htBox,
  htIndicator,
  htProbability,
  htPayoff,
  htPlusMinus,
  htRollUpDown,
  htIndicatorCaption,
  htIndicatorOwner,
  htIndicatorMultiBudget,
  htIndicatorMultiInvestment,
  htIndicatorDueDate,
  htIndicatorFixed,
};
constexpr int NodeElementTypeCount = 13;

// Left, Top, Width, Height; a point on an edge counts as inside.
struct TNodeRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  friend bool operator==(const TNodeRect&, const TNodeRect&) = default;
};

// The tree's display options, copied by value into undo snapshots and files.
struct TTreeOptions {
  bool OutlineCodes = false;
  std::string CurrencySymbol;
  int CurrencyDecimals = 0;
  int CurrencyPosFormat = 0;
  int CurrencyNegFormat = 0;
  TDateTime StatusDate = 0;
  bool HighlightClones = false;
  bool ShowPayoff = false;
  friend bool operator==(const TTreeOptions&, const TTreeOptions&) = default;
};

class TDecTreeNode;

// A node and one of its elements, as hit-testing finds them; nothing hit is
// (nullptr, htOutside).
struct TNodeHit {
  TDecTreeNode* Node = nullptr;
  TNodeElementType ElementType = htOutside;
  friend bool operator==(const TNodeHit&, const TNodeHit&) = default;
};

inline TNodeHit MakeNodeHit(TDecTreeNode* node, TNodeElementType type) {
  return {node, type};
}

} // namespace bw
