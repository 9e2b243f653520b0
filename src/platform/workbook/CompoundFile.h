// A reader of compound documents, the container that binary workbooks
// (.xls) come in: a header, sectors chained through an allocation table,
// a directory of named streams and a mini stream for the small ones.
// Every sector number, chain and size is checked against the file before
// it is used, so that a damaged or hostile file raises TCompoundDamaged
// instead of reading outside the file or looping; what it holds is about
// the size of the file's allocation tables and directory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace bw {

// Little-endian fields of compound documents and the records in them.
inline uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The file is no compound document, or one whose structure does not fit it:
// what is wrong, for a message ("its directory is broken").
struct TCompoundDamaged {
  std::string What;
};

struct TCompoundEntry {
  // The name as libfreexl reads it: the UTF-16 code units its length field
  // covers, up to the first zero one ("Workbook"); units outside ASCII come
  // out as 0xFF bytes, which match no Latin name.
  std::string Name;
  uint8_t Type = 0; // 1 storage, 2 stream, 5 root
  uint32_t Start = 0;
  uint64_t Size = 0;
};

class TCompoundFile {
public:
  // Reads the header, the allocation tables and the directory of the open
  // file, which it reads by position and leaves open.
  explicit TCompoundFile(int fd);

  const std::vector<TCompoundEntry>& Entries() const { return FEntries; }
  // How many of them lie in the directory's first sector.
  size_t FirstSectorEntries() const { return std::min<size_t>(FEntries.size(), FSectorSize / 128); }
  bool HasMiniTable() const { return FHasMiniTable; }

  // Streams shorter than this live in the mini stream; a header that gives
  // another size is refused.
  static constexpr uint32_t MiniStreamCutoff = 4096;

  // A stream's bytes, read in order.
  class TStream {
  public:
    uint64_t Remaining() const { return FSize - FPos; }
    bool InMiniStream() const { return FInMiniStream; }
    // Copies the next n bytes; false, reading nothing, when fewer remain.
    bool Read(void* out, size_t n);
    bool Skip(uint64_t n);

  private:
    friend class TCompoundFile;
    TStream(TCompoundFile& file, std::vector<uint64_t> chunks, uint32_t chunkSize, uint64_t size,
            bool inMiniStream)
        : FFile(file), FChunks(std::move(chunks)), FChunkSize(chunkSize), FSize(size),
          FInMiniStream(inMiniStream) {}
    TCompoundFile& FFile;
    std::vector<uint64_t> FChunks; // file offset of each sector of the stream
    uint32_t FChunkSize;
    uint64_t FSize;
    bool FInMiniStream;
    uint64_t FPos = 0;
    std::vector<uint8_t> FBuffer; // the sector FPos lies in, once read
    uint64_t FLoaded = UINT64_MAX;
  };

  // The entry's stream. Its size must fit the file and its chain must be
  // long enough for it; a stream shorter than the cutoff is read from the
  // mini stream when the file has a mini allocation table, and must lie
  // there in consecutive mini sectors.
  TStream Open(const TCompoundEntry& entry);

private:
  void ReadAt(uint64_t offset, void* out, size_t n);
  uint64_t SectorOffset(uint32_t sector) const;
  bool ValidSector(uint32_t sector) const;
  // The sectors of a chain up to its end, each visited once.
  std::vector<uint32_t> Chain(uint32_t start);
  // The first count sectors of a chain.
  std::vector<uint32_t> Chain(uint32_t start, uint64_t count);
  void ReadAllocationTable(const uint8_t* header);
  void ReadDirectory(uint32_t start);
  void ReadMiniTables(uint32_t start, uint32_t count);
  uint64_t EntrySize(const uint8_t* entry) const;

  int FFd;
  uint64_t FFileSize = 0;
  uint32_t FSectorSize = 512;
  bool FVersion4 = false;
  uint64_t FSectorCount = 0; // whole sectors after the header
  std::vector<uint32_t> FFat;
  std::vector<TCompoundEntry> FEntries;
  bool FHasMiniTable = false;
  std::vector<uint32_t> FMiniFat;
  std::vector<uint32_t> FMiniStreamSectors; // the root entry's chain
  uint64_t FMiniStreamSize = 0;
};

} // namespace bw
