// The user's private folder for the upgrade hand-over: the helper program
// and its queue are written there, never into a folder that other users
// share, where someone could put a file or a link of theirs in their place.
#pragma once

#include "upgrade/helper/HelperCore.h"

#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>

namespace bw {

// The names of the hand-over files in the private folder.
inline constexpr const char* UpgraderFileName = "Rurarori4.exe";
inline constexpr const char* UpgraderQueueFileName = "UpgraderQueue.txt";

// A new folder in tempFolder, named "brantwick-upgrade-" and six characters
// chosen at random (as mkdtemp does), with mode 0700, with a trailing "/".
// Empty when none can be made or what was made is not a folder of this
// user's alone; error then tells so, naming the folder.
std::string PrivateUpgradeFolder(const std::string& tempFolder, std::string* error = nullptr);
// Deletes the hand-over files and the folder itself, when it is a private
// folder of this user's; anything else in it keeps the folder.
void RemovePrivateUpgradeFolder(const std::string& folder);

// Takes the name of the helper's report out of the environment. Called by
// main before any thread runs, since a change of the environment is not
// safe while other threads read it; TakeInstallReport takes it too where
// main did not.
void CaptureInstallReportName();
// The report the helper named in the environment to the program it started
// again, read once: the variable is removed, the downloads the helper
// refused (when they are this user's files) are deleted while no other run
// holds the program folder's lock, and the report and its private folder
// are deleted. Nothing when there is no report or it is not a file of this
// user's.
std::optional<helper::InstallReport> TakeInstallReport(const std::string& programFolder);

// Takes the upgrade lock of a program folder without waiting: an advisory
// lock on the folder itself, held by every process that shares the
// descriptor and gone with the last of them. The descriptor (close-on-exec,
// numbered above the helper's lock descriptor), or -1: busy then tells
// whether another holds the lock, rather than the folder taking none.
int LockProgramFolder(const std::string& folder, bool& busy);

// Writes a file anew: an existing one is removed first, then the file is
// created exclusively without following a link and given the mode. False
// when it cannot be written whole.
bool WritePrivateFile(const std::string& path, const void* data, size_t size, mode_t mode);

} // namespace bw
