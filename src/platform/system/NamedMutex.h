// The program's named mutex: a lock file held with a shared lock for as long
// as the object lives. Nothing waits on it and a second instance is never
// refused; it only marks that an instance is running, and every failure to
// make it is ignored.
#pragma once

#include <string>
#include <string_view>

namespace bw {

class NamedMutex {
public:
  // The file is named after the mutex, in $XDG_RUNTIME_DIR or, when that is
  // not set or the file cannot be made there, in the temporary folder.
  explicit NamedMutex(std::string_view name);
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  ~NamedMutex();

  // Whether the lock is held, and the file it is held on (empty when not).
  bool Held() const { return FFd >= 0; }
  const std::string& FileName() const { return FFileName; }

private:
  bool TryLock(const std::string& folder, const std::string& name);

  int FFd = -1;
  std::string FFileName;
};

} // namespace bw
