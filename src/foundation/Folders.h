// Where the program lives and where it keeps its temporary files. Folders
// end with "/".
#pragma once

#include <string>

namespace bw {

// The full path of the running program, read anew: the process's own
// executable link, or where /proc is not mounted the name the program was
// started by, made absolute; empty when neither tells.
std::string RunningProgramPath();
// The full path of the running program and its folder, read once.
const std::string& ExeName();
const std::string& CurrentFolder();

bool FolderExists(const std::string& path);

// The folder part of a path, without the slash that ends it: "." for a bare
// name, "/" for a name in the root folder.
std::string FolderOf(const std::string& path);
// The last part of a path, after its last slash.
std::string NameOf(const std::string& path);

// The one folder in which the program makes its temporary files and
// folders: $TMPDIR, or "/tmp" when that is not set or empty; the program's
// folder when that names no folder. Read at every call, so that a change of
// $TMPDIR counts.
std::string GetTempFolder();
// Points $TMPDIR at GetTempFolder() when it names no folder, so that the
// libraries under the program, and the programs it starts, make their
// temporary files there too and not in the root folder. Called first in
// main, before any thread runs.
void ShareTempFolder();

} // namespace bw
