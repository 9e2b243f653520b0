// Reading a tree file: pugixml builds the document, then the nodes are made
// in document order with an explicit stack, so no nesting depth of the file
// can exhaust the call stack.
#include "treefile/TreeFile.h"
#include "treefile/TreeFileFormat.h"

#include "foundation/ContentHash.h"
#include "foundation/Conversions.h"
#include "foundation/FileDescriptor.h"
#include "model/CloneExpansion.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <malloc.h>
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
// A regular file, open for reading; TreeFileError with the reason otherwise.
int OpenForReading(const std::string& path) {
  // Non-blocking, so that a pipe of that name is refused instead of waited on.
  TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) throw TreeFileError("Cannot open the file: " + ErrnoText(errno));
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) throw TreeFileError("Cannot read the file: " + ErrnoText(errno));
  if (S_ISDIR(st.st_mode)) throw TreeFileError("This is a folder, not a file");
  if (!S_ISREG(st.st_mode)) throw TreeFileError("This is not a regular file");
  return fd.Release();
}

// The whole file; with identity given, also the state of the file read and
// the hash of its bytes.
PugiBuffer ReadWholeFile(const std::string& path, size_t& size, TFileIdentity* identity = nullptr) {
  TFileDescriptor closer(OpenForReading(path));
  const int fd = closer.Get();
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw TreeFileError("Cannot read the file: " + ErrnoText(errno));
  if (identity) *identity = FileIdentityOf(fd);
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
  if (identity) {
    TContentHash hash;
    hash.Add(buffer.get(), used);
    identity->Hashed = true;
    identity->Hash = hash.Value();
  }
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
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<signed char>(c) >= 0; }))
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
  // A 64-bit finaliser: every bit of its input reaches every bit of its
  // output, in both directions. A multiplication alone only carries bits
  // upward, and ids numbered in their last digits (as scripts write them)
  // would all share one chain of slots.
  static uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Slot(const Guid& id) const {
    uint64_t a, b;
    std::memcpy(&a, &id, 8);
    std::memcpy(&b, reinterpret_cast<const char*>(&id) + 8, 8);
    return static_cast<size_t>(Mix(Mix(a ^ FKey[0]) ^ b ^ FKey[1])) & (FSlots.size() - 1);
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
  auto decoded = [](std::string_view raw, std::string& out) -> std::string_view {
    if (!NeedsDecoding(raw)) return raw;
    out.clear();
    AppendDecodedXmlText(out, raw);
    return out;
  };
  TNodeIds ids = ReadNodeIds(decoded(id, FId), decoded(ref, FRef), FIdMap);
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
  bool anyClone =
      std::any_of(FOrder.begin(), FOrder.end(), [](const TDecTreeNode* n) { return n->IsClone(); });
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

// ---- The stream ------------------------------------------------------------
//
// Files as the writer makes them, and most others, are read in one pass over
// the bytes, a block at a time: no document is built, so a large file costs
// little more memory than its tree. The stream takes only plain UTF-8 XML
// made of elements, attributes, text and CDATA sections, with at most the
// declaration before the document element. Whatever else a file holds (a
// comment, a processing instruction, a document type, another encoding, a
// NUL byte, mixed content in a value, an error of any kind), the stream
// gives up and the file is read through the document parser, which gives
// the same tree, or the reason why there is none.

class TStreamGaveUp {};

// Two elements a level (Branch, Branches) and a value.
constexpr size_t MaxStreamNesting = 2 * MaxTreeFileDepth + 16;
// A fault of a file that the stream has read to its end.
struct TStreamVerdict {
  std::exception_ptr Error;
};

template <size_t N>
std::array<std::string_view, N> NameViews(const char* const (&names)[N]) {
  std::array<std::string_view, N> views;
  for (size_t i = 0; i < N; ++i)
    views[i] = names[i];
  return views;
}
const auto TreeNameViews = NameViews(TreeElementNames);
const auto FontNameViews = NameViews(FontElementNames);
const auto BranchNameViews = NameViews(BranchElementNames);

class TByteStream {
public:
  // A file read in blocks; a small file in one.
  // With a hash given, every byte read from the file goes into it.
  TByteStream(int fd, size_t sizeHint, TContentHash* hash = nullptr)
      : FFd(fd), FHash(hash), FCapacity(std::clamp(sizeHint + 1, size_t(4096), BlockSize)) {
    FStorage.reset(new char[FCapacity]);
    FData = FStorage.get();
  }
  // Bytes in memory, all at once.
  explicit TByteStream(std::string_view bytes)
      : FData(bytes.data()), FEnd(bytes.size()), FEof(true) {}

  const char* Data() const { return FData; }
  size_t Pos() const { return FPos; }
  size_t End() const { return FEnd; }
  void Skip(size_t n) { FPos += n; }

  // Ensures n bytes from Pos() where the input has them; false at its end.
  bool Have(size_t n) {
    while (FEnd - FPos < n)
      if (!Refill()) return false;
    return true;
  }
  // The first c at or after Pos() + from, as an offset from Pos(); npos at
  // the end of the input. Bytes from Pos() on stay in the buffer.
  size_t Find(char c, size_t from = 0) {
    for (;;) {
      if (FPos + from < FEnd) {
        const void* hit = std::memchr(FData + FPos + from, c, FEnd - FPos - from);
        if (hit) return static_cast<size_t>(static_cast<const char*>(hit) - FData) - FPos;
        from = FEnd - FPos;
      }
      if (!Refill()) return std::string_view::npos;
    }
  }

private:
  static constexpr size_t BlockSize = size_t(4) << 20;

  bool Refill() {
    if (FEof) return false;
    if (FPos > 0) {
      std::memmove(FStorage.get(), FData + FPos, FEnd - FPos);
      FEnd -= FPos;
      FPos = 0;
    }
    if (FEnd == FCapacity) {
      // One token larger than a block: the buffer grows to hold it.
      std::unique_ptr<char[]> larger(new char[FCapacity * 2]);
      std::memcpy(larger.get(), FStorage.get(), FEnd);
      FStorage = std::move(larger);
      FData = FStorage.get();
      FCapacity *= 2;
    }
    for (;;) {
      ssize_t n = ::read(FFd, FStorage.get() + FEnd, FCapacity - FEnd);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw TreeFileError("Cannot read the file: " + ErrnoText(errno));
      if (n == 0) {
        FEof = true;
        return false;
      }
      if (FHash) FHash->Add(FStorage.get() + FEnd, static_cast<size_t>(n));
      FEnd += static_cast<size_t>(n);
      return true;
    }
  }

public:
  // Reads what the reader left of the file, so that the hash has it all.
  void ReadToEnd() {
    while (!FEof) {
      FPos = FEnd;
      Refill();
    }
  }

private:
  int FFd = -1;
  TContentHash* FHash = nullptr;
  std::unique_ptr<char[]> FStorage;
  const char* FData = nullptr;
  size_t FCapacity = 0, FPos = 0, FEnd = 0;
  bool FEof = false;
};

constexpr std::array<bool, 256> NameChars = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
  return t;
}();

