#include "model/TreeCodec.h"

#include "foundation/Assert.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace bw {

namespace {

static_assert(sizeof(Guid) == 16);

// A chunk ends after a node whose id hashes to one of 64 values, or once it
// holds this many nodes.
constexpr uint64_t BoundaryMask = 63;
constexpr size_t MaxChunkNodes = 256;

// Bits of the first flag byte.
enum : uint8_t {
  fChildrenVisible = 1,
  fDecisionFixed = 2,
  fHasRef = 4,
  fHasProbability = 8,
  fHasPayoff = 16,
  fHasBudget = 32,
  fHasDueDate = 64,
};

// The five texts of a node; a bit each says that it is not empty.
constexpr int TextCount = 5;

bool EndsChunk(const Guid& id) {
  uint64_t a, b;
  std::memcpy(&a, &id, 8);
  std::memcpy(&b, reinterpret_cast<const char*>(&id) + 8, 8);
  const uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
  return (h >> 58 & BoundaryMask) == 0;
}

// Appends to a string through a cursor: the encoder writes tens of bytes a
// node for every node of the tree, one byte at a time.
class TWriter {
public:
  explicit TWriter(std::string& out) : FOut(out), FUsed(out.size()) {}
  ~TWriter() { FOut.resize(FUsed); }
  TWriter(const TWriter&) = delete;
  TWriter& operator=(const TWriter&) = delete;

  // Room for at least `bytes` more.
  void Reserve(size_t bytes) {
    if (FOut.size() - FUsed < bytes) FOut.resize(std::max(FOut.size() * 2, FUsed + bytes + 256));
    FAt = FOut.data() + FUsed;
  }
  void Byte(uint8_t b) { *FAt++ = static_cast<char>(b); }
  void Varint(uint64_t v) {
    while (v >= 0x80) {
      *FAt++ = static_cast<char>(v | 0x80);
      v >>= 7;
    }
    *FAt++ = static_cast<char>(v);
  }
  void Signed(int64_t v) {
    Varint((static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63));
  }
  template <typename T>
  void Raw(const T& value) {
    std::memcpy(FAt, &value, sizeof value);
    FAt += sizeof value;
  }
  void Text(const std::string& text) {
    Varint(text.size());
    std::memcpy(FAt, text.data(), text.size());
    FAt += text.size();
  }
  // Ends a run of writes within the reserved room.
  void Commit() { FUsed = static_cast<size_t>(FAt - FOut.data()); }

private:
  std::string& FOut;
  size_t FUsed;
  char* FAt = nullptr;
};

// The most a node's fields take besides its texts, and a text besides its
// bytes.
constexpr size_t MaxFixedBytes = 10 + 5 + 16 + 8 + 10 + 10 + 8;
constexpr size_t MaxTextBytes = 10;

// Reads what the writer above wrote; running past the end is an assertion
// failure, never a read outside the bytes.
class TReader {
public:
  explicit TReader(std::string_view bytes) : FBytes(bytes) {}
  bool AtEnd() const { return FPos == FBytes.size(); }

