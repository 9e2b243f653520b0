#include "platform/workbook/CompoundFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace bw {

namespace {

constexpr uint32_t FreeSector = 0xFFFFFFFF;
constexpr uint32_t EndOfChain = 0xFFFFFFFE;
constexpr uint32_t MiniSectorSize = 64;
constexpr size_t HeaderFatSlots = 109;

[[noreturn]] void Damaged(const char* what) {
  throw TCompoundDamaged{what};
}

constexpr const char* BadHeader = "its header is not valid";
constexpr const char* BadTable = "its allocation table is broken";
constexpr const char* BadChain = "a chain of its sectors is broken";
constexpr const char* BadMini = "its mini stream is broken";

} // namespace

TCompoundFile::TCompoundFile(int fd) : FFd(fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size < 0) Damaged("it cannot be read");
  FFileSize = static_cast<uint64_t>(st.st_size);

  uint8_t header[512];
  ReadAt(0, header, sizeof header);
  static constexpr uint8_t Signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (std::memcmp(header, Signature, sizeof Signature) != 0) Damaged(BadHeader);
  const uint16_t major = U16(header + 26), shift = U16(header + 30);
  if (U16(header + 28) != 0xFFFE || U16(header + 32) != 6) Damaged(BadHeader);
  if (major == 3 && shift == 9) {
    FSectorSize = 512;
  } else if (major == 4 && shift == 12) {
    FSectorSize = 4096;
    FVersion4 = true;
  } else {
    Damaged(BadHeader);
  }
  // The size below which streams live in the mini stream. The library that
  // reads the workbook afterwards takes it from the header; any other size
  // than the one writers use is refused, so that this reader and the library
  // never look for a stream in different places.
  if (U32(header + 56) != MiniStreamCutoff)
    throw TCompoundDamaged{"its header gives a mini-stream cutoff of " +
                           std::to_string(U32(header + 56)) + " bytes, not " +
                           std::to_string(MiniStreamCutoff)};
  // The header takes the place of sector -1; a last sector cut short does
  // not count.
  if (FFileSize < 2u * FSectorSize) Damaged("it is cut short");
  FSectorCount = FFileSize / FSectorSize - 1;

  ReadAllocationTable(header);
  ReadDirectory(U32(header + 48));
  if (FEntries.empty() || FEntries[0].Type != 5) Damaged("its directory has no root");
  // libfreexl takes the mini stream of the last entry named as the root
  // before the workbook stream's, whatever its place and type: only the
  // root may bear that name.
  for (size_t i = 1; i < FEntries.size(); ++i)
    if (FEntries[i].Name == "Root Entry") Damaged("its directory has two roots");
  // Whether short streams are read from the mini stream depends on the
  // header's count of mini table sectors, as it does for the library that
  // reads the workbook afterwards.
  const uint32_t miniSectors = U32(header + 64);
  if (miniSectors != 0) ReadMiniTables(U32(header + 60), miniSectors);
}

void TCompoundFile::ReadAt(uint64_t offset, void* out, size_t n) {
  if (offset > FFileSize || n > FFileSize - offset) Damaged("it is cut short");
  auto* to = static_cast<char*>(out);
  while (n > 0) {
    const ssize_t got = pread(FFd, to, n, static_cast<off_t>(offset));
    if (got <= 0) Damaged(got == 0 ? "it is cut short" : "it cannot be read");
    to += got;
    offset += static_cast<uint64_t>(got);
    n -= static_cast<size_t>(got);
  }
}

uint64_t TCompoundFile::SectorOffset(uint32_t sector) const {
  return (uint64_t{sector} + 1) * FSectorSize;
}

bool TCompoundFile::ValidSector(uint32_t sector) const {
  return sector < FSectorCount && sector < FFat.size();
}

void TCompoundFile::ReadAllocationTable(const uint8_t* header) {
  // The table's own sectors: the first 109 listed in the header, the rest
  // in a chain of further list sectors, each ending with the next one's
  // number. Unused slots must be free, so that no reader could find a
  // table sector this one does not.
  const uint32_t fatSectors = U32(header + 44);
  if (fatSectors == 0 || fatSectors > FSectorCount) Damaged(BadTable);
  std::vector<uint32_t> where;
  where.reserve(fatSectors);
  auto take = [&](uint32_t sector) {
    if (where.size() < fatSectors) {
      if (sector >= FSectorCount) Damaged(BadTable);
      where.push_back(sector);
    } else if (sector != FreeSector) {
      Damaged(BadTable);
    }
  };
  for (size_t i = 0; i < HeaderFatSlots; ++i)
    take(U32(header + 76 + 4 * i));

  std::vector<uint8_t> sector(FSectorSize);
  std::vector<bool> seen(FSectorCount);
  const uint32_t slots = FSectorSize / 4 - 1;
  uint32_t next = U32(header + 68), listed = 0;
  while (where.size() < fatSectors) {
    if (next >= FSectorCount || seen[next]) Damaged(BadTable);
    seen[next] = true;
    ++listed;
    ReadAt(SectorOffset(next), sector.data(), FSectorSize);
    for (uint32_t i = 0; i < slots; ++i)
      take(U32(&sector[4 * i]));
    next = U32(&sector[4 * slots]);
  }
  if (listed != U32(header + 72)) Damaged(BadTable);

  const size_t perSector = FSectorSize / 4;
  FFat.resize(where.size() * perSector);
  for (size_t i = 0; i < where.size(); ++i) {
    ReadAt(SectorOffset(where[i]), sector.data(), FSectorSize);
    for (size_t j = 0; j < perSector; ++j)
      FFat[i * perSector + j] = U32(&sector[4 * j]);
  }
}

