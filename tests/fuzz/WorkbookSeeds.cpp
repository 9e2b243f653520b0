// Writes binary-workbook seeds for the workbook fuzzer into a folder: bare
// workbook streams (which the fuzzer puts in a compound document) of both
// versions, with numbers, several sheets, a last sheet without a declared
// grid and an encrypted one, and whole compound documents, with the stream
// in the mini stream, in sectors of its own, and in sectors of its own while
// the header's mini-stream cutoff says it is in the mini stream.
#include "support/CompoundFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace bw::test;

namespace {

void Write(const std::filesystem::path& folder, const std::string& name, const std::string& bytes) {
  std::ofstream(folder / name, std::ios::binary) << bytes;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);

  const std::string cells = BiffDimensions(8, 4) + BiffNumber(0, 0, 12.5) + BiffNumber(7, 3, -3) +
                            BiffRecord(0x0201, std::string(6, '\0'));
  Write(folder, "biff8.bin", BiffWorkbook({cells}));
  Write(folder, "biff5.bin",
        BiffWorkbook({BiffDimensions(3, 2, true) + BiffNumber(2, 1, 42.5)}, true));
  Write(folder, "sheets.bin",
        BiffWorkbook({cells, BiffDimensions(1, 1), BiffNumber(3, 3, 1) + BiffNumber(1, 9, 2)}));
  Write(folder, "encrypted.bin",
        BiffWorkbook({cells}, false, BiffRecord(0x002F, std::string(54, '\0'))));
  Write(folder, "mini.xls", CompoundDocument({{"Workbook", BiffWorkbook({cells})}}));
  Write(folder, "regular.xls",
        CompoundDocument({{"Workbook", BiffWorkbook({cells}, false, BiffFiller(4500))},
                          {"Other", std::string(200, 'x')}}));
  // A header whose mini-stream cutoff (offset 56) is above the size of the
  // workbook stream, which is kept in regular sectors: a reader that follows
  // the field reads it from the 256-byte mini stream, where a short stream
  // starts like a workbook.
  std::string cutoff =
      CompoundDocument({{"Workbook", BiffWorkbook({cells}, false, BiffFiller(4500))},
                        {"Other", BiffBof(BiffGlobals) + BiffFiller(180)}});
  PutU32(cutoff, 56, 61440);
  Write(folder, "cutoff.xls", cutoff);
  return 0;
}
