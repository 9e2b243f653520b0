// libFuzzer target: the stream and the document parser must read any bytes
// alike. Where the stream takes a file, both give the same tree, options and
// font, or both refuse it.
#include "treefile/TreeFile.h"
#include "treefile/TreeFileFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <vector>

using namespace bw;

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "the stream and the document differ: %s\n", what);
  std::abort();
}

std::vector<const TDecTreeNode*> PreOrder(const TDecTreeNode* root) {
  std::vector<const TDecTreeNode*> order, stack{root};
  while (!stack.empty()) {
    const TDecTreeNode* n = stack.back();
    stack.pop_back();
    order.push_back(n);
    for (int i = n->ChildCount() - 1; i >= 0; --i)
      stack.push_back(n->Child(i));
  }
  return order;
}

// Ids of the older integer form are fresh at every read: a node's id is
// compared by its place, and a link by the place of the node it names.
void Compare(const TTreeFileContents& a, const TTreeFileContents& b) {
  if (!(a.Options == b.Options)) Fail("options");
  if (!(a.Font == b.Font)) Fail("font");
  if (a.IdsRenewed != b.IdsRenewed) Fail("renewed ids");
  std::vector<const TDecTreeNode*> x = PreOrder(a.Root.get()), y = PreOrder(b.Root.get());
  if (x.size() != y.size()) Fail("node count");
  std::unordered_map<Guid, size_t, GuidHash> px, py;
  for (size_t i = 0; i < x.size(); ++i) {
    px.emplace(x[i]->Id, i);
    py.emplace(y[i]->Id, i);
  }
  for (size_t i = 0; i < x.size(); ++i) {
    const TDecTreeNode& m = *x[i];
    const TDecTreeNode& n = *y[i];
    if (m.ChildCount() != n.ChildCount()) Fail("children");
    if (m.Caption != n.Caption || m.Comment != n.Comment ||
        m.DecisionCaption != n.DecisionCaption || m.DecisionOwner != n.DecisionOwner ||
        m.PayoffSource != n.PayoffSource)
      Fail("texts");
    if (m.NodeType != n.NodeType || m.ChanceType != n.ChanceType ||
        !(m.Probability == n.Probability ||
          (m.Probability != m.Probability && n.Probability != n.Probability)) ||
        m.Payoff != n.Payoff || m.DecisionMultiBudget != n.DecisionMultiBudget ||
        m.DecisionDueDate != n.DecisionDueDate)
      Fail("values");
    if (m.ChildrenVisible != n.ChildrenVisible || m.DecisionFixed != n.DecisionFixed ||
        m.DecisionShowCaption != n.DecisionShowCaption ||
        m.DecisionShowOwner != n.DecisionShowOwner ||
        m.DecisionShowDueDate != n.DecisionShowDueDate ||
        m.DecisionShowFixed != n.DecisionShowFixed ||
        m.DecisionMultiShowBudget != n.DecisionMultiShowBudget ||
        m.DecisionMultiShowInvestment != n.DecisionMultiShowInvestment)
      Fail("flags");
    if (m.IsClone() != n.IsClone()) Fail("clone");
    auto rx = px.find(m.Ref);
    auto ry = py.find(n.Ref);
    if ((rx == px.end()) != (ry == py.end())) Fail("link");
    if (rx != px.end() && rx->second != ry->second) Fail("link target");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TTreeContext context;
  bool gaveUp = false;
  TTreeFileContents streamed;
  bool streamRefused = false;
  try {
    streamed = treefile::ReadTreeTextByStream(bytes, &context, TFontSpec{}, gaveUp);
  } catch (const Exception&) {
    streamRefused = true;
  }
  if (gaveUp) return 0;
  TTreeFileContents parsed;
  try {
    parsed = treefile::ReadTreeTextWithDocument(bytes, &context, TFontSpec{});
  } catch (const Exception&) {
    if (!streamRefused) Fail("only the document refuses the file");
    return 0;
  }
  if (streamRefused) Fail("only the stream refuses the file");
  Compare(streamed, parsed);
  return 0;
}
