// Where a file dialog starts: in the folder of the tree being worked on,
// else in the folder the user last chose in that dialog, else in the home
// folder; never in the program's working folder, which the user did not
// choose. Each dialog keeps its last folder in a settings value of its own.
#pragma once

#include "platform/registry/Registry.h"

#include <string>

namespace bw {

class TFileDialogFolder {
public:
  // The settings values of the program's file dialogs.
  static constexpr const char* Open = "LastOpenFolder";
  static constexpr const char* SaveAs = "LastSaveAsFolder";
  static constexpr const char* ExportPicture = "LastExportPictureFolder";
  static constexpr const char* Workbook = "LastWorkbookFolder";
  static constexpr const char* PrintPdf = "LastPdfFolder";

  // A dialog that remembers nothing: it starts in the home folder.
  TFileDialogFolder() = default;
  // valueName: one of the names above. treeFileName: the tree's file, empty
  // while it has none. The store must outlive this object.
  TFileDialogFolder(RegistryStore& store, const char* valueName, std::string treeFileName);

  // The first of the folders above that exists.
  std::string Start() const;
  // The file a dialog that writes one proposes: the tree's name (its file's
  // without the extension, else untitledName) with the extension, in
  // Start(). A "/" in the name, which no file name holds, becomes "-".
  std::string ProposedFile(const std::string& untitledName, const std::string& extension) const;
  // Keeps the folder of the file the user chose in the dialog.
  void Remember(const std::string& chosenFileName) const;

private:
  RegistryStore* FStore = nullptr;
  const char* FValueName = nullptr;
  std::string FTreeFileName;
};

} // namespace bw
