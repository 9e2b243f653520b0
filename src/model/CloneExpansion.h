// What the clone links of a tree lead to, worked out without copying a node:
// the clones that reach themselves through their masters, and the size and
// depth the tree takes once every clone holds its copies. Both run in time
// linear in the nodes that are not copies, however the links nest.
#pragma once

#include <cstdint>
#include <functional>
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

// A graph of nodes by index, as the cycle search walks it.
class TGraph {
public:
  virtual ~TGraph() = default;
  virtual size_t Count() const = 0;
  // The next node that v leads to, or -1 when there is none; state starts
  // at 0 for each node.
  virtual int Next(int v, int& state) const = 0;
  // Only clones can recur; one that names itself recurs at once.
  virtual bool IsClone(int v) const = 0;
  virtual bool NamesItself(int v) const = 0;
};

struct TLinkedTree : TGraph {
  std::vector<int> Size;
  std::vector<int> Link;

  size_t Count() const override { return Size.size(); }
  // A clone leads to its master only, any other node to each of its
  // children.
  int Next(int v, int& state) const override {
    if (Link[v] != NotClone) {
      if (state != 0) return -1;
      state = 1;
      return Link[v] >= 0 ? Link[v] : -1;
    }
    int child = state == 0 ? v + 1 : state;
    if (child >= v + Size[v]) return -1;
    state = child + Size[child];
    return child;
  }
  bool IsClone(int v) const override { return Link[v] != NotClone; }
  bool NamesItself(int v) const override { return Link[v] == v; }
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
  void Run(const TGraph& graph, const std::vector<int>& starts, std::vector<char>& recurring,
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
// The same for the recalculation, which knows its clones (every clone of the
// tree outside copies) and their masters (masterOf, nullptr when missing):
// only the masters' subtrees are walked, not the whole tree.
std::vector<const TDecTreeNode*>
RecurringClonesOf(const std::vector<TDecTreeNode*>& clones,
                  const std::function<const TDecTreeNode*(const TDecTreeNode&)>& masterOf);

// "'Caption' (id)" of a node, for messages that must say which one.
std::string NodeNameForMessage(const TDecTreeNode& node);

} // namespace bw
