#include "platform/workbook/BinaryScan.h"
#include "support/CompoundFiles.h"
#include "support/Workbooks.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <functional>

using namespace bw;
using namespace bw::test;

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Where each record of the given id starts in a workbook stream.
std::vector<size_t> RecordsOf(const std::string& stream, uint16_t id) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 4 <= stream.size();) {
    const auto rid = static_cast<uint16_t>(static_cast<uint8_t>(stream[i]) |
                                           static_cast<uint8_t>(stream[i + 1]) << 8);
    const size_t length = static_cast<uint8_t>(stream[i + 2]) | static_cast<uint8_t>(stream[i + 3])
                                                                    << 8;
    if (rid == id) at.push_back(i);
    i += 4 + length;
  }
  return at;
}

class BinaryScan : public ::testing::Test {
protected:
  TBinaryScan ScanFile(const std::string& bytes, uint64_t limit = UINT64_MAX) {
    const std::string path = FDir.File("book.xls");
    WriteFile(path, bytes);
    const int fd = open(path.c_str(), O_RDONLY);
    TBinaryScan scan = ScanBinaryWorkbook(fd, limit);
    close(fd);
    return scan;
  }
  TBinaryScan Scan(const std::string& stream, uint64_t limit = UINT64_MAX,
                   const std::string& name = "Workbook") {
    return ScanFile(CompoundDocument({{name, stream}}), limit);
  }
  TTempFolder FDir;
};

} // namespace

TEST_F(BinaryScan, CountsTheGridsTheWorksheetsDeclare) {
  // Each DIMENSIONS record's rows times columns.
  const std::string two =
      BiffWorkbook({BiffDimensions(100, 10) + BiffNumber(99, 9, 1), BiffDimensions(30, 3)});
  TBinaryScan s = Scan(two);
  EXPECT_EQ(s.Verdict, TBinaryVerdict::Readable);
  EXPECT_EQ(s.GridPositions, 1090u);
  EXPECT_EQ(Scan(two, 1090).Verdict, TBinaryVerdict::Readable);
  EXPECT_EQ(Scan(two, 1089).Verdict, TBinaryVerdict::TooLarge);
  // The same in a regular stream, and in the older version's layout and
  // stream name.
  EXPECT_EQ(Scan(BiffWorkbook({BiffDimensions(100, 10)}, false, BiffFiller(5000))).GridPositions,
            1000u);
  EXPECT_EQ(
      Scan(BiffWorkbook({BiffDimensions(1000, 20, true)}, true), UINT64_MAX, "Book").GridPositions,
      20000u);

  // The last worksheet without DIMENSIONS is sized by cells, possibly of
  // other sheets: it counts the largest row and column of any.
  s = Scan(BiffWorkbook({BiffDimensions(30, 3), BiffNumber(4, 200, 1)}));
  EXPECT_EQ(s.Verdict, TBinaryVerdict::Readable);
  EXPECT_EQ(s.GridPositions, 90u + 30u * 201u);
}

