// The user's private folder for the upgrade hand-over: the helper program
// and its queue are written there, never into a folder that other users
// share, where someone could put a file or a link of theirs in their place.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace bw {

// tempFolder (with a trailing "/") followed by "brantwick-upgrade-" and the
// user's number, with a trailing "/": created with mode 0700 when missing.
// Empty when the folder cannot be made, or when what is there is not a
// folder of this user (a link, another owner), or others may enter it.
std::string PrivateUpgradeFolder(const std::string& tempFolder);

// Writes a file anew: an existing one is removed first, then the file is
// created exclusively without following a link and given the mode. False
// when it cannot be written whole.
bool WritePrivateFile(const std::string& path, const void* data, size_t size, mode_t mode);

} // namespace bw
