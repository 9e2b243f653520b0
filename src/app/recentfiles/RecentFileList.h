// The recent-file list: the names of the tree files opened last, most recent
// first, kept in the registry under RegKey\RecentFiles as the string values
// "File 0" to "File 5". The window shows them at the end of its File menu; this
// part knows nothing of menus beyond the caption of an entry.
#pragma once

#include "platform/registry/Registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace bw {

class TFileHistory {
public:
  // The store must outlive the list.
  explicit TFileHistory(RegistryStore& store) : FStore(store) {}

  TRootKeys RegRoot = TRootKeys::CURRENT_USER;
  // The list lies in its subkey "RecentFiles". Empty: the list is neither
  // loaded nor saved.
  std::string RegKey;
  // The most names kept and shown.
  int NumerOfFiles = 6;

  // Once RegKey is set: starts an empty list and loads it.
  void Initialize();

  // Puts the name on top. A name already in the list changes places with the
  // top entry (the entries between stay where they are); a new name is
  // inserted at the top, and the last name drops out beyond NumerOfFiles.
  // Names compare exactly: file names differing in case are different files.
  void AddFile(const std::string& fileName);
  // Removes the first entry equal to the name; nothing when there is none.
  void RemoveFile(std::string_view fileName);

  // Replaces the list with the key's string values, at most NumerOfFiles,
  // taken in the case-insensitive order of their value names; the first ends
  // on top. Nothing changes when the key is missing.
  void Load();
  // Replaces every value of the key with "File 0", "File 1", ... in list
  // order. False when nothing could be written.
  bool Save() const;

  // Most recent first: the menu entries in their order.
  const std::vector<std::string>& Files() const { return FFiles; }
  // "&1 " and the name for the first entry; every "&" of the name doubled, so
  // that the menu shows the name as it is.
  std::string MenuCaption(int index) const;

  static constexpr std::string_view SubKeyName = "RecentFiles";
  // "File" and the index formatted with "%2d".
  static std::string ValueName(int index);
  // The order Load takes the value names in: ASCII letters without case,
  // then the bytes, so that the order is total.
  static bool ValueNameLess(std::string_view a, std::string_view b);

private:
  std::string SubKeyPath() const;

  RegistryStore& FStore;
  std::vector<std::string> FFiles;
};

} // namespace bw
