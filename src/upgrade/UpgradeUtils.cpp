#include "upgrade/UpgradeUtils.h"

#include "foundation/Conversions.h"
#include "upgrade/HttpDate.h"
#include "upgrade/Streams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMainWindow>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <ifaddrs.h>
#include <map>
#include <mutex>
#include <net/if.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bw {

namespace {

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

std::string Trim(std::string_view s) {
  return std::string(TrimBlanks(s));
}

std::string StandardFolder(QStandardPaths::StandardLocation location) {
  return WithSlash(QStandardPaths::writableLocation(location).toStdString());
}

// Only digits, and not more than a 64-bit number holds.
bool VersionPartToNumber(const std::string& part, uint64_t& value) {
  if (part.empty() || part.size() > 19) return false;
  value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

struct EmbeddedResource {
  const unsigned char* Data;
  size_t Size;
};

std::mutex& ResourceLock() {
  static std::mutex lock;
  return lock;
}

std::map<std::pair<std::string, std::string>, EmbeddedResource>& Resources() {
  static std::map<std::pair<std::string, std::string>, EmbeddedResource> resources;
  return resources;
}

} // namespace

std::string GetSpecialFolder(int kind) {
  switch (kind) {
  case 0:
    return CurrentFolder();
  case 1:
    return StandardFolder(QStandardPaths::DesktopLocation);
  case 2:
    return StandardFolder(QStandardPaths::DocumentsLocation);
  case 3:
    return StandardFolder(QStandardPaths::PicturesLocation);
  case 4:
    return StandardFolder(QStandardPaths::GenericDataLocation);
  case 8:
    return GetTempFolder();
  default:
    return {};
  }
}

std::string ExpandPathMacros(const std::string& path, bool makeAbsolute) {
  std::string result = path;
  std::replace(result.begin(), result.end(), '\\', '/');
  for (size_t kind = 0; kind < FolderMacros.size(); ++kind) {
    std::string_view macro = FolderMacros[kind];
    if (Lower(result).find(macro) == std::string::npos) continue;
    std::string folder = GetSpecialFolder(static_cast<int>(kind));
    if (folder.empty()) return {};
    std::string expanded;
    std::string lower = Lower(result);
    size_t from = 0;
    for (size_t at = lower.find(macro); at != std::string::npos; at = lower.find(macro, from)) {
      expanded.append(result, from, at - from).append(folder);
      from = at + macro.size();
      // The folder ends with "/": "%temp%/file" names the file in it.
      if (from < result.size() && result[from] == '/') ++from;
    }
    expanded.append(result, from, std::string::npos);
    result = std::move(expanded);
  }
  if (makeAbsolute && result.size() >= 3 && result[0] != '/') result = CurrentFolder() + result;
  return result;
}

void ForceFolders(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  for (size_t slash = p.find('/', 1); slash != std::string::npos; slash = p.find('/', slash + 1)) {
    std::string prefix = p.substr(0, slash);
    if (!FolderExists(prefix)) mkdir(prefix.c_str(), 0777);
  }
}

std::string URLToFileName(const std::string& url) {
  size_t at = url.find_last_of("/\\:");
  return at == std::string::npos ? url : url.substr(at + 1);
}

bool HasLocalIPAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool online = false;
  for (ifaddrs* i = list; i && !online; i = i->ifa_next) {
    if (!i->ifa_addr || (i->ifa_flags & IFF_LOOPBACK)) continue;
    if (!(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_RUNNING)) continue;
    int family = i->ifa_addr->sa_family;
    online = family == AF_INET || family == AF_INET6;
  }
  freeifaddrs(list);
  return online;
}

bool IsConnectedToInternet() {
  return HasLocalIPAddress();
}

void OpenURL(const std::string& url, bool /*useRegisteredBrowser*/) {
  std::string address = url.find("://") == std::string::npos ? "http://" + url : url;
  QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

void SplitCommandLine(std::string& command, std::string& params) {
  std::string cmd = Trim(command);
  std::string program, rest;
  size_t q1 = cmd.find('"');
  size_t q2 = q1 == std::string::npos ? std::string::npos : cmd.find('"', q1 + 1);
  if (q2 != std::string::npos) {
    if (q1 == 0) {
      program = cmd.substr(1, q2 - 1);
      rest = Trim(cmd.substr(q2 + 1));
      size_t r1 = rest.find('"');
      size_t r2 = r1 == std::string::npos ? std::string::npos : rest.find('"', r1 + 1);
      if (r2 != std::string::npos) rest = rest.erase(r2, 1).erase(r1, 1);
    } else {
      program = cmd.substr(0, q1);
      rest = cmd.substr(q1);
      rest.erase(q2 - q1, 1).erase(0, 1);
    }
  } else {
    program = cmd;
    for (std::string_view delimiter : {" -", " /", " \\", ",", " %"}) {
      size_t at = cmd.find(delimiter);
      if (at == std::string::npos) continue;
      program = cmd.substr(0, at);
      rest = cmd.substr(delimiter == "," ? at + 1 : at);
      break;
    }
  }
  command = Trim(program);
  params = Trim(rest);
}

void SplitAtDelimiter(std::string_view delimiter, std::string_view s, std::string& left, int flags,
                      bool missingToRight, std::string& right) {
  size_t at = delimiter.empty() ? std::string_view::npos : s.find(delimiter);
  if (at == std::string_view::npos) {
    left = missingToRight ? std::string() : std::string(s);
    right = missingToRight ? std::string(s) : std::string();
    return;
  }
  left = std::string(s.substr(0, at));
  right = std::string(s.substr(at + delimiter.size()));
  if (flags & 1) left += delimiter;
  if (flags & 2) right.insert(0, delimiter);
}

int LastPos(std::string_view sub, std::string_view s) {
  if (sub.empty() || s.empty()) return 0;
  size_t at = s.rfind(sub);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::string StripLeadingChar(std::string_view s, char ch) {
  size_t at = s.find_first_not_of(ch);
  return at == std::string_view::npos ? std::string() : std::string(s.substr(at));
}

std::string ExtractToken(std::string& s, std::string_view delimiter, bool remove) {
  size_t at = delimiter.empty() ? std::string::npos : s.find(delimiter);
  std::string token = s.substr(0, at);
  if (remove) s = at == std::string::npos ? std::string() : s.substr(at + delimiter.size());
  return token;
}

int IndexOfString(std::string_view s, const std::vector<std::string>& items) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == s) return static_cast<int>(i);
  return -1;
}

