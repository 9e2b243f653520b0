// Reading a tree file: pugixml builds the document, then the nodes are made
// in document order with an explicit stack, so no nesting depth of the file
// can exhaust the call stack.
#include "treefile/TreeFile.h"
#include "treefile/TreeFileFormat.h"

#include "foundation/Conversions.h"
#include "model/CloneExpansion.h"

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

// References are expanded by the reader, so that a reference to a character
// XML forbids (NUL above all) is dropped instead of cutting the text short.
// White space that is an element's only content is kept: a caption of
// blanks reads back as it was written.
constexpr unsigned ParseOptions = pugi::parse_cdata | pugi::parse_wconv_attribute |
                                  pugi::parse_eol | pugi::parse_embed_pcdata |
                                  pugi::parse_ws_pcdata_single;

// Where a parse error lies, counted in the text as it was before the parse
// changed it in place.
std::string ErrorPlaceIn(std::string_view text, const pugi::xml_parse_result& result) {
  size_t end = std::min(text.size(), static_cast<size_t>(result.offset));
  int64_t line = 1, column = 1;
  for (size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return " at line " + IntegerToStr(line) + ", column " + IntegerToStr(column);
}

bool PlaceIsAboutText(const pugi::xml_parse_result& result) {
  return result.status >= pugi::status_unrecognized_tag;
}

bool PlaceHasLines(const pugi::xml_parse_result& result) {
  return result.encoding == pugi::encoding_utf8 && result.offset >= 0;
}

// The same for a file, which is read again for it.
std::string ErrorPlace(const std::string& path, const pugi::xml_parse_result& result) {
  if (!PlaceIsAboutText(result)) return {};
  if (!PlaceHasLines(result)) return " at offset " + IntegerToStr(result.offset);
  size_t size = 0;
  PugiBuffer text;
  try {
    text = ReadWholeFile(path, size);
  } catch (const Exception&) {
    return " at offset " + IntegerToStr(result.offset);
  }
  return ErrorPlaceIn(std::string_view(text.get(), size), result);
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

// The element's character data, references expanded and the characters XML
// forbids dropped; a missing element reads as empty text. Most values are a
// single piece of plain text, returned as it lies in the parsed buffer;
// otherwise the pieces are joined in `scratch`.
std::string_view Text(pugi::xml_node e, std::string& scratch) {
  if (!e) return {};
  const char* first = e.value(); // the first text, kept in the element itself
  pugi::xml_node child = e.first_child();
  if (!child) {
    std::string_view plain(first);
    if (!NeedsDecoding(plain)) return plain;
  }
  scratch.clear();
  AppendDecodedXmlText(scratch, first);
  for (; child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata)
      AppendDecodedXmlText(scratch, child.value());
    else if (child.type() == pugi::node_cdata)
      scratch += child.value();
  }
  return scratch;
}

bool IsWhiteSpace(std::string_view s) {
  return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool HasChildNode(pugi::xml_node e) {
  for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
    if (c.type() != pugi::node_pcdata || !IsWhiteSpace(c.value())) return true;
  return !IsWhiteSpace(e.value());
}

void CheckUtf8(std::string_view text, std::string_view element) {
  // Plain ASCII, by far the most text, needs no look at its sequences.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<signed char>(c) >= 0; }))
    return;
  if (!IsValidUtf8(text))
    throw Exception("'" + std::string(element) +
                    "' holds bytes that are not UTF-8 text: the file is damaged or in an "
                    "encoding that is not supported");
}

// Node ids in document order, looked up in a table of open addressing. The
// hash is keyed with a random value, so that ids chosen by a file cannot
// all fall into the same place.
class TIdIndex {
public:
  explicit TIdIndex(const std::vector<TDecTreeNode*>& nodes) : FNodes(nodes) {
    Guid key = Guid::NewGuid();
    std::memcpy(&FKey, &key, sizeof FKey);
    size_t capacity = 16;
    while (capacity < 2 * nodes.size())
      capacity *= 2;
    FSlots.assign(capacity, -1);
  }
  // The index of the node of that id, or -1.
  int Find(const Guid& id) const {
    for (size_t s = Slot(id);; s = (s + 1) & (FSlots.size() - 1)) {
      int i = FSlots[s];
      if (i < 0 || FNodes[i]->Id == id) return i;
    }
  }
  // Adds node i under its id unless a node holds that id already; false then.
  bool Add(int i) {
    const Guid& id = FNodes[i]->Id;
    for (size_t s = Slot(id);; s = (s + 1) & (FSlots.size() - 1)) {
      int j = FSlots[s];
      if (j < 0) {
        FSlots[s] = i;
        return true;
      }
      if (FNodes[j]->Id == id) return false;
    }
  }

private:
  size_t Slot(const Guid& id) const {
    uint64_t a, b;
    std::memcpy(&a, &id, 8);
    std::memcpy(&b, reinterpret_cast<const char*>(&id) + 8, 8);
    uint64_t h = (a ^ FKey[0]) * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 29) ^ b ^ FKey[1]) * 0xBF58476D1CE4E5B9ull;
    return static_cast<size_t>(h ^ (h >> 32)) & (FSlots.size() - 1);
  }
  const std::vector<TDecTreeNode*>& FNodes;
  std::vector<int> FSlots;
  uint64_t FKey[2];
};

