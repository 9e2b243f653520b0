// Runs a check as an ordinary user, so that tests of permissions mean
// something when the tests run as root (root reads and writes any file).
#pragma once

#include "support/InChild.h"

#include <grp.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace bw::test {

// Calls check in a child process (InChild) and returns what it returned.
// When the tests run as root, the child first hands the folder and
// everything in it to the user "nobody" (65534) and becomes that user;
// otherwise it runs as it is.
inline std::string AsOrdinaryUser(const std::string& folder,
                                  const std::function<std::string()>& check) {
  constexpr uid_t Nobody = 65534;
  return InChild([&] {
    if (geteuid() == 0) {
      std::error_code ec;
      bool handed = chown(folder.c_str(), Nobody, Nobody) == 0;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ec))
        handed = handed && chown(entry.path().c_str(), Nobody, Nobody) == 0;
      if (!handed || setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0)
        return std::string("(could not become an ordinary user)");
    }
    return check();
  });
}

} // namespace bw::test