std::vector<uint32_t> TCompoundFile::Chain(uint32_t start) {
  std::vector<uint32_t> sectors;
  std::vector<bool> seen(FSectorCount);
  for (uint32_t s = start; s != EndOfChain; s = FFat[s]) {
    if (!ValidSector(s) || seen[s]) Damaged(BadChain);
    seen[s] = true;
    sectors.push_back(s);
  }
  return sectors;
}

std::vector<uint32_t> TCompoundFile::Chain(uint32_t start, uint64_t count) {
  if (count > FSectorCount) Damaged(BadChain);
  std::vector<uint32_t> sectors;
  sectors.reserve(count);
  std::vector<bool> seen(FSectorCount);
  for (uint32_t s = start; sectors.size() < count; s = FFat[s]) {
    if (!ValidSector(s) || seen[s]) Damaged(BadChain);
    seen[s] = true;
    sectors.push_back(s);
  }
  return sectors;
}

uint64_t TCompoundFile::EntrySize(const uint8_t* entry) const {
  // Version 3 files may leave anything in the upper half.
  uint64_t size = U32(entry + 120);
  if (FVersion4) size |= uint64_t{U32(entry + 124)} << 32;
  return size;
}

void TCompoundFile::ReadDirectory(uint32_t start) {
  std::vector<uint8_t> sector(FSectorSize);
  for (uint32_t s : Chain(start)) {
    ReadAt(SectorOffset(s), sector.data(), FSectorSize);
    for (size_t at = 0; at + 128 <= FSectorSize; at += 128) {
      const uint8_t* e = &sector[at];
      // libfreexl converts as many bytes of the name as its length field
      // says, whatever the 64 bytes of room.
      const uint16_t nameBytes = U16(e + 64);
      if (nameBytes > 64) Damaged("a name in its directory is longer than its field");
      TCompoundEntry entry;
      for (size_t i = 0; i + 1 < nameBytes && U16(e + i) != 0; i += 2)
        entry.Name += U16(e + i) < 0x80 ? static_cast<char>(e[i]) : '\xFF';
      entry.Type = e[66];
      entry.Start = U32(e + 116);
      entry.Size = EntrySize(e);
      FEntries.push_back(std::move(entry));
    }
  }
}

void TCompoundFile::ReadMiniTables(uint32_t start, uint32_t count) {
  std::vector<uint32_t> sectors = Chain(start);
  if (sectors.size() != count) Damaged(BadMini);
  std::vector<uint8_t> sector(FSectorSize);
  const size_t perSector = FSectorSize / 4;
  FMiniFat.resize(sectors.size() * perSector);
  for (size_t i = 0; i < sectors.size(); ++i) {
    ReadAt(SectorOffset(sectors[i]), sector.data(), FSectorSize);
    for (size_t j = 0; j < perSector; ++j)
      FMiniFat[i * perSector + j] = U32(&sector[4 * j]);
  }
  // The mini stream is the root entry's stream.
  FMiniStreamSectors = Chain(FEntries[0].Start);
  FMiniStreamSize = FEntries[0].Size;
  if (FMiniStreamSize > uint64_t{FMiniStreamSectors.size()} * FSectorSize) Damaged(BadMini);
  FHasMiniTable = true;
}

TCompoundFile::TStream TCompoundFile::Open(const TCompoundEntry& entry) {
  const uint64_t size = entry.Size;
  if (size > FFileSize) Damaged("a stream is larger than the file");
  std::vector<uint64_t> chunks;
  if (size < MiniStreamCutoff && FHasMiniTable) {
    // Consecutive mini sectors: the same bytes whether a reader follows
    // the mini table or simply reads on.
    const uint64_t count = (size + MiniSectorSize - 1) / MiniSectorSize;
    uint32_t m = entry.Start;
    for (uint64_t i = 0; i < count; ++i) {
      if (m >= FMiniFat.size() || (uint64_t{m} + 1) * MiniSectorSize > FMiniStreamSize)
        Damaged(BadMini);
      const uint64_t at = uint64_t{m} * MiniSectorSize;
      chunks.push_back(SectorOffset(FMiniStreamSectors[at / FSectorSize]) + at % FSectorSize);
      if (i + 1 < count && FMiniFat[m] != m + 1) Damaged(BadMini);
      m = FMiniFat[m];
    }
    return TStream(*this, std::move(chunks), MiniSectorSize, size, true);
  }
  for (uint32_t s : Chain(entry.Start, (size + FSectorSize - 1) / FSectorSize))
    chunks.push_back(SectorOffset(s));
  return TStream(*this, std::move(chunks), FSectorSize, size, false);
}

bool TCompoundFile::TStream::Read(void* out, size_t n) {
  if (n > Remaining()) return false;
  auto* to = static_cast<uint8_t*>(out);
  while (n > 0) {
    const uint64_t chunk = FPos / FChunkSize, within = FPos % FChunkSize;
    if (chunk != FLoaded) {
      FBuffer.resize(FChunkSize);
      FFile.ReadAt(FChunks[chunk], FBuffer.data(), FChunkSize);
      FLoaded = chunk;
    }
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, FChunkSize - within));
    std::memcpy(to, &FBuffer[within], take);
    to += take;
    n -= take;
    FPos += take;
  }
  return true;
}

bool TCompoundFile::TStream::Skip(uint64_t n) {
  if (n > Remaining()) return false;
  FPos += n;
  return true;
}

} // namespace bw