// The texts of the options and the font, as read.
struct TTreeValues {
  std::array<std::string, teFont> Tree;
  std::array<std::string, FontElementCount> Font;
  bool FontGiven = false; // a Font element with at least one child node
};

void ApplyTreeValues(const TTreeValues& v, TTreeFileContents& contents, TTreeContext* tree,
                     const TFontSpec& previousFont) {
  TTreeOptions& o = contents.Options;
  if (tree) o = tree->Options;
  auto value = [&](TTreeElement k) {
    std::string_view t = v.Tree[k];
    return IsWhiteSpace(t) ? std::string_view() : t;
  };
  auto name = [](TTreeElement k) { return TreeElementNames[k]; };
  o.OutlineCodes = StrToFlag(value(teOutlineCodes), name(teOutlineCodes));
  o.StatusDate = YYYYMMDDToDate(value(teStatusDate));
  o.HighlightClones = StrToFlag(value(teHighlightClones), name(teHighlightClones));
  o.ShowPayoff = StrToFlag(value(teShowPayoff), name(teShowPayoff));
  o.CurrencyDecimals = StrToInteger(value(teCurrencyDecimals), name(teCurrencyDecimals));
  o.CurrencyPosFormat = StrToInteger(value(teCurrencyPosFormat), name(teCurrencyPosFormat));
  o.CurrencyNegFormat = StrToInteger(value(teCurrencyNegFormat), name(teCurrencyNegFormat));
  CheckUtf8(v.Tree[teCurrencySymbol], name(teCurrencySymbol));
  o.CurrencySymbol = v.Tree[teCurrencySymbol];
  if (!v.FontGiven) return;
  auto fontValue = [&](TFontElement k) {
    std::string_view t = v.Font[k];
    return IsWhiteSpace(t) ? std::string_view() : t;
  };
  CheckUtf8(v.Font[feFontName], FontElementNames[feFontName]);
  const std::string& fontName = v.Font[feFontName];
  int fontSize = StrToInteger(fontValue(feFontSize), FontElementNames[feFontSize]);
  contents.Font.Name = fontName.empty() ? previousFont.Name : fontName;
  // A size of 0 or below has no meaning as points; the font keeps its size.
  contents.Font.Size = fontSize > 0 ? fontSize : previousFont.Size;
  contents.Font.Style = StrToFontStyles(fontValue(feFontStyle));
}

// Makes the nodes of a file in document order, from the parsed document or
// from the stream, and then renews duplicate ids, repairs clone links and
// checks what the clones expand to.
class TTreeBuilder {
public:
  explicit TTreeBuilder(TTreeContext* tree) : FTree(tree) {}

  // The whole tree from a parsed document.
  std::unique_ptr<TDecTreeNode> Build(pugi::xml_node rootBranch);

  // Node by node, in document order: a node under parent (nullptr for the
  // root) at the given level, whose parent's index is parentIndex.
  TDecTreeNode* AddNode(TDecTreeNode* parent, int depth);
  void SetParentIndex(int index) { FIndexOfParent = index; }
  int LastIndex() const { return static_cast<int>(FOrder.size()) - 1; }
  void SetIds(TDecTreeNode& node, std::string_view id, std::string_view ref);
  std::unique_ptr<TDecTreeNode> Finish();

  bool IdsRenewed() const { return FIdsRenewed; }

private:
  void ReadBranch(pugi::xml_node branch, TDecTreeNode& node, pugi::xml_node& branches);
  void RenewDuplicateIds(TIdIndex& index);
  void RepairClones(const TIdIndex& index);

  TTreeContext* FTree;
  TIdMap FIdMap;
  std::string FScratch, FId, FRef;
  std::unique_ptr<TDecTreeNode> FRoot;
  // The nodes in document order (depth first) and the index of each parent.
  std::vector<TDecTreeNode*> FOrder;
  std::vector<int> FParent;
  int FIndexOfParent = -1;
  bool FIdsRenewed = false;
};