bool IsNameChar(unsigned char c) {
  return NameChars[c];
}

// Bytes of a tag that need a closer look: quotes, and what may not be there.
constexpr std::array<bool, 256> TagSpecials = [] {
  std::array<bool, 256> t{};
  t['"'] = t['\''] = t['<'] = t[0] = true;
  return t;
}();

bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Line ends as XML reads them: CR LF and a lone CR become LF; in attribute
// values every line end and tab becomes one blank.
void AppendWithLineEnds(std::string& out, std::string_view text, bool attribute) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      c = attribute ? ' ' : '\n';
    } else if (attribute && (c == '\n' || c == '\t')) {
      c = ' ';
    }
    out += c;
  }
}

class TStreamReader {
public:
  TStreamReader(TByteStream& in, TTreeContext* tree) : FIn(in), FBuilder(tree) {}

  // The contents, or TStreamGaveUp (or any exception) when the file must go
  // through the document parser.
  TTreeFileContents Read(TTreeContext* tree, const TFontSpec& previousFont);

private:
  enum class TKind { Tree, Font, Branch, Branches, Value, Skip };
  struct TFrame {
    TKind Kind;
    const char* Known = nullptr; // one of the format's names, or nullptr
    std::string Owned;           // any other name
    int Element = -1;            // the value element, or the Branch's node index
    TDecTreeNode* Node = nullptr;
    uint32_t Seen = 0; // value elements met, by bit
    int Depth = 0;     // of a Branch
    int Next = 0;      // the element expected next: files keep the order
    std::string_view Name() const { return Known ? std::string_view(Known) : Owned; }
  };
  void Push(TKind kind, const char* known, std::string_view name, int element = -1,
            TDecTreeNode* node = nullptr, int depth = 0) {
    TFrame& f = FStack.emplace_back();
    f.Kind = kind;
    f.Known = known;
    if (!known) f.Owned.assign(name);
    f.Element = element;
    f.Node = node;
    f.Depth = depth;
  }

