// Writes binary-workbook seeds for the workbook fuzzer into a folder: bare
// workbook streams (which the fuzzer puts in a compound document) of both
// versions, with numbers, several sheets, a last sheet without a declared
// grid and an encrypted one, and whole compound documents, with the stream
// in the mini stream, in sectors of its own, and where the mini stream is
// easily taken for it: in sectors of its own while the header's cutoff says
// the mini stream, of exactly the cutoff's size, after another stream in
// the mini stream, and beside a second entry named as the root; and a
// stream in sectors of its own that a zero record ends before its second
// sheet.
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
  const std::string biff8 = BiffWorkbook({cells});
  Write(folder, "biff8.bin", biff8);
  Write(folder, "biff5.bin",
        BiffWorkbook({BiffDimensions(3, 2, true) + BiffNumber(2, 1, 42.5)}, true));
  Write(folder, "sheets.bin",
        BiffWorkbook({cells, BiffDimensions(1, 1), BiffNumber(3, 3, 1) + BiffNumber(1, 9, 2)}));
  Write(folder, "encrypted.bin",
        BiffWorkbook({cells}, false, BiffRecord(0x002F, std::string(54, '\0'))));
  Write(folder, "mini.xls", CompoundDocument({{"Workbook", biff8}}));
  Write(folder, "regular.xls",
        CompoundDocument({{"Workbook", BiffWorkbook({cells}, false, BiffFiller(4500))},
                          {"Other", std::string(200, 'x')}}));
  // Where libfreexl could take the mini stream, which starts with a short
  // stream that looks like a workbook, for the workbook stream: a header
  // whose cutoff (offset 56) is above the size of a workbook stream kept in
  // regular sectors; a workbook stream of exactly the cutoff, 4096 bytes,
  // which belongs in regular sectors.
  const std::string looksLikeWorkbook = BiffBof(BiffGlobals) + BiffFiller(180);
  std::string cutoff = CompoundDocument(
      {{"Workbook", BiffWorkbook({cells}, false, BiffFiller(4500))}, {"Other", looksLikeWorkbook}});
  PutU32(cutoff, 56, 61440);
  Write(folder, "cutoff.xls", cutoff);
  const std::string unknownRecord = BiffRecord(0x00EF, std::string(4092 - biff8.size(), '\0'));
  Write(folder, "cutoff-sized.xls",
        CompoundDocument({{"Workbook", BiffWorkbook({cells}, false, unknownRecord)},
                          {"Other", looksLikeWorkbook}}));
  // A short workbook stream after another short stream in the mini stream,
  // which holds a text of 65,535 characters announced in a 13-byte record.
  const std::string label("\0\0\0\0\x0F\0\xFF\xFF\x01"
                          "abcd",
                          13);
  Write(
      folder, "mini-after.xls",
      CompoundDocument({{"Other", BiffWorkbook({BiffDimensions(2, 2) + BiffRecord(0x0204, label)})},
                        {"Workbook", BiffWorkbook({cells}, false, BiffFiller(1000))}}));
  // The same text at the start of a second root's stream, and a zero record
  // where libfreexl stops reading, before the second sheet.
  Write(folder, "second-root.xls",
        CompoundDocument(
            {{"Root Entry",
              BiffWorkbook({BiffDimensions(2, 2) + BiffRecord(0x0204, label)}) + BiffFiller(4500)},
             {"Workbook", biff8}}));
  Write(folder, "end-mark.xls",
        CompoundDocument({{"Workbook", BiffWorkbook({cells + BiffRecord(0, {}), cells}, false,
                                                    BiffFiller(4500))}}));
  return 0;
}