int DayOfWeekFromName(std::string_view s) {
  static const std::vector<std::string> days = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
  return IndexOfString(Upper(s), days) + 1;
}

int MonthFromName(std::string_view s) {
  static const std::vector<std::string> months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                  "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  return IndexOfString(Upper(s), months) + 1;
}

uint8_t GetPercent(int64_t part, int64_t total) {
  if (total <= 0 || part <= 0) return 0;
  __int128 scaled = static_cast<__int128>(part) * 100;
  __int128 q = scaled / total;
  __int128 r = scaled % total;
  if (2 * r > total || (2 * r == total && (q & 1))) ++q;
  return q > 255 ? 255 : static_cast<uint8_t>(q);
}

std::array<std::string, 4> SplitVersion(std::string_view version) {
  std::array<std::string, 4> parts;
  if (version.empty()) {
    parts.fill("0");
    return parts;
  }
  std::string s = std::string(version) + ".";
  for (std::string& part : parts) {
    size_t dot = s.find('.');
    if (dot == std::string::npos) {
      part = "0";
      continue;
    }
    part = s.substr(0, dot);
    s.erase(0, dot + 1);
  }
  return parts;
}

int8_t CompareVersions(std::string_view a, std::string_view b) {
  auto pa = SplitVersion(a);
  auto pb = SplitVersion(b);
  for (size_t i = 0; i < 4; ++i) {
    uint64_t va, vb;
    if (!VersionPartToNumber(pa[i], va) || !VersionPartToNumber(pb[i], vb)) {
      // Not a number before the answer is known: compare the whole texts by
      // character code, the end of a text counting as 0.
      for (size_t k = 0;; ++k) {
        int ca = k < a.size() ? static_cast<unsigned char>(a[k]) : 0;
        int cb = k < b.size() ? static_cast<unsigned char>(b[k]) : 0;
        if (ca != cb) return static_cast<int8_t>(ca - cb);
        if (ca == 0) return 0;
      }
    }
    if (va != vb) return va > vb ? 1 : -1;
  }
  return 0;
}

bool SetFileDateTimes(const std::string& fileName, TDateTime /*creationTime*/,
                      TDateTime lastWriteTime, TDateTime lastAccessTime) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_nsec = UTIME_OMIT;
  if (lastAccessTime != -1 && !DateTimeToFileTime(lastAccessTime, times[0])) return false;
  if (lastWriteTime != -1 && !DateTimeToFileTime(lastWriteTime, times[1])) return false;
  return utimensat(AT_FDCWD, fileName.c_str(), times, 0) == 0;
}

int64_t GetFileSize64(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool ApplyFileAttributes(const std::string& fileName, TauFileAttributes attributes) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode_t wanted = attributes.Has(atrReadOnly) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
  return wanted == mode || chmod(fileName.c_str(), wanted) == 0;
}

void RegisterEmbeddedResource(std::string type, std::string name, const unsigned char* data,
                              size_t size) {
  std::lock_guard lock(ResourceLock());
  Resources()[{std::move(type), std::move(name)}] = {data, size};
}

bool ResourceToStream(const std::string& type, const std::string& name, TauStream* stream) {
  if (!stream) return false;
  {
    std::lock_guard lock(ResourceLock());
    auto found = Resources().find({type, name});
    if (found != Resources().end()) {
      const EmbeddedResource& r = found->second;
      if (r.Size == 0) return false;
      return stream->Write(r.Data, static_cast<int64_t>(r.Size)) == static_cast<int64_t>(r.Size);
    }
  }
  QFile file(QString::fromStdString(":/" + type + "/" + name));
  if (!file.open(QIODevice::ReadOnly)) return false;
  QByteArray bytes = file.readAll();
  if (bytes.isEmpty()) return false;
  return stream->Write(bytes.constData(), bytes.size()) == bytes.size();
}

void CloseApplication() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* main = qobject_cast<QMainWindow*>(w);
    if (!main || !main->isVisible()) continue;
    if (!main->close()) return;
    break;
  }
  QCoreApplication::quit();
}

} // namespace bw