  [[noreturn]] static void GiveUp() { throw TStreamGaveUp(); }
  void Prolog();
  void Element();
  void EndElement();
  void Text(size_t length);
  void CData();
  void OpenValue(int element, const char* known);
  // The ids of a Branch from its attributes, line ends as attributes have
  // them.
  void SetIds(TDecTreeNode& node, std::string_view id, std::string_view ref) {
    auto plain = [](std::string_view v) {
      return v.find_first_of("\r\n\t") == std::string_view::npos;
    };
    if (plain(id) && plain(ref)) return FBuilder.SetIds(node, id, ref);
    FId.clear();
    AppendWithLineEnds(FId, id, true);
    FPiece.clear();
    AppendWithLineEnds(FPiece, ref, true);
    FBuilder.SetIds(node, FId, FPiece);
  }
  void CloseValue(const TFrame& frame, const TFrame& parent);

  TByteStream& FIn;
  TTreeBuilder FBuilder;
  TTreeValues FValues;
  std::vector<TFrame> FStack;
  bool FTreeDone = false, FRootMade = false;
  // The text of the value element being read; white space alone is held
  // apart, as it counts only when it is the element's whole content.
  std::string FValue, FPendingBlank;
  int FPieces = 0, FBlanks = 0;
  std::string FId, FRef, FPiece;
};

TTreeFileContents TStreamReader::Read(TTreeContext* tree, const TFontSpec& previousFont) {
  Prolog();
  while (!FTreeDone) {
    // The indentation between elements, most of a file's bytes, is passed
    // over here unless it may be a value.
    if (!FStack.empty() && FStack.back().Kind != TKind::Value) {
      const char* d = FIn.Data();
      size_t i = FIn.Pos(), end = FIn.End();
      while (i < end && IsSpace(d[i])) {
        // Blanks eight at a time.
        uint64_t word;
        while (i + 8 <= end && (std::memcpy(&word, d + i, 8), word == 0x2020202020202020ull))
          i += 8;
        if (i < end && IsSpace(d[i])) ++i;
      }
      FIn.Skip(i - FIn.Pos());
    }
    size_t lt = FIn.Find('<');
    if (lt == std::string_view::npos) GiveUp();
    if (lt > 0) Text(lt);
    if (!FIn.Have(2)) GiveUp();
    char next = FIn.Data()[FIn.Pos() + 1];
    if (next == '/')
      EndElement();
    else if (next == '!')
      CData();
    else
      Element();
  }
  // Nothing but white space may follow.
  for (;;) {
    if (!FIn.Have(1)) break;
    if (!IsSpace(FIn.Data()[FIn.Pos()])) GiveUp();
    FIn.Skip(1);
  }
  if (!FRootMade) GiveUp(); // reported as a Branch without values
  // The whole file is read: a fault found from here on is the file's, as
  // the document parser would find it too.
  try {
    TTreeFileContents contents;
    ApplyTreeValues(FValues, contents, tree, previousFont);
    contents.Root = FBuilder.Finish();
    contents.IdsRenewed = FBuilder.IdsRenewed();
    return contents;
  } catch (const Exception&) {
    throw TStreamVerdict{std::current_exception()};
  }
}

