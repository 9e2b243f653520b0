// Tree files: the options, the font and every node of one decision tree as
// an XML document. Reading and writing need no display; the main window's
// File commands wrap these calls in dialogs, messages and undo steps.
//
// What the window does around ReadTreeFile (File > Open, a dropped file, a
// recent file, the command line):
//   1. When !TreeFileExists(name): show FileNotFoundMessage(name) with the
//      information icon, remove the name from the recent-file list,
//      recalculate, and stop: no undo step.
//   2. Take the "Load file" undo step, end in-place editing.
//   3. contents = ReadTreeFile(name, &decTree, decTree.DefaultFont). Nothing is
//      applied before it returns, so a failure changes nothing: the tree, the
//      options and the font of before are all still in force.
//   4. On success: Options := contents.Options, DefaultFont := contents.Font,
//      TreeRoot := std::move(contents.Root) (its nodes already point at the
//      context passed in), clear undo and redo, mark unmodified, set the file
//      name, select the root's box, recalculate; then, when
//      TreeRoot->HasImportedPayoffs(), ask the external-data question.
//   5. On bw::Exception e (the only kind raised): undo only while "Load file"
//      is still on top of the undo stack, clear the redo stack, and show
//      OpenErrorMessage(name, e.Message()) with the error icon.
//
// What it does around WriteTreeFile (File > Save, Save as, the save prompt):
//   ask for a name when needed and set it before writing; then
//   WriteTreeFile(name, *TreeRoot, Options, DefaultFont). On bw::Exception e
//   show SaveErrorMessage(e.Message()), leave the document modified and
//   report false; on success mark it unmodified. A failed write leaves the
//   file that was there untouched.
#pragma once

#include "DecTreeNode.h"
#include "Exceptions.h"
#include "TreeTypes.h"

#include <memory>
#include <string>

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
};

// True when the path names an existing file; a folder does not count.
bool TreeFileExists(const std::string& path);

// Reads a whole file. Every node gets Tree = tree, which must outlive the
// nodes. PreviousFont supplies the name when the file's FontName is missing
// or empty, and the size when its FontSize is not above 0. Clones are read as
// written; their copies appear at the next SyncClones. Raises a bw::Exception
// whose Message() is the reason; then nothing of the file is returned.
TTreeFileContents ReadTreeFile(const std::string& path, TTreeContext* tree,
                               const TFontSpec& previousFont);

// The bytes WriteTreeFile writes.
std::string SerializeTree(const TDecTreeNode& root, const TTreeOptions& options,
                          const TFontSpec& font);

// Writes a temporary file beside the target and renames it over the target
// only when all of it is on disk; an existing target keeps its permissions
// (a symbolic link is followed, not replaced). Raises a bw::Exception with
// the reason; the previous file is then as it was.
void WriteTreeFile(const std::string& path, const TDecTreeNode& root, const TTreeOptions& options,
                   const TFontSpec& font);

// The window's messages, with "\n" where the lines break.
std::string FileNotFoundMessage(const std::string& fileName);
std::string OpenErrorMessage(const std::string& fileName, const std::string& reason);
std::string SaveErrorMessage(const std::string& reason);

} // namespace bw