void ApplyBranchValue(TDecTreeNode& node, TBranchElement k, std::string_view text) {
  const char* name = BranchElementNames[k];
  std::string_view value = IsWhiteSpace(text) ? std::string_view() : text;
  auto setText = [&](std::string& field) {
    CheckUtf8(text, name);
    field.assign(text);
  };
  switch (k) {
  case beCaption:
    return setText(node.Caption);
  case beComment:
    setText(node.Comment);
    if (node.Comment.find('\n') != std::string::npos) node.Comment = CommentFromFile(node.Comment);
    return;
  case beType:
    node.NodeType = StrToNodeType(value);
    return;
  case beChanceType:
    node.ChanceType = StrToChanceType(value);
    return;
  case beProbability:
    node.Probability = InvariantStrToFloat(value);
    return;
  case bePayoff:
    node.Payoff = StrToMoney(value);
    return;
  case beChildrenVisible:
    node.ChildrenVisible = StrToFlag(value, name);
    return;
  case beDecisionFixed:
    node.DecisionFixed = StrToFlag(value, name);
    return;
  case beDecisionShowCaption:
    node.DecisionShowCaption = StrToFlag(value, name);
    return;
  case beDecisionShowOwner:
    node.DecisionShowOwner = StrToFlag(value, name);
    return;
  case beDecisionShowDueDate:
    node.DecisionShowDueDate = StrToFlag(value, name);
    return;
  case beDecisionMultiShowBudget:
    node.DecisionMultiShowBudget = StrToFlag(value, name);
    return;
  case beDecisionMultiShowInvestment:
    node.DecisionMultiShowInvestment = StrToFlag(value, name);
    return;
  case beDecisionShowFixed:
    node.DecisionShowFixed = StrToFlag(value, name);
    return;
  case beDecisionCaption:
    return setText(node.DecisionCaption);
  case beDecisionOwner:
    return setText(node.DecisionOwner);
  case beDecisionDueDate:
    node.DecisionDueDate = YYYYMMDDToDate(value);
    return;
  case beDecisionMultiBudget:
    node.DecisionMultiBudget = StrToInteger(value, name);
    return;
  case bePayoffSource:
    return setText(node.PayoffSource);
  case beBranches:
  case BranchElementCount:
    return;
  }
}

// The values in the order of the reads, which decides which fault of a bad
// branch is reported; the ids come after the types.
constexpr TBranchElement ValueOrder[] = {
    beType,
    beChanceType,
    beCaption,
    beComment,
    beProbability,
    bePayoff,
    beChildrenVisible,
    beDecisionShowCaption,
    beDecisionShowOwner,
    beDecisionShowDueDate,
    beDecisionShowFixed,
    beDecisionMultiShowBudget,
    beDecisionMultiShowInvestment,
    beDecisionFixed,
    beDecisionCaption,
    beDecisionOwner,
    beDecisionMultiBudget,
    beDecisionDueDate,
    bePayoffSource,
};
constexpr int ValuesBeforeIds = 2;

void TTreeBuilder::SetIds(TDecTreeNode& node, std::string_view id, std::string_view ref) {
  FId.clear();
  AppendDecodedXmlText(FId, id);
  FRef.clear();
  AppendDecodedXmlText(FRef, ref);
  TNodeIds ids = ReadNodeIds(FId, FRef, FIdMap);
  node.Id = ids.Id;
  // A root that were a clone would lose the whole tree at the first
  // recalculation, which rebuilds a clone's children from its master.
  node.Ref = node.Parent ? ids.Ref : Guid::Empty();
}

void TTreeBuilder::ReadBranch(pugi::xml_node branch, TDecTreeNode& node, pugi::xml_node& branches) {
  std::array<pugi::xml_node, BranchElementCount> el{};
  FindChildren(branch, BranchElementNames, el);
  branches = el[beBranches];
  for (int i = 0; i < static_cast<int>(std::size(ValueOrder)); ++i) {
    if (i == ValuesBeforeIds)
      SetIds(node, branch.attribute("id").value(), branch.attribute("ref").value());
    ApplyBranchValue(node, ValueOrder[i], Text(el[ValueOrder[i]], FScratch));
  }
}

