// How the upgrade starts a program: the program starts the helper with it,
// and the helper starts the program again (or a setup) with it. Plain
// POSIX, like the rest of the helper.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace bw::helper {

// The descriptor that holds the program folder's upgrade lock, when the
// program hands it over: the helper keeps it open, and so the lock, until
// it ends, and passes it to no program it starts.
inline constexpr int LockDescriptor = 3;

// Starts args[0] with args as its arguments, as a child of this process, in
// a session of its own (it outlives whatever terminal started this one).
// Its standard input reads nothing; its output and errors go where this
// process's go; it gets no other descriptor of this one but passOn, when
// that is not negative, as LockDescriptor. Its signal mask is empty, and
// SIGPIPE and SIGCHLD have their default actions whatever this process set.
// It runs in folder when one is given, with environment (NAME=value) when
// one is given, else with this process's. 0 with its process in pid, or
// the system's error.
int SpawnInSession(const std::vector<std::string>& args,
                   const std::vector<std::string>* environment, const std::string& folder,
                   int passOn, pid_t& pid);

} // namespace bw::helper
