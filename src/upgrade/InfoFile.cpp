#include "upgrade/InfoFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <tuple>

namespace bw {

namespace {

// Lower-cases ASCII only, so that offsets in the result are offsets in the
// text as it was given.
std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool IsUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t extra;
    if (c < 0x80)
      extra = 0;
    else if (c >= 0xC2 && c <= 0xDF)
      extra = 1;
    else if ((c & 0xF0) == 0xE0)
      extra = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      extra = 3;
    else
      return false;
    if (i + extra >= s.size() && extra > 0) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += extra + 1;
  }
  return true;
}

bool ToInt(const std::string& s, int& value) {
  if (s.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') negative = s[i++] == '-';
  if (i == s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > INT_MAX) return false;
  }
  value = static_cast<int>(negative ? -v : v);
  return true;
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Resolves "." and ".." and doubled "/" in an absolute path; empty when
// ".." climbs above the root.
std::string Normalise(const std::string& path) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    const std::string part = path.substr(i, j - i);
    if (part == "..") {
      if (parts.empty()) return {};
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& p : parts)
    out += "/" + p;
  return out.empty() ? "/" : out;
}

// The real path of an existing folder, with a trailing "/"; empty when it
// does not exist.
std::string RealFolder(const std::string& folder) {
  char buffer[PATH_MAX];
  if (!realpath(folder.c_str(), buffer)) return {};
  struct stat st;
  if (stat(buffer, &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  std::string real = buffer;
  if (real.back() != '/') real += '/';
  return real;
}

} // namespace

std::string ReadInfoValue(const std::string& text, const std::string& key, bool braced) {
  const std::string pattern = LowerAscii(key) + (braced ? "={" : "=");
  const size_t at = LowerAscii(text).find(pattern);
  if (at == std::string::npos) return {};
  const size_t start = at + pattern.size();
  size_t end = start;
  if (braced) {
    end = text.find('}', start);
    if (end == std::string::npos) end = text.size();
  } else {
    while (end < text.size() && static_cast<unsigned char>(text[end]) >= 32)
      ++end;
  }
  return text.substr(start, end - start);
}

std::vector<std::string> ReadInfoFileList(const std::string& text) {
  std::vector<std::string> files;
  for (const char* key : {"#url", "#url0"}) {
    std::string value = ReadInfoValue(text, key, false);
    if (!value.empty()) files.push_back(value);
  }
  for (size_t n = files.size() + 1;; ++n) {
    std::string value = ReadInfoValue(text, "#url" + std::to_string(n), false);
    if (value.empty()) break;
    files.push_back(value);
  }
  return files;
}

TacUpgradeMethod ReadUpgradeMethod(const std::string& text) {
  const std::string value = ReadInfoValue(text, "#method", false);
  if (value.empty()) return umSelfUpgrade;
  return value[0] == '1' ? umUseExternalSetup : value[0] == '2' ? umRedirectToURL : umSelfUpgrade;
}

std::string InfoFileText(const std::string& bytes) {
  if (IsUtf8(bytes)) return bytes;
  std::string text;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (u >> 6));
      text += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return text;
}

bool StrToVersionDate(const std::string& text, int& year, int& month, int& day) {
  const size_t a = text.find('/');
  if (a == std::string::npos) return false;
  const size_t b = text.find('/', a + 1);
  if (b == std::string::npos) return false;
  int m, d, y;
  if (!ToInt(text.substr(0, a), m) || !ToInt(text.substr(a + 1, b - a - 1), d) ||
      !ToInt(text.substr(b + 1), y))
    return false;
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  year = y, month = m, day = d;
  return true;
}

std::string VersionDateToStr(int year, int month, int day) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", month, day, year);
  return buffer;
}

bool IsNewerVersionDate(const std::string& remote, const std::string& local) {
  int ry, rm, rd, ly, lm, ld;
  if (!StrToVersionDate(remote, ry, rm, rd) || !StrToVersionDate(local, ly, lm, ld)) return false;
  return std::tie(ry, rm, rd) > std::tie(ly, lm, ld);
}

bool IsWebAddress(const std::string& address) {
  const std::string lower = LowerAscii(address);
  if (lower.find("://") == std::string::npos)
    return !lower.empty() && lower.find(':') == std::string::npos && lower[0] != '/' &&
           lower[0] != '.';
  return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

std::optional<std::string> CheckUpgradeTarget(const std::string& target,
                                              const std::vector<std::string>& allowedFolders) {
  if (target.empty() || target[0] != '/' || target.back() == '/') return std::nullopt;
  const std::string name = target.substr(target.rfind('/') + 1);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  const std::string path = Normalise(target);
  if (path.empty() || path == "/") return std::nullopt;
  const size_t slash = path.rfind('/');
  const std::string fileName = path.substr(slash + 1);
  // The deepest folder of the path that exists, resolved; the rest does
  // not exist yet and so holds no link.
  std::string existing = path.substr(0, slash + 1), rest;
  std::string real;
  while (true) {
    real = RealFolder(existing);
    if (!real.empty()) break;
    if (existing == "/") return std::nullopt;
    std::string trimmed = existing.substr(0, existing.size() - 1);
    const size_t up = trimmed.rfind('/');
    rest = trimmed.substr(up + 1) + "/" + rest;
    existing = trimmed.substr(0, up + 1);
  }
  const std::string resolved = real + rest + fileName;
  struct stat st;
  if (lstat(resolved.c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || S_ISDIR(st.st_mode)))
    return std::nullopt;
  for (const std::string& folder : allowedFolders) {
    const std::string root = RealFolder(folder);
    if (!root.empty() && resolved.compare(0, root.size(), root) == 0) return resolved;
  }
  return std::nullopt;
}

} // namespace bw