void TStreamReader::Prolog() {
  if (FIn.Have(3) && std::memcmp(FIn.Data() + FIn.Pos(), "\xEF\xBB\xBF", 3) == 0) FIn.Skip(3);
  if (FIn.Have(5) && std::memcmp(FIn.Data() + FIn.Pos(), "<?xml", 5) == 0) {
    size_t end = FIn.Find('>');
    if (end == std::string_view::npos) GiveUp();
    std::string_view decl(FIn.Data() + FIn.Pos(), end + 1);
    if (decl.size() < 7 || decl[decl.size() - 2] != '?' || !IsSpace(decl[5])) GiveUp();
    for (char c : decl.substr(1))
      if (!IsSpace(c) && (c < 0x20 || c > 0x7E || c == '<')) GiveUp();
    // Only UTF-8: another encoding is converted by the document parser.
    size_t at = decl.find("encoding");
    if (at != std::string_view::npos) {
      size_t quote = decl.find_first_of("\"'", at);
      if (quote == std::string_view::npos) GiveUp();
      size_t close = decl.find(decl[quote], quote + 1);
      if (close == std::string_view::npos) GiveUp();
      std::string name(decl.substr(quote + 1, close - quote - 1));
      for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (name != "utf-8") GiveUp();
    }
    FIn.Skip(end + 1);
  }
  while (FIn.Have(1) && IsSpace(FIn.Data()[FIn.Pos()]))
    FIn.Skip(1);
  if (!FIn.Have(6) || std::memcmp(FIn.Data() + FIn.Pos(), "<Tree", 5) != 0) GiveUp();
  char after = FIn.Data()[FIn.Pos() + 5];
  if (!IsSpace(after) && after != '>' && after != '/') GiveUp();
}