  uint8_t Byte() {
    BW_ASSERT(FPos < FBytes.size());
    return static_cast<uint8_t>(FBytes[FPos++]);
  }
  uint64_t Varint() {
    uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
      BW_ASSERT(shift < 64);
      const uint8_t b = Byte();
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
  }
  int64_t Signed() {
    const uint64_t v = Varint();
    return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
  }
  template <typename T>
  T Raw() {
    BW_ASSERT(FBytes.size() - FPos >= sizeof(T));
    T value;
    std::memcpy(&value, FBytes.data() + FPos, sizeof value);
    FPos += sizeof value;
    return value;
  }
  std::string Text() {
    const uint64_t size = Varint();
    BW_ASSERT(FBytes.size() - FPos >= size);
    std::string text(FBytes.substr(FPos, size));
    FPos += size;
    return text;
  }

private:
  std::string_view FBytes;
  size_t FPos = 0;
};

void PutFields(TWriter& out, const TDecTreeNode& n, bool asCopy) {
  const bool multiBudget = asCopy ? n.GetDecisionMultiShowBudget() : n.DecisionMultiShowBudget;
  const bool multiInvestment =
      asCopy ? n.GetDecisionMultiShowInvestment() : n.DecisionMultiShowInvestment;
  const uint64_t probability = std::bit_cast<uint64_t>(n.Probability);
  const uint64_t dueDate = std::bit_cast<uint64_t>(n.DecisionDueDate);
  uint8_t flags = 0;
  if (n.ChildrenVisible) flags |= fChildrenVisible;
  if (n.DecisionFixed) flags |= fDecisionFixed;
  if (!n.Ref.IsEmpty()) flags |= fHasRef;
  if (probability != 0) flags |= fHasProbability;
  if (n.Payoff != 0) flags |= fHasPayoff;
  if (n.DecisionMultiBudget != -1) flags |= fHasBudget;
  if (dueDate != 0) flags |= fHasDueDate;
  const uint8_t shows = static_cast<uint8_t>(n.DecisionShowCaption | n.DecisionShowOwner << 1 |
                                             n.DecisionShowDueDate << 2 | n.DecisionShowFixed << 3 |
                                             multiBudget << 4 | multiInvestment << 5);
  const std::string* texts[TextCount] = {&n.Caption, &n.Comment, &n.DecisionCaption,
                                         &n.DecisionOwner, &n.PayoffSource};
  uint8_t present = 0;
  size_t room = MaxFixedBytes;
  for (int i = 0; i < TextCount; ++i)
    if (!texts[i]->empty()) {
      present |= static_cast<uint8_t>(1 << i);
      room += MaxTextBytes + texts[i]->size();
    }

  out.Reserve(room);
  out.Varint(static_cast<uint64_t>(n.ChildCount()));
  out.Byte(n.NodeType);
  out.Byte(n.ChanceType);
  out.Byte(flags);
  out.Byte(shows);
  out.Byte(present);
  if (flags & fHasRef) out.Raw(n.Ref);
  if (flags & fHasProbability) out.Raw(probability);
  if (flags & fHasPayoff) out.Signed(n.Payoff);
  if (flags & fHasBudget) out.Signed(n.DecisionMultiBudget);
  if (flags & fHasDueDate) out.Raw(dueDate);
  for (int i = 0; i < TextCount; ++i)
    if (present & (1 << i)) out.Text(*texts[i]);
  out.Commit();
}

// The fields of one node and the number of its children.
TNodeFields GetFields(TReader& in, int& childCount) {
  const uint64_t children = in.Varint();
  BW_ASSERT(children <= INT32_MAX);
  childCount = static_cast<int>(children);
  TNodeFields f;
  f.NodeType = static_cast<TNodeType>(in.Byte());
  f.ChanceType = static_cast<TChanceType>(in.Byte());
  const uint8_t flags = in.Byte();
  const uint8_t shows = in.Byte();
  const uint8_t present = in.Byte();
  f.ChildrenVisible = flags & fChildrenVisible;
  f.DecisionFixed = flags & fDecisionFixed;
  f.DecisionShowCaption = shows & 1;
  f.DecisionShowOwner = shows & 2;
  f.DecisionShowDueDate = shows & 4;
  f.DecisionShowFixed = shows & 8;
  f.DecisionMultiShowBudget = shows & 16;
  f.DecisionMultiShowInvestment = shows & 32;
  if (flags & fHasRef) f.Ref = in.Raw<Guid>();
  f.Probability = flags & fHasProbability ? std::bit_cast<double>(in.Raw<uint64_t>()) : 0.0;
  if (flags & fHasPayoff) f.Payoff = in.Signed();
  if (flags & fHasBudget) {
    const int64_t budget = in.Signed();
    BW_ASSERT(budget >= INT32_MIN && budget <= INT32_MAX);
    f.DecisionMultiBudget = static_cast<int>(budget);
  }
  f.DecisionDueDate = flags & fHasDueDate ? std::bit_cast<double>(in.Raw<uint64_t>()) : 0.0;
  std::string* texts[TextCount] = {&f.Caption, &f.Comment, &f.DecisionCaption, &f.DecisionOwner,
                                   &f.PayoffSource};
  for (int i = 0; i < TextCount; ++i)
    if (present & (1 << i)) *texts[i] = in.Text();
  return f;
}

} // namespace

