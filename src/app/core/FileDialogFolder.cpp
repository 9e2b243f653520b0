#include "app/core/FileDialogFolder.h"

#include "app/core/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace bw {

namespace fs = std::filesystem;

namespace {

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

} // namespace

TFileDialogFolder::TFileDialogFolder(RegistryStore& store, const char* valueName,
                                     std::string treeFileName)
    : FStore(&store), FValueName(valueName), FTreeFileName(std::move(treeFileName)) {}

std::string TFileDialogFolder::Start() const {
  if (std::string tree = fs::path(FTreeFileName).parent_path().string(); IsFolder(tree))
    return tree;
  if (FStore)
    if (auto key = FStore->OpenKey(TRootKeys::CURRENT_USER, TSettings::KeyPath, false))
      if (auto last = key->ReadString(FValueName); last && IsFolder(*last)) return *last;
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

std::string TFileDialogFolder::ProposedFile(const std::string& untitledName,
                                            const std::string& extension) const {
  std::string name = FTreeFileName.empty() ? untitledName : fs::path(FTreeFileName).stem().string();
  std::replace(name.begin(), name.end(), '/', '-');
  if (name.empty()) name = "Untitled";
  return (fs::path(Start()) / (name + extension)).string();
}

void TFileDialogFolder::Remember(const std::string& chosenFileName) const {
  const std::string folder = fs::path(chosenFileName).parent_path().string();
  if (!FStore || folder.empty()) return;
  // Only a preference: a settings file that cannot be written costs the
  // next dialog its start, nothing else.
  if (auto key = FStore->OpenKey(TRootKeys::CURRENT_USER, TSettings::KeyPath, true))
    key->WriteString(FValueName, folder);
}

} // namespace bw