// A start tag, or an empty element.
void TStreamReader::Element() {
  // The tag up to '>', quotes included: '>' is allowed in a value.
  size_t end = FIn.Find('>', 1);
  if (end == std::string_view::npos) GiveUp();
  const char* first = FIn.Data() + FIn.Pos();
  bool special = false;
  for (size_t i = 1; i < end && !special; ++i)
    special = TagSpecials[static_cast<unsigned char>(first[i])];
  // Most tags have no quotes, and then no '>' within a value.
  if (special) {
    char quote = 0;
    for (size_t i = 1;;) {
      const char* d = FIn.Data() + FIn.Pos();
      for (; i < end; ++i) {
        char c = d[i];
        if (c == '\0' || c == '<') GiveUp();
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        }
      }
      if (!quote) break;
      // That '>' lies within a value: the tag goes on to the next.
      i = end + 1;
      end = FIn.Find('>', i);
      if (end == std::string_view::npos) GiveUp();
    }
  }
  // Nesting far beyond what a tree needs is left to the document parser,
  // whose nodes are smaller than these frames.
  if (FStack.size() > MaxStreamNesting) GiveUp();
  std::string_view tag(FIn.Data() + FIn.Pos() + 1, end - 1); // between '<' and '>'
  const bool empty = !tag.empty() && tag.back() == '/';
  if (empty) tag.remove_suffix(1);
  size_t n = 0;
  while (n < tag.size() && IsNameChar(static_cast<unsigned char>(tag[n])))
    ++n;
  if (n == 0 || !IsNameStart(static_cast<unsigned char>(tag[0])) ||
      (n < tag.size() && !IsSpace(tag[n])))
    GiveUp();
  std::string_view name = tag.substr(0, n);
  // Attributes: name = "value", the first of each name counts.
  bool haveId = false, haveRef = false;
  std::string_view id, ref;
  for (size_t i = n;;) {
    while (i < tag.size() && IsSpace(tag[i]))
      ++i;
    if (i == tag.size()) break;
    size_t nameStart = i;
    while (i < tag.size() && IsNameChar(static_cast<unsigned char>(tag[i])))
      ++i;
    std::string_view attribute = tag.substr(nameStart, i - nameStart);
    if (attribute.empty() || !IsNameStart(static_cast<unsigned char>(attribute[0]))) GiveUp();
    while (i < tag.size() && IsSpace(tag[i]))
      ++i;
    if (i == tag.size() || tag[i] != '=') GiveUp();
    ++i;
    while (i < tag.size() && IsSpace(tag[i]))
      ++i;
    if (i == tag.size() || (tag[i] != '"' && tag[i] != '\'')) GiveUp();
    size_t close = tag.find(tag[i], i + 1);
    if (close == std::string_view::npos) GiveUp();
    std::string_view value = tag.substr(i + 1, close - i - 1);
    i = close + 1;
    if (i < tag.size() && !IsSpace(tag[i])) GiveUp();
    if (attribute == "id" && !haveId) {
      haveId = true;
      id = value;
    } else if (attribute == "ref" && !haveRef) {
      haveRef = true;
      ref = value;
    }
  }

  if (FStack.empty()) {
    if (name != tag::Tree) GiveUp();
    Push(TKind::Tree, tag::Tree, name);
  } else {
    TFrame& parent = FStack.back();
    auto find = [&](const std::string_view* names, int count) {
      int k = -1;
      if (parent.Next < count && name == names[parent.Next]) {
        k = parent.Next;
      } else {
        for (int j = 0; j < count; ++j)
          if (name == names[j]) {
            k = j;
            break;
          }
      }
      if (k < 0) return -1;
      parent.Next = k + 1;
      return (parent.Seen >> k) & 1 ? -1 : k;
    };
    switch (parent.Kind) {
    case TKind::Tree: {
      int k = find(TreeNameViews.data(), TreeElementCount);
      if (k >= 0) parent.Seen |= uint32_t(1) << k;
      if (k == teFont) {
        FValues.FontGiven = false;
        Push(TKind::Font, tag::Font, name);
      } else if (k == teBranch) {
        FBuilder.SetParentIndex(-1);
        TDecTreeNode* root = FBuilder.AddNode(nullptr, 1);
        FRootMade = true;
        SetIds(*root, id, ref);
        Push(TKind::Branch, tag::Branch, name, FBuilder.LastIndex(), root, 1);
      } else if (k >= 0) {
        OpenValue(k, TreeElementNames[k]);
      } else {
        Push(TKind::Skip, nullptr, name);
      }
      break;
    }
    case TKind::Font: {
      FValues.FontGiven = true;
      int k = find(FontNameViews.data(), FontElementCount);
      if (k >= 0) {
        parent.Seen |= uint32_t(1) << k;
        OpenValue(k, FontElementNames[k]);
      } else {
        Push(TKind::Skip, nullptr, name);
      }
      break;
    }
    case TKind::Branch: {
      int k = find(BranchNameViews.data(), BranchElementCount);
      if (k >= 0) parent.Seen |= uint32_t(1) << k;
      if (k == beBranches) {
        Push(TKind::Branches, tag::Branches, name, parent.Element, parent.Node, parent.Depth);
      } else if (k >= 0) {
        OpenValue(k, BranchElementNames[k]);
      } else {
        Push(TKind::Skip, nullptr, name);
      }
      break;
    }
    case TKind::Branches: {
      if (name != tag::Branch) {
        Push(TKind::Skip, nullptr, name);
        break;
      }
      FBuilder.SetParentIndex(parent.Element);
      TDecTreeNode* node = FBuilder.AddNode(parent.Node, parent.Depth + 1);
      SetIds(*node, id, ref);
      Push(TKind::Branch, tag::Branch, name, FBuilder.LastIndex(), node, parent.Depth + 1);
      break;
    }
    case TKind::Value:
      GiveUp(); // an element within a value
    case TKind::Skip:
      Push(TKind::Skip, nullptr, name);
      break;
    }
  }
  FIn.Skip(end + 1);
  if (empty) {
    TFrame frame = std::move(FStack.back());
    FStack.pop_back();
    if (frame.Kind == TKind::Value)
      CloseValue(frame, FStack.back());
    else if (frame.Kind == TKind::Branch) {
      for (TBranchElement k : ValueOrder)
        ApplyBranchValue(*frame.Node, k, {});
    } else if (frame.Kind == TKind::Tree) {
      FTreeDone = true;
    }
  }
}

void TStreamReader::OpenValue(int element, const char* known) {
  FValue.clear();
  FPendingBlank.clear();
  FPieces = FBlanks = 0;
  Push(TKind::Value, known, {}, element);
}

