// Tree files: the options, the font and every node of one decision tree as
// an XML document. Reading and writing need no display; the main window's
// File commands wrap these calls in dialogs, messages and undo steps.
#pragma once

#include "foundation/Exceptions.h"
#include "foundation/FileIdentity.h"
#include "model/DecTreeNode.h"
#include "model/TreeTypes.h"

#include <memory>
#include <string>
#include <string_view>

namespace bw {

// The reader refuses deeper trees: the rest of the program walks trees
// recursively, and a hostile file must not exhaust the stack.
constexpr int MaxTreeFileDepth = 1000;

// A file that cannot be opened, read, parsed or replaced.
class TreeFileError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "ETreeFileError"; }
};

struct TTreeFileContents {
  std::unique_ptr<TDecTreeNode> Root;
  TTreeOptions Options;
  TFontSpec Font;
  // Some node came with the id of an earlier one and got a fresh id: the
  // document differs from the file and wants saving.
  bool IdsRenewed = false;
  // The file as it was when it was read; from ReadTreeFile only.
  TFileIdentity Identity;
};

// True when the path names an existing file; a folder does not count.
bool TreeFileExists(const std::string& path);

// Reads a whole file. Every node gets Tree = tree, which must outlive the
// nodes. PreviousFont supplies the name when the file's FontName is missing
// or empty, and the size when its FontSize is not above 0. Clones are read as
// written; their copies appear at the next SyncClones. A file whose clones
// would expand beyond what the program can hold (MaxExpandedNodes,
// MaxExpandedDepth) is refused. Raises a bw::Exception whose Message() is
// the reason, also when memory runs out; then nothing of the file is
// returned.
TTreeFileContents ReadTreeFile(const std::string& path, TTreeContext* tree,
                               const TFontSpec& previousFont);

// The same from the bytes of a file already in memory.
TTreeFileContents ReadTreeText(std::string_view bytes, TTreeContext* tree,
                               const TFontSpec& previousFont);

// Reads the file through the document parser alone, as ReadTreeFile does
// for what its stream does not take; for comparisons.
TTreeFileContents ReadTreeFileWithDocument(const std::string& path, TTreeContext* tree,
                                           const TFontSpec& previousFont);

// The bytes WriteTreeFile writes.
std::string SerializeTree(const TDecTreeNode& root, const TTreeOptions& options,
                          const TFontSpec& font);

// Writes a temporary file beside the target and renames it over the target
// only when all of it is on disk; an existing target keeps its permissions
// (a symbolic link is followed, not replaced). Returns the state of the file
// written. Raises a bw::Exception with the reason; the previous file is then
// as it was.
TFileIdentity WriteTreeFile(const std::string& path, const TDecTreeNode& root,
                            const TTreeOptions& options, const TFontSpec& font);

// The window's messages, with "\n" where the lines break.
std::string FileNotFoundMessage(const std::string& fileName);
std::string OpenErrorMessage(const std::string& fileName, const std::string& reason);
std::string SaveErrorMessage(const std::string& reason);
// Asked before a save overwrites a file that changed since it was read or
// written.
std::string ChangedFileQuestion(const std::string& fileName);

} // namespace bw
