// A stand-in for the program in the upgrade's end-to-end test: it appends
// its variant and arguments to the file named by BW_STANDIN_RECORD, then
// runs until its standard input closes. The upgrade helper's report, when
// named in its environment, goes to the same name with ".report" added, and
// the descriptors it was started with beyond 0 to 2 to the name with ".fds"
// added; with BW_STANDIN_LOCK naming a folder, whether its upgrade lock was
// free ("free" or "held") to the name with ".lock" added.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (const char* record = std::getenv("BW_STANDIN_RECORD")) {
    // Looked at first, before this program opens anything of its own.
    std::string held;
    const long most = sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (most > 0 && most < 65536 ? most : 65536); ++fd)
      if (fcntl(fd, F_GETFD) != -1) held += std::to_string(fd) + " ";
    if (FILE* f = std::fopen((std::string(record) + ".fds").c_str(), "w")) {
      std::fputs(held.c_str(), f);
      std::fclose(f);
    }
    if (const char* folder = std::getenv("BW_STANDIN_LOCK")) {
      const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
      if (fd >= 0) close(fd);
      if (FILE* f = std::fopen((std::string(record) + ".lock").c_str(), "w")) {
        std::fputs(free ? "free" : "held", f);
        std::fclose(f);
      }
    }
    // The upgrade helper's report, when it started this program.
    if (const char* report = std::getenv("AU_UPGRADE_REPORT"))
      if (FILE* f = std::fopen((std::string(record) + ".report").c_str(), "w")) {
        std::fputs(report, f);
        std::fclose(f);
      }
    // The record last: a test that finds it finds the rest written.
    if (FILE* f = std::fopen(record, "a")) {
      std::fprintf(f, "%s:", BW_STANDIN_VARIANT);
      for (int i = 1; i < argc; ++i)
        std::fprintf(f, "%s|", argv[i]);
      std::fputc('\n', f);
      std::fclose(f);
    }
  }
  char c;
  while (read(0, &c, 1) > 0) {
  }
  return 0;
}