void TStreamReader::CloseValue(const TFrame& frame, const TFrame& parent) {
  // White space alone counts only as the whole content.
  if (FPieces == 0 && FBlanks == 1) FValue = FPendingBlank;
  switch (parent.Kind) {
  case TKind::Tree:
    FValues.Tree[frame.Element] = FValue;
    break;
  case TKind::Font:
    FValues.Font[frame.Element] = FValue;
    break;
  case TKind::Branch:
    ApplyBranchValue(*parent.Node, static_cast<TBranchElement>(frame.Element), FValue);
    break;
  default:
    GiveUp();
  }
}

void TStreamReader::EndElement() {
  size_t end = FIn.Find('>');
  if (end == std::string_view::npos || FStack.empty()) GiveUp();
  std::string_view tag(FIn.Data() + FIn.Pos() + 2, end - 2);
  while (!tag.empty() && IsSpace(tag.back()))
    tag.remove_suffix(1);
  TFrame frame = std::move(FStack.back());
  if (tag != frame.Name()) GiveUp();
  FIn.Skip(end + 1);
  FStack.pop_back();
  switch (frame.Kind) {
  case TKind::Value:
    CloseValue(frame, FStack.back());
    break;
  case TKind::Branch:
    // What the file does not give reads as empty text.
    for (TBranchElement k : ValueOrder)
      if (!((frame.Seen >> k) & 1)) ApplyBranchValue(*frame.Node, k, {});
    break;
  case TKind::Tree:
    FTreeDone = true;
    break;
  default:
    break;
  }
}

void TStreamReader::Text(size_t length) {
  std::string_view text(FIn.Data() + FIn.Pos(), length);
  if (text.find('\0') != std::string_view::npos || FStack.empty()) GiveUp();
  TFrame& frame = FStack.back();
  if (frame.Kind == TKind::Value) {
    if (IsWhiteSpace(text)) {
      // Kept aside: it counts only as the element's whole content.
      if (++FBlanks == 1) AppendWithLineEnds(FPendingBlank, text, false);
    } else {
      ++FPieces;
      if (!NeedsDecoding(text) && text.find('\r') == std::string_view::npos) {
        FValue.append(text);
      } else {
        FPiece.clear();
        AppendWithLineEnds(FPiece, text, false);
        AppendDecodedXmlText(FValue, FPiece);
      }
    }
  } else if (frame.Kind == TKind::Font && !IsWhiteSpace(text)) {
    FValues.FontGiven = true;
  }
  FIn.Skip(length);
}