TDecTreeNode* TTreeBuilder::AddNode(TDecTreeNode* parent, int depth) {
  if (depth > MaxTreeFileDepth)
    throw TreeFileError("The tree has more than " + IntegerToStr(MaxTreeFileDepth) +
                        " levels, which is not supported");
  // The node is made first and filled in place: no field is built twice.
  auto made = std::make_unique<TDecTreeNode>(FTree, parent, TNodeFields{});
  TDecTreeNode* node;
  if (parent) {
    node = parent->AddChild(std::move(made));
    FParent.push_back(FIndexOfParent);
  } else {
    FRoot = std::move(made);
    node = FRoot.get();
    FParent.push_back(-1);
  }
  FOrder.push_back(node);
  return node;
}

std::unique_ptr<TDecTreeNode> TTreeBuilder::Build(pugi::xml_node rootBranch) {
  struct Pending {
    pugi::xml_node Branch;
    TDecTreeNode* Parent;
    int ParentIndex;
    int Depth;
  };
  std::vector<Pending> stack{{rootBranch, nullptr, -1, 1}};
  while (!stack.empty()) {
    Pending p = stack.back();
    stack.pop_back();
    FIndexOfParent = p.ParentIndex;
    TDecTreeNode* node = AddNode(p.Parent, p.Depth);
    int index = static_cast<int>(FOrder.size()) - 1;
    pugi::xml_node branches;
    ReadBranch(p.Branch, *node, branches);
    // Pushed last to first, so that the first child is read next.
    for (pugi::xml_node c = branches.last_child(); c; c = c.previous_sibling())
      if (c.type() == pugi::node_element && std::strcmp(c.name(), tag::Branch) == 0)
        stack.push_back({c, node, index, p.Depth + 1});
  }
  return Finish();
}

std::unique_ptr<TDecTreeNode> TTreeBuilder::Finish() {
  if (!FRoot) throw TreeFileError("The file holds no tree");
  TIdIndex index(FOrder);
  RenewDuplicateIds(index);
  bool anyClone = std::any_of(FOrder.begin(), FOrder.end(),
                              [](const TDecTreeNode* n) { return n->IsClone(); });
  if (anyClone) {
    RepairClones(index);
    TCloneExpansion expansion = MeasureCloneExpansion(*FRoot);
    if (expansion.TooLarge()) {
      std::string clone = expansion.Largest ? NodeNameForMessage(*expansion.Largest) : "";
      throw TreeFileError(
          expansion.Nodes > MaxExpandedNodes
              ? "The copies of the clone " + clone + " would make the tree hold more than " +
                    IntegerToStr(MaxExpandedNodes) + " nodes, which is not supported"
              : "The copies of the clone " + clone + " would make the tree deeper than " +
                    IntegerToStr(MaxExpandedDepth) + " levels, which is not supported");
    }
  }
  return std::move(FRoot);
}

// The first node of an id keeps it; a later one gets a fresh id, so that
// selection, undo and clone links, which all go by id, find one node. A ref
// names the first.
void TTreeBuilder::RenewDuplicateIds(TIdIndex& index) {
  for (int i = 0; i < static_cast<int>(FOrder.size()); ++i) {
    if (index.Add(i)) continue;
    do
      FOrder[i]->Id = Guid::NewGuid();
    while (!index.Add(i));
    FIdsRenewed = true;
  }
}

