// The update-information file and the rules read from it: key lookup, the
// list of files to download, the upgrade method, version dates, and where
// a downloaded file may be put.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bw {

enum TacUpgradeMethod { umSelfUpgrade, umUseExternalSetup, umRedirectToURL };

// The value of key in the information file: the text behind the first
// "key=" (braced: "key={") found anywhere, without regard to case, up to
// the first control character (braced: up to "}", line breaks kept), or to
// the end of the text. Empty when the key is not there. Values are not
// trimmed.
std::string ReadInfoValue(const std::string& text, const std::string& key, bool braced);

// The listed files, "address" or "address=target" each: "#url", then
// "#url0", then "#url" followed by n for n = count + 1, count + 2, ... until
// a key is missing or empty.
std::vector<std::string> ReadInfoFileList(const std::string& text);

// "#method": "1" an external setup, "2" a web page; only the first
// character counts, anything else is the program's own upgrade.
TacUpgradeMethod ReadUpgradeMethod(const std::string& text);

// The information file's bytes as text: UTF-8 when they are, else
// Latin-1.
std::string InfoFileText(const std::string& bytes);

// Version dates are month/day/year. False for a text that is not a valid
// date; year, month and day otherwise.
bool StrToVersionDate(const std::string& text, int& year, int& month, int& day);
// MM/DD/YYYY.
std::string VersionDateToStr(int year, int month, int day);
// Whether the remote date is later than the local one. An invalid date on
// either side: not newer.
bool IsNewerVersionDate(const std::string& remote, const std::string& local);

// Whether a version number is newer, given CompareVersions' answer: any
// positive answer counts, also the difference of the characters that
// version texts with letters are compared by ("2.9b" against "2.7").
constexpr bool IsNewerComparison(int comparison) {
  return comparison > 0;
}

// Whether an address from the information file may be opened in the
// browser: an http or https address, or a host and path without a scheme
// (which gets "http://"); never a file, a program or another scheme.
bool IsWebAddress(const std::string& address);

// Where a downloaded file may go. target is absolute, its folder macros
// expanded. It must name a file (not end in "/", ".", ".."), and after
// ".." and links are resolved it must lie inside one of the allowed
// folders (each with or without a trailing "/"; missing ones are skipped).
// The resolved path, or nothing for a target to refuse. A target that is
// itself a link is refused.
std::optional<std::string> CheckUpgradeTarget(const std::string& target,
                                              const std::vector<std::string>& allowedFolders);

} // namespace bw
