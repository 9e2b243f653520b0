#include "platform/workbook/BinaryScan.h"

#include "platform/workbook/CompoundFile.h"

#include <algorithm>
#include <vector>

namespace bw {

namespace {

constexpr uint16_t RecordBof = 0x0809;
constexpr uint16_t RecordEof = 0x000A;
constexpr uint16_t RecordBoundSheet = 0x0085;
constexpr uint16_t RecordDimensions = 0x0200;
constexpr uint16_t RecordFilePass = 0x002F;
constexpr uint16_t RecordMulRk = 0x00BD;
constexpr uint16_t RecordMulBlank = 0x00BE;
constexpr uint16_t RecordLabel = 0x0204;
constexpr uint16_t RecordRString = 0x00D6;
constexpr uint16_t RecordFormat = 0x041E;
constexpr uint16_t RecordSst = 0x00FC;
constexpr uint16_t RecordContinue = 0x003C;
constexpr uint16_t Biff5 = 0x0500;
constexpr uint16_t Biff8 = 0x0600;
constexpr uint16_t GlobalsSubstream = 0x0005;

// The longest record of the format. libfreexl stops reading a stream in
// regular sectors at a longer one, as if the stream ended there.
constexpr uint16_t MaxRecordLength = 8224;

uint64_t AddCapped(uint64_t a, uint64_t b) {
  return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

uint64_t MulCapped(uint64_t a, uint64_t b) {
  return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b;
}

// Records that begin with a cell's row and column, of every file version
// (the oldest ones' blank, integer, number, label, boolean and formula
// cells included): any of them may size a worksheet that has no
// DIMENSIONS record.
bool IsCellRecord(uint16_t id) {
  switch (id) {
  case 0x0001:
  case 0x0002:
  case 0x0003:
  case 0x0004:
  case 0x0005:
  case 0x0006:
  case 0x0201:
  case 0x0203:
  case 0x0204:
  case 0x0205:
  case 0x0206:
  case 0x0406:
  case 0x027E:
  case 0x00D6:
  case 0x00FD:
  case RecordMulRk:
  case RecordMulBlank:
    return true;
  default:
    return false;
  }
}

// The cells libfreexl keeps (the others it passes over): one outside its
// sheet's grid makes it fail, and lose the text it read for it.
bool IsStoredCell(uint16_t id) {
  switch (id) {
  case 0x0203:
  case 0x0204:
  case 0x0205:
  case 0x027E:
  case 0x00D6:
  case 0x00FD:
  case RecordMulRk:
    return true;
  default:
    return false;
  }
}

// A substream: the globals, then one per sheet.
struct TSubstream {
  uint64_t Offset = 0; // of its BOF record
  int Dimensions = 0;  // DIMENSIONS records inside it
  bool Declared = false;
  uint64_t Rows = 0, Columns = 0; // the grid declared
  bool HasCells = false;
};

TBinaryScan Verdict(TBinaryVerdict verdict, uint64_t positions = 0) {
  return {verdict, positions, {}};
}

TBinaryScan Damaged(std::string what) {
  return {TBinaryVerdict::Damaged, 0, std::move(what)};
}

TBinaryScan Broken(uint64_t offset) {
  return Damaged("its workbook stream is broken at byte " + std::to_string(offset));
}

// Whether a cell position was given twice: libfreexl loses the text of
// the cell it overwrites.
bool SomeTwice(std::vector<uint32_t>& cells) {
  std::sort(cells.begin(), cells.end());
  const bool twice = std::adjacent_find(cells.begin(), cells.end()) != cells.end();
  cells.clear();
  return twice;
}

// The bytes a BIFF8 string takes after its character count: the option
// byte, the counts of formatting runs and extension bytes where the
// options announce them, the characters (one or two bytes each), the runs
// and the extension. Zero when its head does not fit in what is left.
uint64_t StringBytes(const uint8_t* p, size_t left, uint64_t characters) {
  if (left < 1) return 0;
  const uint8_t options = p[0];
  uint64_t head = 1, tail = 0;
  if (options & 0x08) {
    if (left < head + 2) return 0;
    tail += 4u * U16(p + head);
    head += 2;
  }
  if (options & 0x04) {
    if (left < head + 4) return 0;
    tail += U32(p + head);
    head += 4;
  }
  return head + characters * (options & 0x01 ? 2 : 1) + tail;
}

// Whether the text a record announces lies within it: libfreexl copies as
// many bytes as the counts say. Sheet names and number formats; the texts
// of label cells.
bool TextFits(uint16_t id, const uint8_t* d, size_t length, bool biff8) {
  size_t at;
  bool wideCount;
  switch (id) {
  case RecordLabel:
  case RecordRString:
    at = 6;
    wideCount = true;
    break;
  case RecordBoundSheet:
    at = 6;
    wideCount = false;
    break;
  case RecordFormat:
    at = 2;
    wideCount = biff8;
    break;
  default:
    return true;
  }
  const size_t countBytes = wideCount ? 2 : 1;
  if (length < at + countBytes) return false;
  const uint64_t characters = wideCount ? U16(d + at) : d[at];
  at += countBytes;
  if (!biff8) return at + characters <= length;
  const uint64_t bytes = StringBytes(d + at, length - at, characters);
  return bytes != 0 && at + bytes <= length;
}

// Whether the shared strings, an SST record's data followed by that of its
// CONTINUE records, hold every string they count. A string's head lies in
// one record; its characters may go on in the next, which then begins
// with a new option byte; its runs and extension run on over records.
bool SharedStringsFit(const std::vector<std::vector<uint8_t>>& parts) {
  if (parts[0].size() < 8) return false;
  uint64_t strings = U32(parts[0].data() + 4);
  size_t part = 0, at = 8;
  auto left = [&] { return parts[part].size() - at; };
  // Steps over records used up; false at the end of the last.
  auto nextIfDone = [&] {
    while (at == parts[part].size()) {
      if (part + 1 == parts.size()) return false;
      ++part;
      at = 0;
    }
    return true;
  };
  for (; strings > 0; --strings) {
    if (!nextIfDone() || left() < 3) return false;
    uint64_t characters = U16(&parts[part][at]);
    const uint8_t options = parts[part][at + 2];
    const uint64_t all = StringBytes(&parts[part][at + 2], left() - 2, characters);
    if (all == 0) return false;
    const uint64_t head = 1 + (options & 0x08 ? 2 : 0) + (options & 0x04 ? 4 : 0);
    bool wide = options & 0x01;
    uint64_t tail = all - head - characters * (wide ? 2 : 1);
    at += 2 + head;
    while (characters > 0) {
      const uint64_t fit = std::min<uint64_t>(characters, left() / (wide ? 2 : 1));
      at += fit * (wide ? 2 : 1);
      characters -= fit;
      if (characters == 0) break;
      if (part + 1 == parts.size() || parts[part + 1].empty()) return false;
      ++part;
      wide = parts[part][0] & 0x01;
      at = 1;
    }
    while (tail > 0) {
      if (!nextIfDone()) return false;
      const uint64_t fit = std::min<uint64_t>(tail, left());
      at += fit;
      tail -= fit;
    }
  }
  return true;
}

TBinaryScan ScanStream(TCompoundFile::TStream& in, uint64_t limit) {
  const uint64_t streamSize = in.Remaining();
  std::vector<uint8_t> data(MaxRecordLength);
  std::vector<TSubstream> substreams;
  std::vector<uint32_t> sheets; // where each sheet's substream starts
  uint16_t version = 0;
  bool inside = false;                             // between a BOF and its EOF
  std::vector<uint32_t> kept;                      // cell positions of the current substream
  std::vector<std::vector<uint8_t>> sharedStrings; // an SST record and its CONTINUE records
  uint64_t positions = 0, rows = 0, columns = 0;

  for (;;) {
    const uint64_t offset = streamSize - in.Remaining();
    uint8_t head[4];
    if (!in.Read(head, sizeof head)) break;
    const uint16_t id = U16(head), length = U16(head + 2);
    // In regular sectors, libfreexl ends the stream at a record of type and
    // length zero (writers pad the stream with zeros after its last record).
    if (!in.InMiniStream() && id == 0 && length == 0) break;
    // libfreexl reads a record cut short by the end of the stream on past
    // the end, from the rest of the sector.
    if (length > MaxRecordLength || !in.Read(data.data(), length)) return Broken(offset);
    const bool cell = IsCellRecord(id);
    const uint8_t* d = data.data();
    if (offset == 0 && id != RecordBof) return Broken(offset);
    if (!sharedStrings.empty() && id != RecordContinue) {
      if (!SharedStringsFit(sharedStrings)) return Broken(offset);
      sharedStrings.clear();
    }
    if (id == RecordSst && version == Biff8) sharedStrings.assign(1, {d, d + length});
    if (id == RecordContinue && !sharedStrings.empty()) sharedStrings.emplace_back(d, d + length);
    if (!TextFits(id, d, length, version == Biff8)) return Broken(offset);

    if (id == RecordBof) {
      if (length < 4) return Broken(offset);
      if (offset == 0) {
        version = U16(d);
        if ((version != Biff5 && version != Biff8) || U16(d + 2) != GlobalsSubstream)
          return Broken(offset);
      } else if (U16(d) != version || inside) {
        // libfreexl cannot read a stream of mixed versions, nor a
        // substream inside another (a chart in a worksheet), either.
        return Broken(offset);
      }
      substreams.push_back({offset});
      inside = true;
    } else if (id == RecordEof) {
      inside = false;
      if (SomeTwice(kept)) return Broken(offset);
    } else if (id == RecordBoundSheet) {
      if (length < 4) return Broken(offset);
      sheets.push_back(U32(d));
    } else if (id == RecordFilePass) {
      return Verdict(TBinaryVerdict::Encrypted);
    } else if (id == RecordDimensions) {
      uint64_t firstRow, lastRow, firstColumn, lastColumn; // the last ones plus one
      if (version == Biff8) {
        if (length < 12) return Broken(offset);
        firstRow = U32(d);
        lastRow = U32(d + 4);
        firstColumn = U16(d + 8);
        lastColumn = U16(d + 10);
      } else {
        if (length < 8) return Broken(offset);
        firstRow = U16(d);
        lastRow = U16(d + 2);
        firstColumn = U16(d + 4);
        lastColumn = U16(d + 6);
      }
      positions = AddCapped(positions, lastRow * lastColumn);
      rows = std::max({rows, firstRow, lastRow});
      columns = std::max({columns, firstColumn, lastColumn});
      if (inside) {
        // A second grid in one sheet: libfreexl would allocate it without
        // freeing the first. Cells before the grid would have nowhere to go.
        TSubstream& sheet = substreams.back();
        if (++sheet.Dimensions > 1 || sheet.HasCells) return Broken(offset);
        sheet.Declared = true;
        sheet.Rows = lastRow;
        sheet.Columns = lastColumn;
      }
      if (positions > limit) return Verdict(TBinaryVerdict::TooLarge, positions);
    } else if (cell) {
      if (length < 4) return Broken(offset);
      // A row of cells gives its first column, its entries and its last
      // column, which need not agree.
      const uint64_t first = U16(d + 2);
      uint64_t entries = 1, column = first;
      if (id == RecordMulRk || id == RecordMulBlank) {
        if (length < 6) return Broken(offset);
        entries = (length - 6u) / (id == RecordMulRk ? 6u : 2u);
        column = std::max(first + entries - (entries > 0), uint64_t{U16(d + length - 2)});
      }
      const uint64_t row = U16(d);
      rows = std::max(rows, row + 1);
      columns = std::max(columns, column + 1);
      // Cells belong in a sheet's substream (after the globals, one the
      // sheet list names), inside its grid when it declares one.
      const size_t index = substreams.size() - 1;
      if (!inside || index == 0 || index > sheets.size()) return Broken(offset);
      TSubstream& sheet = substreams.back();
      sheet.HasCells = true;
      if (!IsStoredCell(id)) continue;
      if (sheet.Declared && (row >= sheet.Rows || column >= sheet.Columns)) return Broken(offset);
      for (uint64_t c = first; c < first + entries; ++c)
        kept.push_back(static_cast<uint32_t>(row << 16 | (c & 0xFFFF)));
    }
  }
  if (substreams.empty() || SomeTwice(kept) ||
      (!sharedStrings.empty() && !SharedStringsFit(sharedStrings)))
    return Broken(streamSize);

  // Each sheet's substream must be the one in its place. libfreexl sizes a
  // sheet without a DIMENSIONS record of its own from the cells it finds,
  // and when such a sheet comes before another, or has no substream, it
  // fails or loses a grid on every opening: only the last sheet may be
  // undeclared, and it is sized as the largest grid could be.
  uint64_t undeclared = 0;
  for (size_t i = 0; i < sheets.size(); ++i) {
    if (i + 1 >= substreams.size() || substreams[i + 1].Offset != sheets[i] ||
        (!substreams[i + 1].Declared && i + 1 < sheets.size()))
      return Damaged("its list of sheets does not fit its sheets");
    if (substreams[i + 1].Declared) continue;
    ++undeclared;
  }
  const uint64_t largest = MulCapped(std::max<uint64_t>(rows, 1), std::max<uint64_t>(columns, 1));
  positions = AddCapped(positions, MulCapped(undeclared, largest));
  return Verdict(positions > limit ? TBinaryVerdict::TooLarge : TBinaryVerdict::Readable,
                 positions);
}

// The entry libfreexl reads the workbook from: in the directory's first
// sector (the only one it reads), the first named "Workbook" or "Book"
// whose start is not the free-sector mark, whatever its type.
const TCompoundEntry* LibraryWorkbook(const TCompoundFile& file) {
  for (size_t i = 0; i < file.FirstSectorEntries(); ++i) {
    const TCompoundEntry& entry = file.Entries()[i];
    if ((entry.Name == "Workbook" || entry.Name == "Book") && entry.Start != 0xFFFFFFFF)
      return &entry;
  }
  return nullptr;
}

} // namespace

TBinaryScan ScanBinaryWorkbook(int fd, uint64_t limit) {
  try {
    TCompoundFile file(fd);
    const TCompoundEntry* book = LibraryWorkbook(file);
    if (!book || book->Size == 0) return Verdict(TBinaryVerdict::NoWorkbook);
    // libfreexl reads a stream of up to the cutoff, the cutoff included,
    // from the start of the mini stream, whatever the entry's start says.
    if (file.HasMiniTable() && book->Size == TCompoundFile::MiniStreamCutoff)
      return Damaged("its workbook stream is exactly " +
                     std::to_string(TCompoundFile::MiniStreamCutoff) +
                     " bytes long, the mini-stream cutoff");
    if (file.HasMiniTable() && book->Size < TCompoundFile::MiniStreamCutoff && book->Start != 0)
      return Damaged("its workbook stream is not at the start of its mini stream");
    TCompoundFile::TStream stream = file.Open(*book);
    return ScanStream(stream, limit);
  } catch (const TCompoundDamaged& e) {
    return Damaged(e.What);
  }
}

} // namespace bw
