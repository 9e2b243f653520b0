// What the clone links of a tree lead to, worked out without copying a node:
// the clones that reach themselves through their masters, and the size and
// depth the tree takes once every clone holds its copies. Both run in time
// linear in the nodes that are not copies, however the links nest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bw {

class TDecTreeNode;

// The largest tree clones may expand to. A node with its layout takes about
// 600 bytes, and every change keeps an undo copy of the tree besides: two
// million nodes are some 2 GB, what an ordinary desktop can spare; a file or
// a clone definition that asks for more is refused.
constexpr int64_t MaxExpandedNodes = 2'000'000;
// Drawing, layout and copying walk the tree recursively: copies may make it
// at most twice as deep as the deepest tree the reader accepts.
constexpr int MaxExpandedDepth = 2000;

namespace clonegraph {

// A tree flattened in pre-order, node i's subtree being [i, i + Size[i]).
// Link[i] is NotClone for a node that is not a clone, NoMaster for a clone
// whose master is not found, else the index of the clone's master. A clone's
// subtree is never followed: its children are copies.
constexpr int NotClone = -2;
constexpr int NoMaster = -1;

struct TLinkedTree {
  std::vector<int> Size;
  std::vector<int> Link;
};

// Finds the clones that lie on a cycle of master links: copying such a
// clone's master would, through the clones met in the master's subtree and
// their masters in turn, copy the clone itself again. Strongly connected
// components, found without recursion; each call looks at what is reachable
// from `starts` only, so a caller that adds nodes can ask again about them.
class TCycleFinder {
public:
  // Sets Recurring[v] for every such clone reachable from the starts.
  // Visited (optional) receives the nodes in an order in which every node
  // comes after those it links to, except within a cycle.
  void Run(const TLinkedTree& tree, const std::vector<int>& starts, std::vector<char>& recurring,
           std::vector<int>* visited = nullptr);

private:
  struct Frame {
    int Node;
    int State;
  };
  std::vector<int> FIndex, FLow, FStamp;
  std::vector<char> FOnStack;
  std::vector<int> FStack;
  std::vector<Frame> FFrames;
  int FEpoch = 0;
};

} // namespace clonegraph

struct TCloneExpansion {
  // Nodes and levels of the tree once every clone holds its copies; both
  // stop growing a little above their bounds.
  int64_t Nodes = 0;
  int Depth = 0;
  // The clone whose copies are largest (deepest when the depth is what
  // passes its bound); nullptr when the tree holds no clone.
  const TDecTreeNode* Largest = nullptr;
  bool TooLarge() const { return Nodes > MaxExpandedNodes || Depth > MaxExpandedDepth; }
};

// Works out the expansion of the tree of `root` as the recalculation would
// make it: masters are the first node of their id in pre-order that is not a
// copy, and a clone that reaches itself gets no copies.
TCloneExpansion MeasureCloneExpansion(const TDecTreeNode& root);

// The clones of the tree of `root`, outside copies, that reach themselves
// through their masters, in pre-order.
std::vector<const TDecTreeNode*> RecurringClones(const TDecTreeNode& root);

// "'Caption' (id)" of a node, for messages that must say which one.
std::string NodeNameForMessage(const TDecTreeNode& node);

} // namespace bw
