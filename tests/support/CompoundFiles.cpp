#include "support/CompoundFiles.h"

#include <cstring>
#include <stdexcept>

namespace bw::test {

namespace {

constexpr uint32_t FreeSector = 0xFFFFFFFF;
constexpr uint32_t EndOfChain = 0xFFFFFFFE;
constexpr uint32_t FatMark = 0xFFFFFFFD;
constexpr size_t SectorSize = 512;

void Put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

std::string DirectoryEntry(const std::string& name, uint8_t type, uint32_t start, uint32_t size,
                           uint32_t right, uint32_t child) {
  std::string e;
  for (char c : name)
    Put16(e, static_cast<uint8_t>(c));
  if (!name.empty()) Put16(e, 0);
  const auto nameBytes = static_cast<uint16_t>(e.size());
  e.resize(64, '\0');
  Put16(e, nameBytes);
  e += static_cast<char>(type);
  e += '\1'; // black
  Put32(e, FreeSector);
  Put32(e, right);
  Put32(e, child);
  e.append(36, '\0'); // class id, state bits, times
  Put32(e, start);
  Put32(e, size);
  Put32(e, 0);
  return e;
}

} // namespace

std::string BiffRecord(uint16_t id, std::string_view data) {
  if (data.size() > 0xFFFF) throw std::length_error("record too long");
  std::string out;
  Put16(out, id);
  Put16(out, static_cast<uint16_t>(data.size()));
  out += data;
  return out;
}

std::string BiffBof(uint16_t type, bool biff5) {
  std::string d;
  Put16(d, biff5 ? 0x0500 : 0x0600);
  Put16(d, type);
  Put16(d, 0x0DBB); // build
  Put16(d, 0x07CC); // year
  if (!biff5) {
    Put32(d, 0);
    Put32(d, 6);
  }
  return BiffRecord(0x0809, d);
}

std::string BiffEof() {
  return BiffRecord(0x000A, {});
}

std::string BiffDimensions(uint32_t rows, uint16_t columns, bool biff5) {
  std::string d;
  if (biff5) {
    Put16(d, 0);
    Put16(d, static_cast<uint16_t>(rows));
  } else {
    Put32(d, 0);
    Put32(d, rows);
  }
  Put16(d, 0);
  Put16(d, columns);
  Put16(d, 0);
  return BiffRecord(0x0200, d);
}

std::string BiffNumber(uint16_t row, uint16_t column, double value) {
  std::string d;
  Put16(d, row);
  Put16(d, column);
  Put16(d, 0x0F);
  char bytes[8];
  std::memcpy(bytes, &value, sizeof bytes);
  d.append(bytes, sizeof bytes);
  return BiffRecord(0x0203, d);
}

std::string BiffFiller(size_t bytes) {
  std::string out;
  while (out.size() < bytes)
    out += BiffRecord(0x0012, std::string(2, '\0')); // sheet protection off
  return out;
}

std::string BiffWorkbook(const std::vector<std::string>& sheetBodies, bool biff5,
                         const std::string& globals) {
  std::string codePage;
  Put16(codePage, biff5 ? 1252 : 1200);
  std::string head = BiffBof(BiffGlobals, biff5) + BiffRecord(0x0042, codePage) + globals;
  std::vector<std::string> entries;
  for (size_t i = 0; i < sheetBodies.size(); ++i) {
    std::string name = "Sheet" + std::to_string(i + 1);
    std::string d(4, '\0'); // where the substream starts, filled in below
    d += '\0';              // visible
    d += '\0';              // worksheet
    d += static_cast<char>(name.size());
    if (!biff5) d += '\0'; // 8-bit characters
    entries.push_back(d + name);
  }
  size_t offset = head.size() + 4; // the globals' EOF
  for (const std::string& e : entries)
    offset += 4 + e.size();
  std::string sheets;
  for (size_t i = 0; i < sheetBodies.size(); ++i) {
    PutU32(entries[i], 0, static_cast<uint32_t>(offset + sheets.size()));
    sheets += BiffBof(BiffWorksheet, biff5) + sheetBodies[i] + BiffEof();
  }
  std::string out = head;
  for (const std::string& e : entries)
    out += BiffRecord(0x0085, e);
  return out + BiffEof() + sheets;
}

std::string CompoundDocument(const std::vector<std::pair<std::string, std::string>>& streams,
                             TCompoundLayout* layout) {
  std::vector<std::string> sectors;
  std::vector<uint32_t> fat;
  // Puts bytes in consecutive sectors chained in the table; the first one.
  auto chain = [&](const std::string& bytes) {
    if (bytes.empty()) return EndOfChain;
    const auto start = static_cast<uint32_t>(sectors.size());
    for (size_t at = 0; at < bytes.size(); at += SectorSize) {
      std::string s = bytes.substr(at, SectorSize);
      s.resize(SectorSize, '\0');
      sectors.push_back(s);
      fat.push_back(at + SectorSize < bytes.size() ? static_cast<uint32_t>(sectors.size())
                                                   : EndOfChain);
    }
    return start;
  };

  TCompoundLayout where;
  std::string miniStream, miniFat;
  for (const auto& [name, bytes] : streams) {
    if (bytes.size() >= 4096) {
      where.Starts.push_back(chain(bytes));
      continue;
    }
    const auto first = static_cast<uint32_t>(miniStream.size() / 64);
    const size_t count = (bytes.size() + 63) / 64;
    for (size_t i = 0; i < count; ++i)
      Put32(miniFat, i + 1 < count ? first + static_cast<uint32_t>(i) + 1 : EndOfChain);
    std::string padded = bytes;
    padded.resize(count * 64, '\0');
    miniStream += padded;
    where.Starts.push_back(count ? first : EndOfChain);
  }
  const uint32_t root = chain(miniStream);
  while (miniFat.size() % SectorSize)
    Put32(miniFat, FreeSector);
  const uint32_t miniFatStart = chain(miniFat);

  std::string directory =
      DirectoryEntry("Root Entry", 5, root, static_cast<uint32_t>(miniStream.size()), FreeSector,
                     streams.empty() ? FreeSector : 1);
  for (size_t i = 0; i < streams.size(); ++i)
    directory += DirectoryEntry(
        streams[i].first, 2, where.Starts[i], static_cast<uint32_t>(streams[i].second.size()),
        i + 1 < streams.size() ? static_cast<uint32_t>(i) + 2 : FreeSector, FreeSector);
  while (directory.size() % SectorSize)
    directory += DirectoryEntry({}, 0, 0, 0, FreeSector, FreeSector);
  where.Directory = chain(directory);

  // The table covers its own sectors too.
  const size_t perSector = SectorSize / 4;
  size_t fatSectors = 1;
  while ((sectors.size() + fatSectors + perSector - 1) / perSector > fatSectors)
    ++fatSectors;
  if (fatSectors > 109) throw std::length_error("compound document too large");
  where.Fat = static_cast<uint32_t>(sectors.size());
  fat.insert(fat.end(), fatSectors, FatMark);
  fat.resize(fatSectors * perSector, FreeSector);
  std::string table;
  for (uint32_t entry : fat)
    Put32(table, entry);
  for (size_t i = 0; i < fatSectors; ++i)
    sectors.push_back(table.substr(i * SectorSize, SectorSize));

  std::string header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  header.append(16, '\0');
  Put16(header, 0x3E);   // minor version
  Put16(header, 3);      // major version: 512-byte sectors
  Put16(header, 0xFFFE); // little-endian
  Put16(header, 9);      // sector shift
  Put16(header, 6);      // mini sector shift
  header.append(10, '\0');
  Put32(header, static_cast<uint32_t>(fatSectors));
  Put32(header, where.Directory);
  Put32(header, 0);
  Put32(header, 4096);
  Put32(header, miniFatStart);
  Put32(header, static_cast<uint32_t>(miniFat.size() / SectorSize));
  Put32(header, EndOfChain); // no further table list
  Put32(header, 0);
  for (size_t i = 0; i < 109; ++i)
    Put32(header, i < fatSectors ? where.Fat + static_cast<uint32_t>(i) : FreeSector);

  if (layout) *layout = where;
  std::string out = header;
  for (const std::string& s : sectors)
    out += s;
  return out;
}

uint32_t GetU32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i)
    v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes.at(at + i))) << (8 * i);
  return v;
}

void PutU32(std::string& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i)
    bytes.at(at + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace bw::test
