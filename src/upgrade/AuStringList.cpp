#include "upgrade/AuStringList.h"

#include "foundation/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace bw {

namespace {

int CompareText(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str());
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

} // namespace

void TauStringList::Changing() {
  if (OnChanging) OnChanging(this);
}

void TauStringList::Changed() {
  if (OnChange) OnChange(this);
}

int TauStringList::Add(const std::string& s) {
  if (MaxCount <= 0) return 0;
  int index = Count();
  if (FSorted && Find(s, index)) {
    if (Duplicates == dupIgnore) return index;
    if (Duplicates == dupError) throw ListError("String list does not allow duplicates");
  }
  if (Count() >= MaxCount) {
    DeleteFirst();
    if (index != 0) --index;
  }
  if (!FSorted) index = Count();
  Insert(index, s);
  return index;
}

void TauStringList::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count())
    throw ListError("List index out of bounds (" + std::to_string(index) + ")");
  Changing();
  FLines.insert(FLines.begin() + index, s);
  Changed();
}

void TauStringList::Delete(int index) {
  if (index < 0 || index >= Count())
    throw ListError("List index out of bounds (" + std::to_string(index) + ")");
  Changing();
  FLines.erase(FLines.begin() + index);
  Changed();
}

void TauStringList::Clear() {
  if (FLines.empty()) return;
  Changing();
  FLines.clear();
  Changed();
}

std::string TauStringList::Text() const {
  std::string text;
  for (const std::string& line : FLines)
    text.append(line).append("\r\n");
  return text;
}

void TauStringList::SetSorted(bool sorted) {
  if (sorted && !FSorted) {
    Changing();
    std::stable_sort(FLines.begin(), FLines.end(), [](const std::string& a, const std::string& b) {
      return CompareText(a, b) < 0;
    });
    Changed();
  }
  FSorted = sorted;
}

bool TauStringList::Find(const std::string& s, int& index) const {
  int low = 0, high = Count() - 1;
  bool found = false;
  while (low <= high) {
    int mid = (low + high) / 2;
    int c = CompareText(FLines[static_cast<size_t>(mid)], s);
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) low = mid;
      }
    }
  }
  index = low;
  return found;
}

void TauStringList::DeleteFirst() {
  if (FLines.empty()) return;
  auto changing = std::move(OnChanging);
  auto change = std::move(OnChange);
  OnChanging = nullptr;
  OnChange = nullptr;
  FLines.erase(FLines.begin());
  OnChanging = std::move(changing);
  OnChange = std::move(change);
}

int TauStringList::SeparatorPos(int index) const {
  const std::string& line = (*this)[index];
  if (Separator.empty()) return 0;
  size_t at = LastSeparator ? line.rfind(Separator) : line.find(Separator);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string TauStringList::GetItemName(int index) const {
  int pos = SeparatorPos(index);
  const std::string& line = (*this)[index];
  return pos == 0 ? line : line.substr(0, static_cast<size_t>(pos - 1));
}

std::string TauStringList::GetItemValue(int index) const {
  int pos = SeparatorPos(index);
  if (pos == 0) return {};
  return (*this)[index].substr(static_cast<size_t>(pos - 1) + Separator.size());
}

void TauStringList::SetItemValue(int index, const std::string& value) {
  if (SeparatorPos(index) == 0) return;
  std::string line = GetItemName(index) + Separator + value;
  Changing();
  FLines[static_cast<size_t>(index)] = std::move(line);
  Changed();
}

void TauStringList::SaveValuesToFile(const std::string& fileName) const {
  int fd = -1;
  for (int i = 0; i < Count(); ++i) {
    std::string value = GetItemValue(i);
    if (value.empty()) continue;
    if (fd < 0) fd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) continue;
    WriteAll(fd, value + "\r\n");
  }
  if (fd >= 0) close(fd);
}

} // namespace bw
