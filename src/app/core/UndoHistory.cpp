#include "app/core/UndoHistory.h"

#include "app/core/UIStrings.h"
#include "foundation/Assert.h"

#include <zstd.h>

namespace bw {

namespace {

// zstd's first fast level: a step is taken before every change, the first
// step of a session compresses the whole tree (about 18 ms at 100,000
// nodes, against 23 ms at level 1), and a step in which every node changed
// still keeps 501 steps of 100,000 nodes within 750 MiB.
constexpr int CompressionLevel = -1;

} // namespace

struct TUndoHistory::TZstd {
  ZSTD_CCtx* Compress = ZSTD_createCCtx();
  ZSTD_DCtx* Decompress = ZSTD_createDCtx();
  TZstd() { BW_ASSERT(Compress && Decompress); }
  TZstd(const TZstd&) = delete;
  TZstd& operator=(const TZstd&) = delete;
  ~TZstd() {
    ZSTD_freeCCtx(Compress);
    ZSTD_freeDCtx(Decompress);
  }
};

TUndoHistory::TUndoHistory() : FZstd(std::make_unique<TZstd>()) {}

TUndoHistory::~TUndoHistory() = default;

TUndoPartRef TUndoHistory::MakePart(const std::string& bytes, bool compress) {
  if (bytes.empty()) return nullptr;
  auto part = std::make_shared<TUndoPart>();
  part->Size = bytes.size();
  if (compress) {
    part->Bytes.resize(ZSTD_compressBound(bytes.size()));
    const size_t size = ZSTD_compressCCtx(FZstd->Compress, part->Bytes.data(), part->Bytes.size(),
                                          bytes.data(), bytes.size(), CompressionLevel);
    BW_ASSERT(!ZSTD_isError(size));
    // Kept compressed only where that saves room.
    if (size < bytes.size()) {
      part->Bytes.resize(size);
      part->Bytes.shrink_to_fit();
      part->Compressed = true;
      return part;
    }
  }
  part->Bytes = bytes;
  return part;
}

std::vector<TUndoChunk> TUndoHistory::Store(const std::vector<TTreeChunk>& chunks) {
  std::vector<TUndoChunk> parts;
  parts.reserve(chunks.size());
  for (const TTreeChunk& chunk : chunks) {
    const TTreeChunk* before = nullptr;
    const TUndoChunk* beforeParts = nullptr;
    if (auto it = FReferenceByFirstId.find(FirstChunkId(chunk)); it != FReferenceByFirstId.end()) {
      before = &FReference[it->second];
      beforeParts = &FReferenceParts[it->second];
    }
    TUndoChunk made;
    made.Ids = before && before->Ids == chunk.Ids ? beforeParts->Ids : MakePart(chunk.Ids, false);
    made.CopyIds = before && before->CopyIds == chunk.CopyIds ? beforeParts->CopyIds
                                                              : MakePart(chunk.CopyIds, false);
    made.Fields = before && before->Fields == chunk.Fields ? beforeParts->Fields
                                                           : MakePart(chunk.Fields, true);
    parts.push_back(std::move(made));
  }
  return parts;
}

std::vector<TTreeChunk> TUndoHistory::Load(const std::vector<TUndoChunk>& tree) {
  // The reference's bytes by the parts that hold them.
  std::unordered_map<const TUndoPart*, std::string*> known;
  known.reserve(FReferenceParts.size() * 3);
  for (size_t i = 0; i < FReferenceParts.size(); ++i) {
    const TUndoChunk& p = FReferenceParts[i];
    if (p.Ids) known.emplace(p.Ids.get(), &FReference[i].Ids);
    if (p.CopyIds) known.emplace(p.CopyIds.get(), &FReference[i].CopyIds);
    if (p.Fields) known.emplace(p.Fields.get(), &FReference[i].Fields);
  }
  // The reference is replaced by what is loaded here: its bytes move over.
  auto bytesOf = [&](const TUndoPartRef& part) -> std::string {
    if (!part) return {};
    if (auto it = known.find(part.get()); it != known.end()) {
      std::string bytes = std::move(*it->second);
      known.erase(it);
      return bytes;
    }
    if (!part->Compressed) return part->Bytes;
    std::string bytes(part->Size, '\0');
    const size_t size = ZSTD_decompressDCtx(FZstd->Decompress, bytes.data(), bytes.size(),
                                            part->Bytes.data(), part->Bytes.size());
    BW_ASSERT(!ZSTD_isError(size) && size == part->Size);
    return bytes;
  };
  std::vector<TTreeChunk> chunks;
  chunks.reserve(tree.size());
  for (const TUndoChunk& chunk : tree)
    chunks.push_back({bytesOf(chunk.Ids), bytesOf(chunk.CopyIds), bytesOf(chunk.Fields)});
  return chunks;
}

void TUndoHistory::SetReference(std::vector<TTreeChunk> chunks,
                                const std::vector<TUndoChunk>& parts) {
  FReference = std::move(chunks);
  FReferenceParts = parts;
  FReferenceByFirstId.clear();
  FReferenceByFirstId.reserve(FReference.size());
  for (size_t i = 0; i < FReference.size(); ++i)
    FReferenceByFirstId.emplace(FirstChunkId(FReference[i]), i);
}

void TUndoHistory::SaveUndo(const TDecTreeNode& root, const TTreeOptions& options,
                            std::string undoMessage) {
  std::vector<TTreeChunk> chunks = EncodeTree(root, true);
  std::vector<TUndoChunk> parts = Store(chunks);
  if (FUndo.size() >= Limit) FUndo.pop_front();
  FUndo.push_back({parts, root.Tree, options, std::move(undoMessage)});
  SetReference(std::move(chunks), parts);
  FRedo.clear();
}

std::unique_ptr<TDecTreeNode> TUndoHistory::Exchange(std::deque<TUndoRedoBufferElement>& from,
                                                     std::deque<TUndoRedoBufferElement>& to,
                                                     std::unique_ptr<TDecTreeNode> live,
                                                     TTreeOptions& options) {
  if (from.empty()) return live;
  const TUndoRedoBufferElement& top = from.back();
  // The live tree is recorded as it is, compared with the tree that
  // replaces it (they differ by one step), and freed before that one is
  // rebuilt in the memory it leaves.
  std::vector<TUndoChunk> restoredParts = top.Tree;
  SetReference(Load(restoredParts), restoredParts);
  std::vector<TUndoChunk> liveParts;
  TTreeContext* liveContext = nullptr;
  if (live) {
    liveParts = Store(EncodeTree(*live, false));
    liveContext = live->Tree;
    live.reset();
  }
  TUndoRedoBufferElement moved{std::move(liveParts), liveContext, options, top.UndoMessage};
  options = top.TreeOptions;
  TTreeContext* context = top.Context;
  from.pop_back();
  to.push_back(std::move(moved));

  // A snapshot of no tree (a null live tree pushed by an exchange) gives
  // no tree back.
  if (FReference.empty()) return nullptr;
  std::vector<TTreeChunkView> views;
  views.reserve(FReference.size());
  for (const TTreeChunk& c : FReference)
    views.push_back({c.Ids, c.CopyIds, c.Fields});
  return DecodeTree(views, context);
}

std::unique_ptr<TDecTreeNode> TUndoHistory::Undo(std::unique_ptr<TDecTreeNode> live,
                                                 TTreeOptions& options) {
  return Exchange(FUndo, FRedo, std::move(live), options);
}

std::unique_ptr<TDecTreeNode> TUndoHistory::Redo(std::unique_ptr<TDecTreeNode> live,
                                                 TTreeOptions& options) {
  return Exchange(FRedo, FUndo, std::move(live), options);
}

void TUndoHistory::Clear(bool clearUndo, bool clearRedo) {
  if (clearUndo) FUndo.clear();
  if (clearRedo) FRedo.clear();
  if (FUndo.empty() && FRedo.empty()) SetReference({}, {});
}

size_t TUndoHistory::HeldBytes() const {
  std::unordered_set<const TUndoPart*> seen;
  size_t bytes = 0;
  for (const auto* stack : {&FUndo, &FRedo})
    for (const TUndoRedoBufferElement& e : *stack)
      for (const TUndoChunk& c : e.Tree)
        for (const TUndoPartRef* part : {&c.Ids, &c.CopyIds, &c.Fields})
          if (*part && seen.insert(part->get()).second) bytes += (*part)->Bytes.size();
  return bytes;
}

std::string TUndoHistory::UndoCaption() const {
  return CanUndo() ? FormatStr(UIStrings::Str(UIStrings::SUndoCaption), UndoMessage())
                   : UIStrings::Str(UIStrings::SUndo);
}

std::string TUndoHistory::RedoCaption() const {
  return CanRedo() ? FormatStr(UIStrings::Str(UIStrings::SRedoCaption), RedoMessage())
                   : UIStrings::Str(UIStrings::SRedo);
}

} // namespace bw
