// How much memory this program may take before an allocation fails or the
// system ends the program: a machine's memory is often shared out in groups
// (a container, a desktop slice) far smaller than the machine.
#pragma once

#include <cstdint>
#include <string>

namespace bw {

// The memory this program may use, in bytes: the smallest of the machine's
// physical memory, the limit of its memory group (MemoryGroupLimit) and its
// own limits on address space and data (RLIMIT_AS, RLIMIT_DATA). A figure
// that cannot be read does not count; UINT64_MAX when none can. Read anew at
// each call: the process may have been moved or given other limits since.
uint64_t UsableMemory();

// The limit of this process's memory group, in bytes, UINT64_MAX when no
// limit can be read. Of cgroup v2, the smallest "memory.max" of its group
// and of each group above it; of cgroup v1's memory controller, its group's
// "memory.limit_in_bytes" and the limit above it that "memory.stat" gives
// ("hierarchical_memory_limit"). The groups come from /proc/self/cgroup and
// the cgroup file systems from where /proc/self/mountinfo says they are
// mounted and from which group down (in a container, often its own). Both
// files and the groups' files are read under the folder `root`: "/" for this
// process, another folder to read a tree made to look like one. Where /proc
// is missing, no group can be told and no limit counts.
uint64_t MemoryGroupLimit(const std::string& root = "/");

} // namespace bw
