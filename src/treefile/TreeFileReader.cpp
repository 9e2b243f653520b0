// Reading a tree file: pugixml builds the document, then the nodes are made
// in document order with an explicit stack, so no nesting depth of the file
// can exhaust the call stack.
#include "treefile/TreeFile.h"
#include "treefile/TreeFileFormat.h"

#include "foundation/Conversions.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace bw {

using namespace treefile;

namespace {

std::string ErrnoText(int err) {
  return std::generic_category().message(err);
}

struct FdCloser {
  int Fd;
  ~FdCloser() { ::close(Fd); }
};

struct PugiFree {
  void operator()(char* p) const { pugi::get_memory_deallocation_function()(p); }
};
using PugiBuffer = std::unique_ptr<char, PugiFree>;

PugiBuffer PugiAlloc(size_t size) {
  auto* p = static_cast<char*>(pugi::get_memory_allocation_function()(size));
  if (!p) throw std::bad_alloc();
  return PugiBuffer(p);
}

// The whole file, in a buffer from pugixml's allocator so that the document
// can take it over and parse it in place (no second copy of the file).
PugiBuffer ReadWholeFile(const std::string& path, size_t& size) {
  // Non-blocking, so that a pipe of that name is refused instead of waited on.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw TreeFileError("Cannot open the file: " + ErrnoText(errno));
  FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw TreeFileError("Cannot read the file: " + ErrnoText(errno));
  if (S_ISDIR(st.st_mode)) throw TreeFileError("This is a folder, not a file");
  if (!S_ISREG(st.st_mode)) throw TreeFileError("This is not a regular file");
  // The size is a hint: the file may change while it is read.
  size_t capacity = static_cast<size_t>(st.st_size) + 1;
  PugiBuffer buffer = PugiAlloc(capacity);
  size_t used = 0;
  for (;;) {
    if (used == capacity) {
      PugiBuffer larger = PugiAlloc(capacity * 2);
      std::memcpy(larger.get(), buffer.get(), used);
      buffer = std::move(larger);
      capacity *= 2;
    }
    ssize_t n = ::read(fd, buffer.get() + used, capacity - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw TreeFileError("Cannot read the file: " + ErrnoText(errno));
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  size = used;
  return buffer;
}

// Where a parse error lies. The parsed buffer has been changed in place, so
// the lines are counted in a fresh read of the file.
std::string ErrorPlace(const std::string& path, const pugi::xml_parse_result& result) {
  if (result.status < pugi::status_unrecognized_tag) return {}; // not about the text
  if (result.encoding != pugi::encoding_utf8 || result.offset < 0)
    return " at offset " + IntegerToStr(result.offset);
  size_t size = 0;
  PugiBuffer text;
  try {
    text = ReadWholeFile(path, size);
  } catch (const Exception&) {
    return " at offset " + IntegerToStr(result.offset);
  }
  size_t end = std::min(size, static_cast<size_t>(result.offset));
  int64_t line = 1, column = 1;
  for (size_t i = 0; i < end; ++i) {
    if (text.get()[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return " at line " + IntegerToStr(line) + ", column " + IntegerToStr(column);
}

// The first child element of each name, in one pass over the children; a
// later duplicate and unknown elements are ignored. Files in the written
// order match the expected name at the first comparison.
template <size_t N>
void FindChildren(pugi::xml_node parent, const char* const (&names)[N],
                  std::array<pugi::xml_node, N>& found) {
  size_t expected = 0;
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    const char* name = c.name();
    size_t k = N;
    if (expected < N && std::strcmp(name, names[expected]) == 0) {
      k = expected;
    } else {
      for (size_t j = 0; j < N; ++j)
        if (std::strcmp(name, names[j]) == 0) {
          k = j;
          break;
        }
    }
    if (k == N) continue;
    if (!found[k]) found[k] = c;
    expected = k + 1;
  }
}

// The element's character data; a missing element reads as empty text.
std::string Text(pugi::xml_node e) {
  if (!e) return {};
  std::string s = e.value(); // the first text, kept in the element itself
  for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) s += c.value();
  return s;
}

bool HasChildNode(pugi::xml_node e) {
  return e.first_child() || *e.value();
}

class TTreeBuilder {
public:
  explicit TTreeBuilder(TTreeContext* tree) : FTree(tree) {}

  std::unique_ptr<TDecTreeNode> Build(pugi::xml_node rootBranch);

private:
  std::unique_ptr<TDecTreeNode> ReadBranch(pugi::xml_node branch, TDecTreeNode* parent,
                                           pugi::xml_node& branches);
  void RepairClones();

  TTreeContext* FTree;
  TIdMap FIdMap;
  // The nodes in document order (depth first) and the index of each parent.
  std::vector<TDecTreeNode*> FOrder;
  std::vector<int> FParent;
  bool FAnyClone = false;
};

std::unique_ptr<TDecTreeNode> TTreeBuilder::ReadBranch(pugi::xml_node branch, TDecTreeNode* parent,
                                                       pugi::xml_node& branches) {
  std::array<pugi::xml_node, BranchElementCount> el{};
  FindChildren(branch, BranchElementNames, el);
  branches = el[beBranches];
  auto text = [&](TBranchElement k) { return Text(el[k]); };
  auto checkedText = [&](TBranchElement k) {
    return CheckedText(Text(el[k]), BranchElementNames[k]);
  };
  auto flag = [&](TBranchElement k) { return StrToFlag(Text(el[k]), BranchElementNames[k]); };

  // The order of the reads decides which fault of a bad branch is reported.
  TNodeType nodeType = StrToNodeType(text(beType));
  TChanceType chanceType = StrToChanceType(text(beChanceType));
  TNodeIds ids =
      ReadNodeIds(branch.attribute("id").value(), branch.attribute("ref").value(), FIdMap);
  // A root that were a clone would lose the whole tree at the first
  // recalculation, which rebuilds a clone's children from its master.
  if (!parent) ids.Ref = Guid::Empty();
  std::string caption = checkedText(beCaption);
  std::string comment = CommentFromFile(checkedText(beComment));
  double probability = InvariantStrToFloat(text(beProbability));
  Currency payoff = StrToMoney(text(bePayoff));
  bool childrenVisible = flag(beChildrenVisible);
  bool showCaption = flag(beDecisionShowCaption);
  bool showOwner = flag(beDecisionShowOwner);
  bool showDueDate = flag(beDecisionShowDueDate);
  bool showFixed = flag(beDecisionShowFixed);
  bool showBudget = flag(beDecisionMultiShowBudget);
  bool showInvestment = flag(beDecisionMultiShowInvestment);
  bool fixed = flag(beDecisionFixed);
  std::string decisionCaption = checkedText(beDecisionCaption);
  std::string decisionOwner = checkedText(beDecisionOwner);
  int budget = StrToInteger(text(beDecisionMultiBudget), BranchElementNames[beDecisionMultiBudget]);
  TDateTime dueDate = YYYYMMDDToDate(text(beDecisionDueDate));
  std::string payoffSource = checkedText(bePayoffSource);

  return TDecTreeNode::Create(FTree, parent, ids.Id, std::move(caption), std::move(comment),
                              nodeType, chanceType, probability, payoff, ids.Ref, childrenVisible,
                              showCaption, showOwner, showDueDate, showFixed, showBudget,
                              showInvestment, fixed, std::move(decisionCaption),
                              std::move(decisionOwner), budget, dueDate, std::move(payoffSource));
}

std::unique_ptr<TDecTreeNode> TTreeBuilder::Build(pugi::xml_node rootBranch) {
  struct Pending {
    pugi::xml_node Branch;
    TDecTreeNode* Parent;
    int ParentIndex;
    int Depth;
  };
  std::unique_ptr<TDecTreeNode> root;
  std::vector<Pending> stack{{rootBranch, nullptr, -1, 1}};
  while (!stack.empty()) {
    Pending p = stack.back();
    stack.pop_back();
    if (p.Depth > MaxTreeFileDepth)
      throw TreeFileError("The tree has more than " + IntegerToStr(MaxTreeFileDepth) +
                          " levels, which is not supported");
    pugi::xml_node branches;
    std::unique_ptr<TDecTreeNode> made = ReadBranch(p.Branch, p.Parent, branches);
    TDecTreeNode* node;
    if (p.Parent) {
      node = p.Parent->AddChild(std::move(made));
    } else {
      root = std::move(made);
      node = root.get();
    }
    FAnyClone = FAnyClone || node->IsClone();
    int index = static_cast<int>(FOrder.size());
    FOrder.push_back(node);
    FParent.push_back(p.ParentIndex);
    // Pushed last to first, so that the first child is read next.
    for (pugi::xml_node c = branches.last_child(); c; c = c.previous_sibling())
      if (c.type() == pugi::node_element && std::strcmp(c.name(), tag::Branch) == 0)
        stack.push_back({c, node, index, p.Depth + 1});
  }
  if (FAnyClone) RepairClones();
  return root;
}

// Clears the clone link where the first recalculation would otherwise throw
// away nodes that the file holds: a clone whose master lies in its own
// subtree (its children, master included, would be replaced), and clones
// that reach themselves through their masters (a cycle, which the
// recalculation treats as a missing master). Masters are found as the
// recalculation finds them: the first node of that id, in document order,
// that does not lie below a clone.
void TTreeBuilder::RepairClones() {
  const int n = static_cast<int>(FOrder.size());
  std::vector<int> size(static_cast<size_t>(n), 1);
  for (int i = n - 1; i > 0; --i)
    size[FParent[i]] += size[i];
  auto isClone = [&](int i) { return FOrder[i]->IsClone(); };
  auto inSubtree = [&](int i, int top) { return i >= top && i < top + size[top]; };

  // A master inside the clone's own subtree. Positions are collected in
  // document order, so one binary search per clone suffices.
  std::unordered_map<Guid, std::vector<int>, GuidHash> positions;
  for (int i = 0; i < n; ++i)
    if (isClone(i)) positions.try_emplace(FOrder[i]->Ref);
  for (int i = 0; i < n; ++i)
    if (auto it = positions.find(FOrder[i]->Id); it != positions.end()) it->second.push_back(i);
  for (int i = 0; i < n; ++i) {
    if (!isClone(i)) continue;
    const std::vector<int>& at = positions.find(FOrder[i]->Ref)->second;
    auto first = std::lower_bound(at.begin(), at.end(), i);
    if (first != at.end() && inSubtree(*first, i)) FOrder[i]->Ref = Guid::Empty();
  }

  // Cycles. Clearing a clone that holds children makes them nodes of their
  // own, which may change masters and cycles: then look again.
  std::vector<int> visited(static_cast<size_t>(n), -1);
  for (;;) {
    std::vector<int> ownClones; // not below another clone, in document order
    for (int i = 0; i < n;) {
      if (isClone(i)) {
        ownClones.push_back(i);
        i += size[i];
      } else {
        ++i;
      }
    }
    if (ownClones.empty()) return;
    std::unordered_map<Guid, int, GuidHash> master;
    for (int c : ownClones)
      master.try_emplace(FOrder[c]->Ref, -1);
    for (int i = 0; i < n; i = isClone(i) ? i + size[i] : i + 1)
      if (auto it = master.find(FOrder[i]->Id); it != master.end() && it->second < 0)
        it->second = i;
    auto masterOf = [&](int c) { return master.find(FOrder[c]->Ref)->second; };

    // The recalculation copies a master's subtree and, through the clones in
    // it, their masters' subtrees: a cycle when one of them holds the clone,
    // that is, when one of those masters is the clone or its ancestor.
    std::vector<int> recurring;
    std::vector<int> pending;
    for (int c : ownClones) {
      pending.assign(1, masterOf(c));
      while (!pending.empty()) {
        int m = pending.back();
        pending.pop_back();
        if (m < 0 || visited[m] == c) continue;
        visited[m] = c;
        if (inSubtree(c, m)) {
          recurring.push_back(c);
          break;
        }
        if (isClone(m)) {
          pending.push_back(masterOf(m));
          continue;
        }
        auto it = std::upper_bound(ownClones.begin(), ownClones.end(), m);
        for (; it != ownClones.end() && inSubtree(*it, m); ++it)
          pending.push_back(masterOf(*it));
      }
    }
    if (recurring.empty()) return;
    bool newOwnNodes = false;
    for (int c : recurring) {
      FOrder[c]->Ref = Guid::Empty();
      newOwnNodes = newOwnNodes || size[c] > 1;
    }
    if (!newOwnNodes) return;
    std::fill(visited.begin(), visited.end(), -1);
  }
}

TTreeFileContents ReadContents(const std::string& path, TTreeContext* tree,
                               const TFontSpec& previousFont) {
  size_t size = 0;
  PugiBuffer buffer = ReadWholeFile(path, size);
  pugi::xml_document doc;
  // The text of an element is kept in the element itself: half the nodes.
  pugi::xml_parse_result parsed = doc.load_buffer_inplace_own(
      buffer.release(), size, pugi::parse_default | pugi::parse_embed_pcdata, pugi::encoding_auto);
  if (!parsed) throw TreeFileError(parsed.description() + ErrorPlace(path, parsed));
  pugi::xml_node treeElement = doc.document_element();
  if (std::strcmp(treeElement.name(), tag::Tree) != 0)
    throw TreeFileError("The document element is '" + std::string(treeElement.name()) +
                        "', not 'Tree'");

  std::array<pugi::xml_node, TreeElementCount> te{};
  FindChildren(treeElement, TreeElementNames, te);
  auto name = [](TTreeElement k) { return TreeElementNames[k]; };

  TTreeFileContents contents;
  TTreeOptions& o = contents.Options;
  if (tree) o = tree->Options;
  o.OutlineCodes = StrToFlag(Text(te[teOutlineCodes]), name(teOutlineCodes));
  o.StatusDate = YYYYMMDDToDate(Text(te[teStatusDate]));
  o.HighlightClones = StrToFlag(Text(te[teHighlightClones]), name(teHighlightClones));
  o.ShowPayoff = StrToFlag(Text(te[teShowPayoff]), name(teShowPayoff));
  o.CurrencyDecimals = StrToInteger(Text(te[teCurrencyDecimals]), name(teCurrencyDecimals));
  o.CurrencyPosFormat = StrToInteger(Text(te[teCurrencyPosFormat]), name(teCurrencyPosFormat));
  o.CurrencyNegFormat = StrToInteger(Text(te[teCurrencyNegFormat]), name(teCurrencyNegFormat));
  o.CurrencySymbol = CheckedText(Text(te[teCurrencySymbol]), name(teCurrencySymbol));

  pugi::xml_node font = te[teFont];
  if (font && HasChildNode(font)) {
    std::array<pugi::xml_node, FontElementCount> fe{};
    FindChildren(font, FontElementNames, fe);
    std::string fontName = CheckedText(Text(fe[feFontName]), FontElementNames[feFontName]);
    int fontSize = StrToInteger(Text(fe[feFontSize]), FontElementNames[feFontSize]);
    contents.Font.Name = fontName.empty() ? previousFont.Name : fontName;
    // A size of 0 or below has no meaning as points; the font keeps its size.
    contents.Font.Size = fontSize > 0 ? fontSize : previousFont.Size;
    contents.Font.Style = StrToFontStyles(Text(fe[feFontStyle]));
  }

  contents.Root = TTreeBuilder(tree).Build(te[teBranch]);
  return contents;
}

} // namespace

bool TreeFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TTreeFileContents ReadTreeFile(const std::string& path, TTreeContext* tree,
                               const TFontSpec& previousFont) {
  try {
    return ReadContents(path, tree, previousFont);
  } catch (const Exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw TreeFileError("Not enough memory to read the file");
  } catch (const std::exception& e) {
    throw TreeFileError(e.what());
  }
}

std::string FileNotFoundMessage(const std::string& fileName) {
  return "File '" + fileName + "' does not exist.";
}

std::string OpenErrorMessage(const std::string& fileName, const std::string& reason) {
  return "Error opening file: " + fileName + "\n\n" + reason;
}

std::string SaveErrorMessage(const std::string& reason) {
  return "Error saving file: \n\n" + reason;
}

} // namespace bw
