// A stand-in for the program in the upgrade's end-to-end test: it appends
// its variant and arguments to the file named by BW_STANDIN_RECORD, then
// runs until its standard input closes. The upgrade helper's report, when
// named in its environment, goes to the same name with ".report" added.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
  if (const char* record = std::getenv("BW_STANDIN_RECORD")) {
    if (FILE* f = std::fopen(record, "a")) {
      std::fprintf(f, "%s:", BW_STANDIN_VARIANT);
      for (int i = 1; i < argc; ++i)
        std::fprintf(f, "%s|", argv[i]);
      std::fputc('\n', f);
      std::fclose(f);
    }
    // The upgrade helper's report, when it started this program.
    if (const char* report = std::getenv("AU_UPGRADE_REPORT"))
      if (FILE* f = std::fopen((std::string(record) + ".report").c_str(), "w")) {
        std::fputs(report, f);
        std::fclose(f);
      }
  }
  char c;
  while (read(0, &c, 1) > 0) {
  }
  return 0;
}