TEST_F(BinaryScan, RefusesWorkbookStreamsTheLibraryMisreads) {
  auto verdict = [&](const std::string& stream) { return Scan(stream).Verdict; };
  // A second grid in one sheet would be allocated without freeing the
  // first; a chart's substream inside a worksheet is never read.
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(10, 10) + BiffDimensions(10, 10)})),
            TBinaryVerdict::Damaged);
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(10, 10) + BiffBof(BiffChart) + BiffEof()})),
            TBinaryVerdict::Damaged);
  // Cells outside a sheet, outside its grid or before it, or twice at one
  // place.
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(2, 2) + BiffNumber(1, 1, 1) + BiffNumber(0, 1, 2) +
                                  BiffNumber(1, 1, 3)})),
            TBinaryVerdict::Damaged);
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(2, 2)}, false, BiffNumber(0, 0, 1))),
            TBinaryVerdict::Damaged);
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(2, 2) + BiffNumber(1, 2, 1)})),
            TBinaryVerdict::Damaged);
  EXPECT_EQ(verdict(BiffWorkbook({BiffNumber(0, 0, 1) + BiffDimensions(2, 2)})),
            TBinaryVerdict::Damaged);
  // Texts longer than their records: libfreexl would copy past them.
  const std::string label("\0\0\0\0\x0F\0\x64\0\0abc", 12); // a hundred characters announced
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(2, 2) + BiffRecord(0x0204, label)})),
            TBinaryVerdict::Damaged);
  std::string longName = BiffWorkbook({BiffDimensions(2, 2)});
  longName[RecordsOf(longName, 0x0085).at(0) + 4 + 6] = 60;
  EXPECT_EQ(verdict(longName), TBinaryVerdict::Damaged);
  // Shared strings: "ab", then "cdef" going on in a CONTINUE record with an
  // option byte of its own; counting a third string they do not hold.
  auto strings = [](char count) {
    return BiffRecord(0x00FC, std::string("\3\0\0\0", 4) + count + std::string("\0\0\0", 3) +
                                  std::string("\2\0\0ab\4\0\0cd", 11)) +
           BiffRecord(0x003C, std::string("\0ef", 3));
  };
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(2, 2)}, false, strings(2))),
            TBinaryVerdict::Readable);
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(2, 2)}, false, strings(3))),
            TBinaryVerdict::Damaged);
  // A sheet without a grid before another one.
  EXPECT_EQ(verdict(BiffWorkbook({BiffNumber(4, 200, 1), BiffDimensions(30, 3)})),
            TBinaryVerdict::Damaged);
  // A record cut off before the data the count needs.
  EXPECT_EQ(verdict(BiffWorkbook({BiffRecord(0x0200, std::string(10, '\xFF'))})),
            TBinaryVerdict::Damaged);
  EXPECT_EQ(verdict(BiffWorkbook({BiffRecord(0x0203, "\x01")})), TBinaryVerdict::Damaged);
  // No BOF first, or a sheet of another version.
  EXPECT_EQ(verdict(BiffNumber(0, 0, 1) + BiffWorkbook({})), TBinaryVerdict::Damaged);
  std::string mixed = BiffWorkbook({BiffDimensions(10, 10)});
  mixed[RecordsOf(mixed, 0x0809).at(1) + 5] = 0x05;
  EXPECT_EQ(verdict(mixed), TBinaryVerdict::Damaged);
  // Two sheets on one substream would both be given its grid.
  std::string shared = BiffWorkbook({BiffDimensions(10, 10), BiffDimensions(10, 10)});
  std::vector<size_t> entries = RecordsOf(shared, 0x0085);
  PutU32(shared, entries.at(1) + 4, GetU32(shared, entries.at(0) + 4));
  EXPECT_EQ(verdict(shared), TBinaryVerdict::Damaged);
  // In regular sectors libfreexl stops at a record of type and length zero
  // and at one longer than 8,224 bytes, never reaching the second sheet
  // here, and reads a record cut short by the end of the stream on into the
  // rest of its sector. In the mini stream it reads on past a zero record.
  auto regular = [](const std::string& firstSheetEnd) {
    return BiffWorkbook({BiffDimensions(10, 10) + firstSheetEnd, BiffDimensions(10, 10)}, false,
                        BiffFiller(5000));
  };
  EXPECT_EQ(verdict(regular(BiffRecord(0, {}))), TBinaryVerdict::Damaged);
  EXPECT_EQ(verdict(regular(BiffRecord(0x00EF, std::string(9000, '\0')))), TBinaryVerdict::Damaged);
  std::string cut = regular({}) + BiffRecord(0x00EF, std::string(1000, '\0'));
  cut.resize(cut.size() - 10);
  EXPECT_EQ(verdict(cut), TBinaryVerdict::Damaged);
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(2, 2) + BiffRecord(0, {}) + BiffNumber(5, 5, 1)})),
            TBinaryVerdict::Damaged);
  // An encrypted workbook is told as such, not measured.
  EXPECT_EQ(verdict(BiffWorkbook({BiffDimensions(10, 10)}, false,
                                 BiffRecord(0x002F, std::string(54, '\0')))),
            TBinaryVerdict::Encrypted);
}