// Clears the clone link where the first recalculation would otherwise throw
// away nodes that the file holds: a clone whose master lies in its own
// subtree (its children, master included, would be replaced), and clones
// that reach themselves through their masters (a cycle, which the
// recalculation treats as a missing master). Masters are found as the
// recalculation finds them: the node of that id, unless it lies below a
// clone. Clearing a clone that holds children makes them nodes of their own,
// which may give other clones a master and close new cycles: those are
// looked for among what the new nodes reach, so the work stays linear for
// every file our writer makes.
void TTreeBuilder::RepairClones(const TIdIndex& index) {
  using namespace clonegraph;
  const int n = static_cast<int>(FOrder.size());
  TLinkedTree g;
  g.Size.assign(static_cast<size_t>(n), 1);
  for (int i = n - 1; i > 0; --i)
    g.Size[FParent[i]] += g.Size[i];
  auto isClone = [&](int i) { return FOrder[i]->IsClone(); };
  auto unlink = [&](int i) {
    FOrder[i]->Ref = Guid::Empty();
    g.Link[i] = NotClone;
  };
  g.Link.assign(static_cast<size_t>(n), NotClone);
  std::vector<int> target(static_cast<size_t>(n), -1); // the node a clone's ref names
  for (int i = 0; i < n; ++i) {
    if (!isClone(i)) continue;
    target[i] = index.Find(FOrder[i]->Ref);
    if (target[i] >= i && target[i] < i + g.Size[i]) FOrder[i]->Ref = Guid::Empty();
  }

  // Own nodes lie below no clone; only they can be masters.
  std::vector<char> own(static_cast<size_t>(n), 0);
  own[0] = 1;
  for (int i = 1; i < n; ++i)
    own[i] = own[FParent[i]] && !isClone(FParent[i]);
  // Clones waiting for their master to become a node of its own.
  std::unordered_map<int, std::vector<int>> waiting;
  auto resolve = [&](int c) {
    int m = target[c];
    if (m >= 0 && own[m])
      g.Link[c] = m;
    else {
      g.Link[c] = NoMaster;
      if (m >= 0) waiting[m].push_back(c);
    }
  };
  for (int i = 0; i < n; ++i)
    if (own[i] && isClone(i)) resolve(i);

  TCycleFinder finder;
  std::vector<char> recurring(static_cast<size_t>(n), 0);
  std::vector<int> starts{0}, visited, revealed;
  while (!starts.empty()) {
    visited.clear();
    finder.Run(g, starts, recurring, &visited);
    revealed.clear();
    for (int c : visited) {
      if (!recurring[c]) continue;
      recurring[c] = 0;
      unlink(c);
      revealed.push_back(c);
      // Its children become nodes of their own, down to the next clone.
      for (int j = c + 1; j < c + g.Size[c];) {
        own[j] = 1;
        revealed.push_back(j);
        if (isClone(j)) {
          resolve(j);
          j += g.Size[j];
        } else {
          ++j;
        }
      }
    }
    // Clones whose master has just become a node of its own.
    for (int j : revealed) {
      auto it = waiting.find(j);
      if (it == waiting.end()) continue;
      for (int c : it->second)
        if (own[c] && isClone(c) && g.Link[c] == NoMaster) g.Link[c] = j;
      waiting.erase(it);
    }
    starts.swap(revealed);
  }
}

// The tree of a parsed document. `place` tells where a parse error lies.
template <typename Place>
TTreeFileContents ParseContents(PugiBuffer buffer, size_t size, Place&& place, TTreeContext* tree,
                                const TFontSpec& previousFont) {
  pugi::xml_document doc;
  // The text of an element is kept in the element itself: half the nodes.
  pugi::xml_parse_result parsed =
      doc.load_buffer_inplace_own(buffer.release(), size, ParseOptions, pugi::encoding_auto);
  if (!parsed) throw TreeFileError(parsed.description() + place(parsed));
  pugi::xml_node treeElement = doc.document_element();
  if (std::strcmp(treeElement.name(), tag::Tree) != 0)
    throw TreeFileError("The document element is '" + std::string(treeElement.name()) +
                        "', not 'Tree'");

  std::array<pugi::xml_node, TreeElementCount> te{};
  FindChildren(treeElement, TreeElementNames, te);

  TTreeValues values;
  std::string scratch;
  for (int k = 0; k < teFont; ++k)
    values.Tree[k] = Text(te[k], scratch);
  pugi::xml_node font = te[teFont];
  values.FontGiven = font && HasChildNode(font);
  if (values.FontGiven) {
    std::array<pugi::xml_node, FontElementCount> fe{};
    FindChildren(font, FontElementNames, fe);
    for (int k = 0; k < FontElementCount; ++k)
      values.Font[k] = Text(fe[k], scratch);
  }
  TTreeFileContents contents;
  ApplyTreeValues(values, contents, tree, previousFont);

  TTreeBuilder builder(tree);
  contents.Root = builder.Build(te[teBranch]);
  contents.IdsRenewed = builder.IdsRenewed();
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
    size_t size = 0;
    PugiBuffer buffer = ReadWholeFile(path, size);
    return ParseContents(
        std::move(buffer), size,
        [&](const pugi::xml_parse_result& r) { return ErrorPlace(path, r); }, tree, previousFont);
  } catch (const Exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw TreeFileError("Not enough memory to read the file");
  } catch (const std::exception& e) {
    throw TreeFileError(e.what());
  }
}

TTreeFileContents ReadTreeText(std::string_view bytes, TTreeContext* tree,
                               const TFontSpec& previousFont) {
  try {
    PugiBuffer buffer = PugiAlloc(bytes.size() + 1);
    std::memcpy(buffer.get(), bytes.data(), bytes.size());
    auto place = [&](const pugi::xml_parse_result& r) -> std::string {
      if (!PlaceIsAboutText(r)) return {};
      if (!PlaceHasLines(r)) return " at offset " + IntegerToStr(r.offset);
      return ErrorPlaceIn(bytes, r);
    };
    return ParseContents(std::move(buffer), bytes.size(), place, tree, previousFont);
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
