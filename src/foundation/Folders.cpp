#include "foundation/Folders.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bw {

namespace {
std::string NamedTempFolder() {
  const char* variable = std::getenv("TMPDIR");
  return variable != nullptr && *variable != '\0' ? variable : "/tmp";
}
} // namespace

std::string RunningProgramPath() {
  std::string buffer(PATH_MAX, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n > 0 && n < PATH_MAX) return buffer.substr(0, static_cast<size_t>(n));
  // Without /proc (a chroot, a container): the name the program was started
  // by, which the system keeps for it, made absolute and without links.
  const auto* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  if (started == nullptr || *started == '\0') return {};
  std::unique_ptr<char, decltype(&std::free)> real(realpath(started, nullptr), &std::free);
  struct stat st {};
  if (!real || stat(real.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return real.get();
}

const std::string& ExeName() {
  static const std::string name = RunningProgramPath();
  return name;
}

const std::string& CurrentFolder() {
  static const std::string folder = [] {
    const std::string& exe = ExeName();
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
  }();
  return folder;
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string GetTempFolder() {
  std::string folder = NamedTempFolder();
  // A missing folder must not turn into the root folder or the current one.
  if (!FolderExists(folder)) return CurrentFolder();
  if (folder.back() != '/') folder += '/';
  return folder;
}

void ShareTempFolder() {
  if (!FolderExists(NamedTempFolder())) setenv("TMPDIR", GetTempFolder().c_str(), 1);
}

} // namespace bw
