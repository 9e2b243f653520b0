// The address of the update-information file. It is a build setting
// (BW_UPDATE_INFO_URL), empty unless the build names a server this edition
// may trust: while it is empty the program never looks for updates.
#pragma once

#include <string>

namespace bw {

const std::string& UpdateInfoURL();
// Replaces the address for the rest of the run (tests and benchmarks use a
// server of their own).
void SetUpdateInfoURL(std::string url);

} // namespace bw