std::vector<TTreeChunk> EncodeTree(const TDecTreeNode& root, bool asCopy) {
  std::vector<TTreeChunk> chunks;
  // Pre-order with an explicit stack: a tree may be deeper than the call
  // stack allows. Each entry notes how many clones lie above the node.
  struct Entry {
    const TDecTreeNode* Node;
    int ClonesAbove;
  };
  std::vector<Entry> stack{{&root, 0}};
  while (!stack.empty()) {
    TTreeChunk& chunk = chunks.emplace_back();
    chunk.Ids.reserve(MaxChunkNodes / 4 * sizeof(Guid));
    chunk.Fields.reserve(MaxChunkNodes * 16);
    TWriter ids(chunk.Ids), copyIds(chunk.CopyIds), fields(chunk.Fields);
    for (size_t inChunk = 1;; ++inChunk) {
      const auto [n, clonesAbove] = stack.back();
      stack.pop_back();
      TWriter& id = clonesAbove > 0 ? copyIds : ids;
      id.Reserve(sizeof(Guid));
      id.Raw(n->Id);
      id.Commit();
      PutFields(fields, *n, asCopy);
      const int below = clonesAbove + (n->IsClone() ? 1 : 0);
      for (int i = n->ChildCount() - 1; i >= 0; --i)
        stack.push_back({n->Child(i), below});
      // Cut only after a node that is neither a copy nor a clone, so that
      // the next chunk starts with a node whose id stays from one
      // recalculation to the next.
      if (stack.empty() || (below == 0 && (EndsChunk(n->Id) || inChunk >= MaxChunkNodes))) break;
    }
  }
  return chunks;
}

std::unique_ptr<TDecTreeNode> DecodeTree(const std::vector<TTreeChunkView>& chunks,
                                         TTreeContext* tree) {
  // The nodes in blocks, in pre-order.
  size_t nodes = 0;
  for (const TTreeChunkView& chunk : chunks)
    nodes += (chunk.Ids.size() + chunk.CopyIds.size()) / sizeof(Guid);
  TNodeBlocks blocks(nodes, sizeof(TDecTreeNode));

  std::unique_ptr<TDecTreeNode> root;
  // The nodes still waiting for children, with how many are to come.
  struct Open {
    TDecTreeNode* Node;
    int Missing;
    int ClonesAbove;
  };
  std::vector<Open> open;
  for (const TTreeChunkView& chunk : chunks) {
    TReader ids(chunk.Ids), copyIds(chunk.CopyIds), fields(chunk.Fields);
    while (!fields.AtEnd()) {
      BW_ASSERT(!root || !open.empty());
      TDecTreeNode* parent = open.empty() ? nullptr : open.back().Node;
      const int clonesAbove = open.empty() ? 0 : open.back().ClonesAbove;
      const Guid id = (clonesAbove > 0 ? copyIds : ids).Raw<Guid>();
      int childCount = 0;
      TNodeFields f = GetFields(fields, childCount);
      f.Id = id;
      std::unique_ptr<TDecTreeNode> node(new (blocks.Next())
                                             TDecTreeNode(tree, parent, std::move(f)));
      TDecTreeNode* made = node.get();
      if (childCount > 0) made->Children.Reserve(childCount);
      if (parent) {
        parent->Children.Add(node.release());
        if (--open.back().Missing == 0) open.pop_back();
      } else {
        root = std::move(node);
      }
      if (childCount > 0)
        open.push_back({made, childCount, clonesAbove + (made->IsClone() ? 1 : 0)});
    }
    BW_ASSERT(ids.AtEnd() && copyIds.AtEnd());
  }
  BW_ASSERT(root && open.empty());
  return root;
}

Guid FirstChunkId(const TTreeChunk& chunk) {
  BW_ASSERT(chunk.Ids.size() >= sizeof(Guid));
  Guid id;
  std::memcpy(&id, chunk.Ids.data(), sizeof id);
  return id;
}

} // namespace bw
