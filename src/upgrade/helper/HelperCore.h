// The upgrade helper's work, kept apart from its entry point so that tests
// run it: read the command line, wait for the program to end, move the
// downloaded files into place and start the program again. Plain C++ and
// POSIX: the helper runs from a temporary folder and links nothing of ours.
#pragma once

#include "upgrade/helper/Spawn.h"

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace bw::helper {

inline constexpr const char* TempSuffix = ".uTMP";
inline constexpr const char* QueueFileName = "UpgraderQueue.txt";
// The environment variable that names the process to wait for.
inline constexpr const char* WaitPidVariable = "AU_WAIT_PID";
// The folders a helper installs from are named this and six letters or
// digits, beside the file they install.
inline constexpr const char* InstallFolderPrefix = ".brantwick-install-";
// The helper's report of what it installed, written beside the queue, and
// the environment variable that names it to the program started again.
inline constexpr const char* ReportFileName = "UpgraderReport.txt";
inline constexpr const char* ReportVariable = "AU_UPGRADE_REPORT";

struct HelperCommand {
  // The program file, exactly as given.
  std::string ProgramPath;
  // The restart parameters, split at blanks; never an empty one.
  std::vector<std::string> RestartArgs;
  // '0' the program's own files, '1' an external setup, '2' a web page.
  char Method = '0';
};

// argv[1] is the program; the rest, joined with blanks, is "+", the restart
// parameters and the method digit. False without a program.
bool ParseHelperArguments(int argc, const char* const* argv, HelperCommand& command);

// Splits at blanks, dropping empty parts.
std::vector<std::string> SplitArguments(const std::string& text);

// Returns when the process has ended (or never existed); a pid of 0 or less
// returns at once.
void WaitForProcessEnd(pid_t pid);

// Whether a file is a regular file of this user with no second name: not a
// link, a folder or another user's file, nor a hard link that could give
// another file of this user's under a name the upgrade uses.
bool IsOwnSingleFile(const struct stat& st);
// The same of what the path itself names (a link is not followed).
bool IsOwnFile(const std::string& path);
// Removes a regular file of this user left at the path, whatever other
// names it has (they keep it). True when the name is free now; false when
// something else stands there (a link, a folder, another user's file) or it
// could not be removed.
bool ClearOwnFile(const std::string& path);

// Moves target + ".uTMP" over target in one rename, first giving the new
// file the permission bits of the one it replaces. Both must be regular
// files of this user (the target may be missing): in a folder that others
// share, a file or a link of theirs under either name is never moved or
// replaced. The download is opened without following a link, checked and
// given its mode through that descriptor, and renamed only while its name
// still gives the file checked: the download is first moved into a folder
// of the helper's own beside the target (mode 0700), checked there and
// renamed from there, so that nobody else can change what the name gives
// between the check and the rename. Nothing is deleted first: when the
// rename fails the old file stays, and so does the ".uTMP" for the next
// run's clean-up. False when there was nothing to move or the move was refused or
// failed, with the reason in reason when given.
bool ReplaceWithDownload(const std::string& target, std::string* reason = nullptr);
// Called, when set, between the two renames of ReplaceWithDownload: tests
// end the process there, as a shutdown might.
inline void (*BetweenInstallRenames)() = nullptr;

// Removes what a helper ended while it installed left in a folder: every
// install folder that is a real folder of this user's alone (mode 0700)
// and holds nothing but downloads (names ending in ".uTMP"), with those
// downloads. A folder that holds anything else, a link, another user's
// folder are left as they are.
void RemoveInstallFolders(const std::string& folder);

// What a run installed, and what it refused with the reason.
struct InstallReport {
  std::vector<std::string> Installed;
  std::vector<std::pair<std::string, std::string>> Refused; // target, reason
};
// The report as a file of this user's alone ("+target" and
// "-reason<TAB>target" lines), written anew. False when it cannot be.
bool WriteInstallReport(const std::string& path, const InstallReport& report);
InstallReport ParseInstallReport(const std::string& text);

// The queue's lines (CR LF or LF), empty lines dropped.
std::vector<std::string> ReadQueue(const std::string& queueFile);

// Clears away what an ended helper left in the program's folder, then
// installs the files of the queue, then every other ".uTMP" of that folder.
// With an external setup, the first installed file whose name ends in
// ".exe" (any case) of the program's folder is returned as the setup to
// run, unless the program file itself was among the downloads. Each target
// tried goes into the report when one is given.
std::string InstallDownloads(const HelperCommand& command, const std::vector<std::string>& queue,
                             InstallReport* report = nullptr);

// Starts a program as SpawnInSession does, with the given arguments and
// this process's environment and no descriptor but 0 to 2; with wait, waits
// for it to end. False when it could not be started.
bool StartProgram(const std::string& path, const std::vector<std::string>& args, bool wait);

// The whole hand-over: wait, install, delete the queue, write the report
// beside it and name it in the environment, run the setup (and delete it)
// when there is one, start the program. 0 on success.
// The helper's own file, when given, is deleted once the files are in place;
// when it is gone once the wait is over (the program abandoned the run),
// nothing is installed or started. The program folder's lock, when given,
// is let go just before the program starts: the program started again
// clears away what was refused under that lock.
int RunHelper(const HelperCommand& command, const std::string& queueFile, pid_t waitPid,
              const std::string& helperFile = {}, int lockFd = -1);

} // namespace bw::helper