void TStreamReader::CData() {
  static constexpr std::string_view Open = "<![CDATA[";
  if (!FIn.Have(Open.size()) || std::string_view(FIn.Data() + FIn.Pos(), Open.size()) != Open ||
      FStack.empty())
    GiveUp(); // a comment or a document type
  size_t end = Open.size();
  for (;;) {
    end = FIn.Find('>', end);
    if (end == std::string_view::npos) GiveUp();
    if (end >= Open.size() + 2 && FIn.Data()[FIn.Pos() + end - 1] == ']' &&
        FIn.Data()[FIn.Pos() + end - 2] == ']')
      break;
    ++end;
  }
  std::string_view text(FIn.Data() + FIn.Pos() + Open.size(), end - 2 - Open.size());
  if (text.find('\0') != std::string_view::npos) GiveUp();
  TFrame& frame = FStack.back();
  if (frame.Kind == TKind::Value) {
    ++FPieces;
    AppendWithLineEnds(FValue, text, false);
  } else if (frame.Kind == TKind::Font) {
    FValues.FontGiven = true;
  }
  FIn.Skip(end + 1);
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

namespace {

// The stream first; the document parser when the stream gives up.
template <typename Stream, typename Parse>
TTreeFileContents ReadEitherWay(Stream&& stream, Parse&& parse) {
  try {
    try {
      return stream();
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const TStreamVerdict& verdict) {
      std::rethrow_exception(verdict.Error);
    } catch (...) {
      // Given up, or a fault met halfway, which the document parser reports
      // as it finds it: a later fault of the XML comes first.
    }
    return parse();
  } catch (const Exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw TreeFileError("Not enough memory to read the file");
  } catch (const std::exception& e) {
    throw TreeFileError(e.what());
  }
}

void ReleaseFreedMemory(size_t fileSize) {
  // The parse and the building leave freed memory behind in the heap: hand
  // it back to the system, where there is enough to be worth the walk.
  if (fileSize >= (size_t(4) << 20)) ::malloc_trim(0);
}

} // namespace

TTreeFileContents ReadTreeFile(const std::string& path, TTreeContext* tree,
                               const TFontSpec& previousFont) {
  size_t size = 0;
  TFileIdentity identity;
  TTreeFileContents contents = ReadEitherWay(
      [&] {
        TFileDescriptor closer(OpenForReading(path));
        const int fd = closer.Get();
        identity = FileIdentityOf(fd);
        size = static_cast<size_t>(identity.Size);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        // The bytes read are hashed, so that a later change of the file's
        // times or metadata alone can be told from a change of its bytes.
        TContentHash hash;
        TByteStream in(fd, size, &hash);
        TTreeFileContents read = TStreamReader(in, tree).Read(tree, previousFont);
        in.ReadToEnd();
        identity.Hashed = true;
        identity.Hash = hash.Value();
        return read;
      },
      [&] {
        // Read again from the start: the state is that of this reading.
        PugiBuffer buffer = ReadWholeFile(path, size, &identity);
        return ParseContents(
            std::move(buffer), size,
            [&](const pugi::xml_parse_result& r) { return ErrorPlace(path, r); }, tree,
            previousFont);
      });
  ReleaseFreedMemory(size);
  contents.Identity = identity;
  return contents;
}

TTreeFileContents ReadTreeText(std::string_view bytes, TTreeContext* tree,
                               const TFontSpec& previousFont) {
  return ReadEitherWay(
      [&] {
        TByteStream in(bytes);
        return TStreamReader(in, tree).Read(tree, previousFont);
      },
      [&] { return treefile::ReadTreeTextWithDocument(bytes, tree, previousFont); });
}

TTreeFileContents ReadTreeFileWithDocument(const std::string& path, TTreeContext* tree,
                                           const TFontSpec& previousFont) {
  size_t size = 0;
  PugiBuffer buffer = ReadWholeFile(path, size);
  return ParseContents(
      std::move(buffer), size, [&](const pugi::xml_parse_result& r) { return ErrorPlace(path, r); },
      tree, previousFont);
}

namespace treefile {

TTreeFileContents ReadTreeTextWithDocument(std::string_view bytes, TTreeContext* tree,
                                           const TFontSpec& previousFont) {
  PugiBuffer buffer = PugiAlloc(bytes.size() + 1);
  std::memcpy(buffer.get(), bytes.data(), bytes.size());
  auto place = [&](const pugi::xml_parse_result& r) -> std::string {
    if (!PlaceIsAboutText(r)) return {};
    if (!PlaceHasLines(r)) return " at offset " + IntegerToStr(r.offset);
    return ErrorPlaceIn(bytes, r);
  };
  return ParseContents(std::move(buffer), bytes.size(), place, tree, previousFont);
}

TTreeFileContents ReadTreeTextByStream(std::string_view bytes, TTreeContext* tree,
                                       const TFontSpec& previousFont, bool& gaveUp) {
  gaveUp = false;
  try {
    TByteStream in(bytes);
    return TStreamReader(in, tree).Read(tree, previousFont);
  } catch (const TStreamGaveUp&) {
    gaveUp = true;
    return {};
  } catch (const TStreamVerdict& verdict) {
    std::rethrow_exception(verdict.Error);
  }
}

} // namespace treefile

std::string FileNotFoundMessage(const std::string& fileName) {
  return "File '" + fileName + "' does not exist.";
}

std::string OpenErrorMessage(const std::string& fileName, const std::string& reason) {
  return "Error opening file: " + fileName + "\n\n" + reason;
}

std::string SaveErrorMessage(const std::string& reason) {
  return "Error saving file: \n\n" + reason;
}

std::string ChangedFileQuestion(const std::string& fileName) {
  return "'" + fileName +
         "' has been changed by another program since it was opened or last saved. Overwrite it?";
}

} // namespace bw
