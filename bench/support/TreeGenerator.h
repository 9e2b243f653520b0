// Large trees for the benchmarks: decision and chance nodes with 2 to 4
// children each, short texts, cent payoffs and a few clones.
#pragma once

#include "model/DecTreeNode.h"

#include <cstdint>
#include <memory>

namespace bw::bench {

struct GeneratedTree {
  std::unique_ptr<TDecTreeNode> Root;
  int Nodes = 0; // after the clones have been synchronised
  int Clones = 0;
};

// About `nodeCount` nodes in all, clone copies included; the same seed gives
// the same tree.
GeneratedTree GenerateTree(TTreeContext& context, int nodeCount, uint32_t seed = 1,
                           bool withClones = true);

int CountNodes(const TDecTreeNode* node);

} // namespace bw::bench
