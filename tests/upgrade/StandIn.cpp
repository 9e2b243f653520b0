// A stand-in for the program in the upgrade's end-to-end test: it appends
// its variant and arguments to the file named by BW_STANDIN_RECORD, then
// runs until its standard input closes.
#include <cstdio>
#include <cstdlib>
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
  }
  char c;
  while (read(0, &c, 1) > 0) {
  }
  return 0;
}
