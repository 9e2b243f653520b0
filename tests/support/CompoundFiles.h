// Binary workbooks made record by record, in compound documents whose
// layout the tests know, so that they can declare any grid and damage the
// container exactly where they mean to. Used by the workbook tests and the
// workbook fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bw::test {

// One record: its id, its length and the data.
std::string BiffRecord(uint16_t id, std::string_view data);
// Substream types for BiffBof.
constexpr uint16_t BiffGlobals = 0x0005;
constexpr uint16_t BiffWorksheet = 0x0010;
constexpr uint16_t BiffChart = 0x0020;
std::string BiffBof(uint16_t type, bool biff5 = false);
std::string BiffEof();
// The grid a worksheet declares: its last row and column plus one.
std::string BiffDimensions(uint32_t rows, uint16_t columns, bool biff5 = false);
std::string BiffNumber(uint16_t row, uint16_t column, double value);
// Records that only take room.
std::string BiffFiller(size_t bytes);

// A workbook stream: the globals (the code page, the given records, one
// sheet entry per worksheet, "Sheet1", "Sheet2", ...) and one worksheet
// substream per body, each between its BOF and EOF.
std::string BiffWorkbook(const std::vector<std::string>& sheetBodies, bool biff5 = false,
                         const std::string& globals = {});

// Where the parts of a compound document lie. Sectors are 512 bytes, in
// this order: the regular streams, the mini stream, the mini allocation
// table, the directory (the root entry, then the streams in order), the
// allocation table.
struct TCompoundLayout {
  std::vector<uint32_t> Starts; // each stream's first sector, or mini sector
  uint32_t Directory = 0;
  uint32_t Fat = 0;
  static size_t SectorOffset(uint32_t sector) { return (size_t{sector} + 1) * 512; }
  size_t EntryOffset(size_t stream) const { return SectorOffset(Directory) + 128 * (stream + 1); }
  size_t FatEntryOffset(uint32_t sector) const {
    return SectorOffset(Fat + sector / 128) + 4 * (sector % 128);
  }
};

// A compound document of the given streams (name, bytes) in its root
// storage. Streams shorter than 4096 bytes go to the mini stream, as
// writers put them.
std::string CompoundDocument(const std::vector<std::pair<std::string, std::string>>& streams,
                             TCompoundLayout* layout = nullptr);

// Little-endian numbers, read or written in place.
uint32_t GetU32(const std::string& bytes, size_t at);
void PutU32(std::string& bytes, size_t at, uint32_t value);

} // namespace bw::test
