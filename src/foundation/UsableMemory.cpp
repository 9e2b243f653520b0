#include "foundation/UsableMemory.h"

#include "foundation/FileDescriptor.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>

namespace bw {

namespace {

// The most read of each file: the mount list of a machine with very many
// mounts stays far below its cap; a group's figure takes a line, its
// statistics a few kilobytes.
constexpr size_t MaxListBytes = size_t{16} << 20;
constexpr size_t MaxStatBytes = size_t{1} << 20;
constexpr size_t MaxFigureBytes = 64;

// The whole of a regular file, or nothing when it cannot be read or is
// longer than limit. A pipe or a device where the file should be is never
// waited on.
std::optional<std::string> ReadFile(const std::string& path, size_t limit) {
  TFileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat st {};
  if (!fd || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
    if (n == 0) return text;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (static_cast<size_t>(n) > limit - text.size()) return std::nullopt;
    text.append(buffer, static_cast<size_t>(n));
  }
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool Contains(const std::vector<std::string_view>& list, std::string_view item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// A count of bytes as a group's files write it, a line of digits; "max"
// (no limit), anything else and a count beyond 64 bits are no figure.
std::optional<uint64_t> Figure(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (__builtin_mul_overflow(value, uint64_t{10}, &value) ||
        __builtin_add_overflow(value, static_cast<uint64_t>(c - '0'), &value))
      return std::nullopt;
  }
  return value;
}

void Narrow(uint64_t& limit, std::optional<uint64_t> figure) {
  if (figure) limit = std::min(limit, *figure);
}

std::optional<uint64_t> FigureOfFile(const std::string& path) {
  const std::optional<std::string> text = ReadFile(path, MaxFigureBytes);
  return text ? Figure(*text) : std::nullopt;
}

// The mount list writes a space, a tab, a line break and a backslash in a
// path as a backslash and three octal digits.
std::string Unescaped(std::string_view field) {
  std::string path;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::all_of(field.begin() + static_cast<ptrdiff_t>(i) + 1,
                    field.begin() + static_cast<ptrdiff_t>(i) + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      path += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                (field[i + 3] - '0'));
      i += 3;
    } else {
      path += field[i];
    }
  }
  return path;
}

struct TMount {
  std::string Root;  // the folder of the file system the mount shows
  std::string Point; // where it shows it
  std::string Type;
  std::string Options; // the file system's own, such as the controllers of a cgroup
};

// A line of the mount list: its ID, its parent's, the device, the root, the
// mount point, the mount's options and any number of optional fields up to
// a "-"; then the file system's type, its source and its own options.
std::vector<TMount> Mounts(std::string_view list) {
  std::vector<TMount> mounts;
  for (const std::string_view line : Split(list, '\n')) {
    const std::vector<std::string_view> fields = Split(line, ' ');
    auto dash = std::find(fields.begin() + std::min<ptrdiff_t>(6, std::ssize(fields)), fields.end(),
                          std::string_view("-"));
    if (fields.end() - dash < 4) continue;
    mounts.push_back(
        {Unescaped(fields[3]), Unescaped(fields[4]), std::string(dash[1]), std::string(dash[3])});
  }
  return mounts;
}

// The part of a group's path below a mount's root, "" for the root itself;
// nothing when the group lies outside it (a container sees a group beyond
// its own through "..").
std::optional<std::string> Below(std::string_view mountRoot, std::string_view group) {
  if (mountRoot != "/") {
    if (!group.starts_with(mountRoot) ||
        (group.size() > mountRoot.size() && group[mountRoot.size()] != '/'))
      return std::nullopt;
    group.remove_prefix(mountRoot.size());
  }
  std::string rest;
  for (const std::string_view part : Split(group, '/')) {
    if (part.empty()) continue;
    if (part == "." || part == "..") return std::nullopt;
    rest += '/';
    rest += part;
  }
  return rest;
}

// The limit of cgroup v2: the group's and every group's above it up to the
// mount's root, whose limit is shown where it is not the hierarchy's root.
void NarrowByUnified(uint64_t& limit, const std::string& base, const TMount& mount,
                     std::string_view group) {
  std::optional<std::string> rest = Below(mount.Root, group);
  if (!rest) return;
  for (;;) {
    Narrow(limit, FigureOfFile(base + mount.Point + *rest + "/memory.max"));
    if (rest->empty()) return;
    rest->erase(rest->rfind('/'));
  }
}

// The limit of cgroup v1's memory controller: the group's own, and the one
// the kernel works out from the groups above it.
void NarrowByMemoryController(uint64_t& limit, const std::string& base, const TMount& mount,
                              std::string_view group) {
  const std::optional<std::string> rest = Below(mount.Root, group);
  if (!rest) return;
  const std::string folder = base + mount.Point + *rest;
  Narrow(limit, FigureOfFile(folder + "/memory.limit_in_bytes"));
  const std::optional<std::string> stat = ReadFile(folder + "/memory.stat", MaxStatBytes);
  if (!stat) return;
  constexpr std::string_view Key = "hierarchical_memory_limit ";
  for (const std::string_view line : Split(*stat, '\n'))
    if (line.starts_with(Key)) Narrow(limit, Figure(line.substr(Key.size())));
}

} // namespace

uint64_t MemoryGroupLimit(const std::string& root) {
  std::string base = root;
  while (!base.empty() && base.back() == '/')
    base.pop_back();
  const std::optional<std::string> groups = ReadFile(base + "/proc/self/cgroup", MaxListBytes);
  if (!groups) return UINT64_MAX;
  // A line a hierarchy: its ID, its controllers and the group's path in it;
  // cgroup v2's is "0", without controllers.
  std::optional<std::string_view> unified, memory;
  for (const std::string_view line : Split(*groups, '\n')) {
    const size_t first = line.find(':');
    const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string_view id = line.substr(0, first);
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const std::string_view path = line.substr(second + 1);
    if (!path.starts_with('/')) continue;
    if (id == "0" && controllers.empty())
      unified = path;
    else if (Contains(Split(controllers, ','), "memory"))
      memory = path;
  }
  if (!unified && !memory) return UINT64_MAX;
  const std::optional<std::string> list = ReadFile(base + "/proc/self/mountinfo", MaxListBytes);
  if (!list) return UINT64_MAX;
  uint64_t limit = UINT64_MAX;
  // A hierarchy mounted in several places shows the same groups in each.
  for (const TMount& mount : Mounts(*list)) {
    if (unified && mount.Type == "cgroup2") NarrowByUnified(limit, base, mount, *unified);
    if (memory && mount.Type == "cgroup" && Contains(Split(mount.Options, ','), "memory"))
      NarrowByMemoryController(limit, base, mount, *memory);
  }
  return limit;
}

uint64_t UsableMemory() {
  uint64_t usable = MemoryGroupLimit();
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  uint64_t physical = 0;
  if (pages > 0 && pageSize > 0 &&
      !__builtin_mul_overflow(static_cast<uint64_t>(pages), static_cast<uint64_t>(pageSize),
                              &physical))
    usable = std::min(usable, physical);
  for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
      usable = std::min(usable, static_cast<uint64_t>(limit.rlim_cur));
  }
  return usable;
}

} // namespace bw
