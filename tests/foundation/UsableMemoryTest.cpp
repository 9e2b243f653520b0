// The memory the program may use: the limit of its memory group read from
// folders made to look like /proc and the cgroup file systems of a host, a
// container and a machine with both cgroup versions, and the process's own
// limits set in a child process.
#include "foundation/UsableMemory.h"

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace bw;
namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BW_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BW_SANITIZED
#endif
#endif

namespace {

constexpr uint64_t GiB = uint64_t{1} << 30;

// A folder in place of "/": files written under it, folders made on the way.
struct TFakeRoot {
  fs::path Root;
  TFakeRoot() {
    std::string pattern = (fs::temp_directory_path() / "bw-memory-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    Root = pattern;
  }
  ~TFakeRoot() {
    std::error_code ec;
    fs::remove_all(Root, ec);
  }
  void Write(const std::string& path, const std::string& text) const {
    fs::create_directories((Root / path).parent_path());
    std::ofstream(Root / path) << text;
  }
  uint64_t Limit() const { return MemoryGroupLimit(Root.string()); }
};

std::string Mount(const std::string& root, const std::string& point, const std::string& type,
                  const std::string& options) {
  return "41 31 0:38 " + root + " " + point + " rw,nosuid,nodev shared:9 - " + type + " " + type +
         " " + options + "\n";
}

} // namespace

// On a host the group's limit may be in a slice above it; in a container the
// file system shows the container's own group as its root, and a group
// beyond it, named through "..", is not looked for outside the mount.
TEST(MemoryGroupLimit, CgroupV2TakesTheNarrowestOfTheGroupAndThoseAboveIt) {
  TFakeRoot host;
  host.Write("proc/self/cgroup", "0::/user.slice/user-1000.slice/app.scope\n");
  host.Write("proc/self/mountinfo", Mount("/", "/proc", "proc", "rw") +
                                        Mount("/", "/sys/fs/cgroup", "cgroup2", "rw,nsdelegate"));
  host.Write("sys/fs/cgroup/user.slice/user-1000.slice/app.scope/memory.max", "max\n");
  host.Write("sys/fs/cgroup/user.slice/user-1000.slice/memory.max", "3221225472\n");
  host.Write("sys/fs/cgroup/user.slice/memory.max", "2147483648\n");
  EXPECT_EQ(host.Limit(), 2 * GiB);
  host.Write("sys/fs/cgroup/user.slice/user-1000.slice/app.scope/memory.max", "1073741824\n");
  EXPECT_EQ(host.Limit(), GiB);

  TFakeRoot container;
  container.Write("proc/self/cgroup", "0::/system.slice/box.scope/inner\n");
  container.Write("proc/self/mountinfo",
                  Mount("/system.slice/box.scope", "/sys/fs/cgroup\\040v2", "cgroup2", "rw"));
  container.Write("sys/fs/cgroup v2/memory.max", "2147483648\n");
  container.Write("sys/fs/cgroup v2/inner/memory.max", "max\n");
  container.Write("sys/fs/cgroup v2/system.slice/box.scope/memory.max", "1\n");
  EXPECT_EQ(container.Limit(), 2 * GiB);
  container.Write("proc/self/cgroup", "0::/system.slice/other.scope\n");
  EXPECT_EQ(container.Limit(), UINT64_MAX);
  container.Write("proc/self/cgroup", "0::/system.slice/box.scope/../other\n");
  container.Write("sys/fs/cgroup v2/../other/memory.max", "1\n");
  EXPECT_EQ(container.Limit(), UINT64_MAX);
}

// cgroup v1 beside an empty v2 hierarchy, as this kind of machine mounts
// them: the memory controller's group (co-mounted with another controller
// or alone) gives its own limit and the one the kernel works out above it.
TEST(MemoryGroupLimit, CgroupV1TakesTheGroupsLimitAndTheOneAboveIt) {
  TFakeRoot root;
  root.Write("proc/self/cgroup", "5:cpu,cpuacct:/\n4:memory:/jobs/42\n0::/\n");
  root.Write("proc/self/mountinfo",
             Mount("/", "/sys/fs/cgroup/cpu,cpuacct", "cgroup", "rw,cpu,cpuacct") +
                 Mount("/", "/sys/fs/cgroup/memory", "cgroup", "rw,memory") +
                 Mount("/", "/sys/fs/cgroup/unified", "cgroup2", "rw"));
  root.Write("sys/fs/cgroup/cpu,cpuacct/jobs/42/memory.limit_in_bytes", "1\n");
  root.Write("sys/fs/cgroup/memory/memory.limit_in_bytes", "1\n");
  root.Write("sys/fs/cgroup/memory/jobs/42/memory.limit_in_bytes", "3221225472\n");
  EXPECT_EQ(root.Limit(), 3 * GiB);
  root.Write("sys/fs/cgroup/memory/jobs/42/memory.stat",
             "cache 0\nrss 4096\nhierarchical_memory_limit 2147483648\n"
             "hierarchical_memsw_limit 1073741824\n");
  EXPECT_EQ(root.Limit(), 2 * GiB);

  root.Write("proc/self/mountinfo", Mount("/", "/sys/fs/cgroup/memory", "cgroup", "rw,cpu,memory"));
  EXPECT_EQ(root.Limit(), 2 * GiB);
  // "memory" among the mount options but not the file system's own.
  root.Write("proc/self/mountinfo",
             "35 31 0:32 / /sys/fs/cgroup/memory rw,memory - cgroup cgroup rw,cpu\n");
  EXPECT_EQ(root.Limit(), UINT64_MAX);
}

// A figure that cannot be read leaves the others: no /proc, no limit
// ("max", or v1's largest count), a pipe or a folder where a figure should
// be (never waited on), a file of another kind, a count beyond 64 bits.
TEST(MemoryGroupLimit, WhatCannotBeReadDoesNotCount) {
  TFakeRoot root;
  EXPECT_EQ(root.Limit(), UINT64_MAX);
  root.Write("proc/self/cgroup", "4:memory:/a\n0::/b\n");
  EXPECT_EQ(root.Limit(), UINT64_MAX);
  root.Write("proc/self/mountinfo", Mount("/", "/v1", "cgroup", "rw,memory") +
                                        Mount("/", "/v2", "cgroup2", "rw") + "41 31 0:38 / /v3\n");
  root.Write("v1/a/memory.limit_in_bytes", "9223372036854771712\n");
  EXPECT_EQ(root.Limit(), 9223372036854771712u);
  root.Write("v2/b/memory.max", "18446744073709551615\n");
  EXPECT_EQ(root.Limit(), 9223372036854771712u);

  for (const char* text : {"max\n", "18446744073709551616\n", "-1\n", "2G\n", "\n", " "}) {
    root.Write("v1/a/memory.limit_in_bytes", text);
    root.Write("v2/b/memory.max", text);
    EXPECT_EQ(root.Limit(), UINT64_MAX) << text;
  }
  fs::remove(root.Root / "v1/a/memory.limit_in_bytes");
  fs::remove(root.Root / "v2/b/memory.max");
  ASSERT_EQ(mkfifo((root.Root / "v1/a/memory.limit_in_bytes").c_str(), 0600), 0);
  fs::create_directory(root.Root / "v2/b/memory.max");
  root.Write("v2/memory.max", "2147483648\n");
  EXPECT_EQ(root.Limit(), 2 * GiB);
  root.Write("v2/memory.max", std::string(100, '1'));
  EXPECT_EQ(root.Limit(), UINT64_MAX);
}

// Each of RLIMIT_AS and RLIMIT_DATA narrows the figure, below whatever the
// machine and the group allow; set just under that, they leave the child
// room to read.
TEST(UsableMemory, TheProcesssLimitsOnAddressSpaceAndDataCount) {
#ifdef BW_SANITIZED
  GTEST_SKIP() << "a sanitizer reserves terabytes of address space: under a limit below the "
                  "machine's memory it can map nothing more";
#endif
  const uint64_t outside = UsableMemory();
  ASSERT_LT(outside, UINT64_MAX) << "the physical memory is always known";
  ASSERT_GT(outside, 64u << 20);
  auto within = [](int resource, uint64_t bytes) {
    return bw::test::InChildProcess([=] {
      rlimit limit{};
      getrlimit(resource, &limit);
      limit.rlim_cur = bytes;
      if (setrlimit(resource, &limit) != 0) return std::string("(not set)");
      return std::to_string(UsableMemory());
    });
  };
  EXPECT_EQ(within(RLIMIT_AS, outside - (16u << 20)), std::to_string(outside - (16u << 20)));
  EXPECT_EQ(within(RLIMIT_DATA, outside - (32u << 20)), std::to_string(outside - (32u << 20)));
}
