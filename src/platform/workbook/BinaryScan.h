// A look into a binary workbook (.xls) before libfreexl gets it. When it
// opens a file, libfreexl sets up 16 bytes for every cell position of each
// worksheet's grid: the rows times the columns of each DIMENSIONS record
// it meets (one is allocated per record), and for a worksheet without one
// the last row times the last column of its cells. A file of a few
// kilobytes can declare grids of gigabytes. The scan counts those
// positions from the compound document's structure and the records of its
// workbook stream, so that such a file is refused before it is read.
#pragma once

#include <cstdint>
#include <string>

namespace bw {

enum class TBinaryVerdict {
  Readable,
  TooLarge,   // more grid positions than the limit
  Encrypted,  // the workbook is protected by a password
  NoWorkbook, // a compound document without a workbook stream
  Damaged     // no compound document, or a broken one or workbook stream
};

struct TBinaryScan {
  TBinaryVerdict Verdict = TBinaryVerdict::Damaged;
  // The positions counted; for a workbook too large, what was counted when
  // the limit was passed.
  uint64_t GridPositions = 0;
  // For a damaged one, what is wrong: "its directory is broken".
  std::string Damage;
};

// Reads the file's structure and the workbook stream libfreexl takes, from
// where libfreexl reads it (a file where that is not where the stream's
// entry says is damaged), and counts the grid positions. The count
// errs on the high side wherever the file leaves room for doubt: every
// DIMENSIONS record counts, and a last worksheet without one of its own
// counts as large as the largest row and column seen anywhere in the
// stream. Streams that libfreexl cannot read, or that make it lose what
// it allocated (a sheet with two grids, cells outside their sheet or its
// grid, a sheet without its substream in its place, a sheet without a grid
// before another, a substream inside another), are damaged.
// The file is read by position from the open file, which stays open.
TBinaryScan ScanBinaryWorkbook(int fd, uint64_t limit);

} // namespace bw