TEST_F(BinaryScan, RefusesDamagedCompoundDocuments) {
  // A regular stream of several sectors, with the mini stream holding
  // another.
  TCompoundLayout where;
  const std::string good = CompoundDocument(
      {{"Workbook", BiffWorkbook({BiffDimensions(10, 10)}, false, BiffFiller(5000))},
       {"Other", std::string(100, 'x')}},
      &where);
  ASSERT_EQ(ScanFile(good).Verdict, TBinaryVerdict::Readable);
  const uint32_t first = where.Starts[0];
  auto damaged = [&](const std::function<void(std::string&)>& damage) {
    std::string bytes = good;
    damage(bytes);
    return ScanFile(bytes).Verdict == TBinaryVerdict::Damaged;
  };
  EXPECT_TRUE(damaged([&](std::string& b) { b.resize(TCompoundLayout::SectorOffset(first + 3)); }))
      << "cut off in the stream";
  EXPECT_TRUE(damaged([&](std::string& b) { b.resize(300); })) << "cut off in the header";
  EXPECT_TRUE(damaged([&](std::string& b) { PutU32(b, where.FatEntryOffset(first + 4), first); }))
      << "the stream's chain runs back";
  EXPECT_TRUE(damaged([&](std::string& b) {
    PutU32(b, where.FatEntryOffset(where.Directory), where.Directory);
  })) << "the directory's chain runs into itself";
  EXPECT_TRUE(damaged([&](std::string& b) { PutU32(b, where.EntryOffset(0) + 116, 0x00FFFFFF); }))
      << "a stream starting past the end";
  EXPECT_TRUE(damaged([&](std::string& b) { PutU32(b, where.FatEntryOffset(first), 0xFFFFFFF0); }))
      << "a chain leading nowhere";
  EXPECT_TRUE(damaged([&](std::string& b) { PutU32(b, where.EntryOffset(0) + 120, 0xFFFFFF00); }))
      << "a stream larger than the file";
  EXPECT_TRUE(damaged([&](std::string& b) {
    PutU32(b, where.EntryOffset(0) + 120, static_cast<uint32_t>(b.size() - 1024));
  })) << "a stream longer than its chain";
  EXPECT_TRUE(damaged([&](std::string& b) { b[where.EntryOffset(1) + 65] = '\xD6'; }))
      << "a name longer than its field";
  EXPECT_TRUE(damaged([&](std::string& b) { PutU32(b, 76, 0x7FFFFFFF); }))
      << "the allocation table past the end";
  EXPECT_TRUE(damaged([&](std::string& b) { PutU32(b, 44, 0x7FFFFFFF); }))
      << "more table sectors than the file has";
  // A mini-stream cutoff other than writers give would make the library
  // look for the workbook stream, of 5,000 bytes, in the mini stream.
  EXPECT_TRUE(damaged([&](std::string& b) { PutU32(b, 56, 61440); })) << "the cutoff";

  // A small stream in the mini stream: a chain that skips, a sector past
  // the mini stream's end.
  TCompoundLayout mini;
  const std::string small =
      CompoundDocument({{"Workbook", BiffWorkbook({BiffDimensions(10, 10), {}})}}, &mini);
  ASSERT_EQ(ScanFile(small).Verdict, TBinaryVerdict::Readable);
  const size_t miniFat = TCompoundLayout::SectorOffset(mini.Directory - 1);
  std::string skipping = small;
  PutU32(skipping, miniFat, 5);
  EXPECT_EQ(ScanFile(skipping).Verdict, TBinaryVerdict::Damaged);
  std::string past = small;
  PutU32(past, mini.EntryOffset(0) + 116, 40);
  EXPECT_EQ(ScanFile(past).Verdict, TBinaryVerdict::Damaged);

  // libfreexl reads a short workbook stream from the start of the mini
  // stream, whatever its entry's start, and one of exactly the cutoff's size
  // from there too when the file has a mini stream (without one, as writers
  // that pad the stream to 4,096 bytes make it, from its sectors); it takes
  // the mini stream of any entry named as the root.
  const std::string book = BiffWorkbook({BiffDimensions(10, 10)});
  EXPECT_EQ(ScanFile(CompoundDocument({{"Other", book}, {"Workbook", book}})).Verdict,
            TBinaryVerdict::Damaged);
  const std::string sized = book + BiffRecord(0x00EF, std::string(4092 - book.size(), '\0'));
  ASSERT_EQ(sized.size(), 4096u);
  EXPECT_EQ(ScanFile(CompoundDocument({{"Workbook", sized}, {"Other", "x"}})).Verdict,
            TBinaryVerdict::Damaged);
  EXPECT_EQ(ScanFile(CompoundDocument({{"Workbook", sized}})).Verdict, TBinaryVerdict::Readable);
  EXPECT_EQ(ScanFile(CompoundDocument({{"Root Entry", "x"}, {"Workbook", book}})).Verdict,
            TBinaryVerdict::Damaged);

  // No workbook stream at all.
  EXPECT_EQ(ScanFile(CompoundDocument({{"Other", std::string(100, 'x')}})).Verdict,
            TBinaryVerdict::NoWorkbook);
}

TEST_F(BinaryScan, ScansTheStreamLibfreexlReads) {
  // The first entry whose name, as far as its length field says, is
  // "Workbook" or "Book".
  const std::string large = BiffWorkbook({BiffDimensions(1000, 1000)});
  const std::string small = BiffWorkbook({BiffDimensions(10, 10)}, false, BiffFiller(5000));
  TCompoundLayout where;
  const std::string both = CompoundDocument({{"Workbook", large}, {"Book", small}}, &where);
  EXPECT_EQ(ScanFile(both, 1000).Verdict, TBinaryVerdict::TooLarge);
  std::string shortName = both;
  shortName[where.EntryOffset(0) + 64] = 10; // "Work" and its end
  EXPECT_EQ(ScanFile(shortName, 1000).Verdict, TBinaryVerdict::Readable);
  EXPECT_EQ(ScanFile(CompoundDocument({{"Book", small}, {"Workbook", large}}), 1000).Verdict,
            TBinaryVerdict::Readable);
}
