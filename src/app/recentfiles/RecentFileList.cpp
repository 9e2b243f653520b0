#include "app/recentfiles/RecentFileList.h"

#include "foundation/Assert.h"

#include <algorithm>
#include <charconv>

namespace bw {

namespace {
std::string IntToStr(int value) {
  char buffer[16];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

unsigned char FoldAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
} // namespace

void TFileHistory::Initialize() {
  if (RegKey.empty()) return;
  FFiles.clear();
  Load();
}

void TFileHistory::AddFile(const std::string& fileName) {
  auto found = std::find(FFiles.begin(), FFiles.end(), fileName);
  if (found != FFiles.end()) {
    std::iter_swap(FFiles.begin(), found);
    return;
  }
  FFiles.insert(FFiles.begin(), fileName);
  if (static_cast<int>(FFiles.size()) > NumerOfFiles) FFiles.pop_back();
}

void TFileHistory::RemoveFile(std::string_view fileName) {
  auto found = std::find(FFiles.begin(), FFiles.end(), fileName);
  if (found != FFiles.end()) FFiles.erase(found);
}

std::string TFileHistory::SubKeyPath() const {
  return RegKey + '\\' + std::string(SubKeyName);
}

void TFileHistory::Load() {
  if (RegKey.empty()) return;
  auto key = FStore.OpenKey(RegRoot, SubKeyPath(), false);
  if (!key) return;
  FFiles.clear();
  // Values that are no names of files (another type, or empty) are passed
  // over before counting, so a stray value costs no entry and cannot stop the
  // start-up.
  std::vector<std::string> names = key->ValueNames();
  std::sort(names.begin(), names.end(), ValueNameLess);
  std::vector<std::string> files;
  for (const std::string& name : names) {
    if (static_cast<int>(files.size()) >= NumerOfFiles) break;
    std::optional<std::string> file = key->ReadString(name);
    if (file && !file->empty()) files.push_back(std::move(*file));
  }
  // Added from the last, so that the first ends on top; a name stored twice
  // is kept once.
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    AddFile(*it);
}

bool TFileHistory::Save() const {
  if (RegKey.empty()) return false;
  auto key = FStore.OpenKey(RegRoot, SubKeyPath(), true);
  if (!key) return false;
  bool written = key->DeleteAllValues();
  const int count = std::min(static_cast<int>(FFiles.size()), NumerOfFiles);
  for (int i = 0; i < count; ++i)
    written = key->WriteString(ValueName(i), FFiles[i]) && written;
  return written;
}

std::string TFileHistory::MenuCaption(int index) const {
  BW_ASSERT(index >= 0 && index < static_cast<int>(FFiles.size()));
  std::string caption = "&";
  caption += IntToStr(index + 1);
  caption += ' ';
  for (char c : FFiles[index]) {
    if (c == '&') caption += '&';
    caption += c;
  }
  return caption;
}

std::string TFileHistory::ValueName(int index) {
  std::string number = IntToStr(index);
  if (number.size() < 2) number.insert(0, 2 - number.size(), ' ');
  return "File" + number;
}

bool TFileHistory::ValueNameLess(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    unsigned char ca = FoldAscii(static_cast<unsigned char>(a[i]));
    unsigned char cb = FoldAscii(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

} // namespace bw
