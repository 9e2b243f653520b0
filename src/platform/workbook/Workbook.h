// Read-only access to spreadsheet workbook files: Office Open XML workbooks
// (.xlsx, .xlsm) and the older binary workbooks (.xls). It gives what the
// spreadsheet references and the import dialog use: the worksheets in tab
// order, each sheet's cells with their raw values (numbers, texts, booleans,
// error values and the cached results of formulas; dates as serial
// numbers), the last used cell, and the defined names with their targets.
// Nothing is recalculated and nothing is ever written.
#pragma once

#include "foundation/Exceptions.h"
#include "platform/workbook/GrowingArray.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// The file is no workbook this layer can read: not a zip package or
// compound document, a package without a workbook part (an OpenDocument
// file, a binary .xlsb package), a compound document without a workbook
// stream (an encrypted package).
class NotAWorkbookError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "NotAWorkbookError"; }
};

// A workbook, or what was given as one, that cannot be used, with a message
// for the user: a name of no file (a folder, a FIFO) or of a file that
// cannot be read, a damaged workbook or worksheet ("'<path>' is damaged:
// ..."), one protected by a password or beyond the limits, a sheet or name
// it does not have.
class WorkbookError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "WorkbookError"; }
};

// Limits against hostile files. Reading one workbook may take at most
// MaxWorkbookBytes of data in all (what a package's parts inflate to, or a
// binary workbook's file, and the characters of the texts kept) and hold at
// most MaxWorkbookItems cells and texts; one part of a package may inflate
// to at most MaxPartSize bytes, and a part read whole into a tree (the
// workbook part, the relationships) to MaxTreePartSize. Beyond any of them
// the workbook is refused with a message that names the file and the limit.
// A binary workbook whose worksheets declare more than MaxGridPositions
// cell positions in all is refused before it is read: the library that
// reads it keeps 16 bytes for each, so the default of one full worksheet
// (65,536 rows by 256 columns, the most it takes for one sheet) is 256 MiB.
struct TWorkbookLimits {
  size_t MaxPartSize = size_t{256} << 20;
  uint64_t MaxGridPositions = uint64_t{65536} * 256;
  size_t MaxTreePartSize = size_t{16} << 20;
  uint64_t MaxWorkbookBytes = uint64_t{512} << 20;
  uint64_t MaxWorkbookItems = 20000000;
};

// What reading one workbook has taken of its limits. Raises WorkbookError,
// naming the file and the limit, when a reading would pass one.
class TWorkbookBudget {
public:
  // file: the workbook as messages name it ("'/data/book.xlsx'").
  TWorkbookBudget(std::string file, const TWorkbookLimits& limits)
      : FFile(std::move(file)), FLimits(limits) {}
  const std::string& File() const { return FFile; }
  const TWorkbookLimits& Limits() const { return FLimits; }

  void TakeBytes(uint64_t bytes) {
    if (bytes > FLimits.MaxWorkbookBytes - FBytes) TooManyBytes();
    FBytes += bytes;
  }
  void TakeItem() {
    if (FItems >= FLimits.MaxWorkbookItems) TooManyItems();
    ++FItems;
  }
  void ReturnItems(uint64_t items) { FItems -= std::min(items, FItems); }
  uint64_t ItemsLeft() const { return FLimits.MaxWorkbookItems - FItems; }
  // "<file> is too large to be read: <what>."
  [[noreturn]] void TooLarge(const std::string& what) const;

private:
  [[noreturn]] void TooManyBytes() const;
  [[noreturn]] void TooManyItems() const;

  std::string FFile;
  TWorkbookLimits FLimits;
  uint64_t FBytes = 0;
  uint64_t FItems = 0;
};

// A size as messages give it: "512 MiB", "64 KiB", "1000 bytes".
std::string SizeText(uint64_t bytes);
// A count as messages give it: "20,000,000".
std::string CountText(uint64_t count);

// Texts in one block of characters: 4 bytes a text beside its characters,
// and no allocation of its own for any text, an empty one included.
class TStringPool {
public:
  // Its index. With a budget, the text counts as an item held and its
  // characters as data.
  uint32_t Add(std::string_view text, TWorkbookBudget* budget);
  std::string_view Get(uint32_t index) const {
    const uint32_t start = index == 0 ? 0 : FEnds[index - 1];
    return {FChars.data() + start, FEnds[index] - start};
  }
  size_t Size() const { return FEnds.size(); }
  size_t MemoryUsage() const { return FChars.capacity() + FEnds.capacity() * sizeof(uint32_t); }

private:
  TGrowingArray<char> FChars;
  TGrowingArray<uint32_t> FEnds; // where each text ends in FChars
};

enum class TCellKind : uint8_t { Empty, Number, Text, Boolean, Error };

// A cell's raw value. Booleans carry Number 1 or 0 and the Text "True" or
// "False"; error values carry their text ("#DIV/0!").
struct TCellValue {
  TCellKind Kind = TCellKind::Empty;
  double Number = 0;
  std::string Text;
  friend bool operator==(const TCellValue&, const TCellValue&) = default;
};

// The largest grid of a workbook format: rows and columns from 1.
struct TGridSize {
  uint32_t Rows;
  uint32_t Columns;
};
constexpr TGridSize OpenXmlGrid{1048576, 16384};
constexpr TGridSize BinaryGrid{65536, 256};

// The cells of one worksheet that exist in the file, sorted by row and
// column: 16 bytes a cell, and a text's characters where it has its own.
class TWorksheet {
public:
  // While a reader builds it, a sheet counts its cells and texts against
  // the budget, if given, and grows no further than the budget allows.
  explicit TWorksheet(TGridSize grid = OpenXmlGrid, TWorkbookBudget* budget = nullptr)
      : FGrid(grid), FBudget(budget) {}
  TWorksheet(const TWorksheet&) = delete;
  TWorksheet& operator=(const TWorksheet&) = delete;
  // A sheet dropped unfinished gives back what it counted.
  ~TWorksheet();

  // The last used cell: the largest row and the largest column over all
  // cells, formatted empty cells included; (1, 1) for an empty sheet.
  uint32_t LastRow() const { return FLastRow; }
  uint32_t LastColumn() const { return FLastColumn; }
  const TGridSize& Grid() const { return FGrid; }
  // Whether the sheet shows nothing: no cell beyond A1, and nothing or an
  // empty text in A1.
  bool ShowsNothing() const;

  // The value at a row and column from 1; an absent cell is empty. A
  // position outside the format's grid raises ArgumentOutOfRangeException.
  TCellValue Cell(uint32_t row, uint32_t column) const;

  // The stored cells, in order: the import grid walks them without
  // touching the empty positions between them.
  size_t CellCount() const { return FCells.size(); }
  uint32_t CellRow(size_t i) const { return FCells[i].Row; }
  uint32_t CellColumn(size_t i) const { return FCells[i].Column; }
  TCellValue CellValue(size_t i) const;
  // The first stored cell at or after (row, column), or CellCount().
  size_t LowerBound(uint32_t row, uint32_t column) const;

  // Building, by the readers.
  void SetSharedStrings(std::shared_ptr<const TStringPool> strings);
  size_t SharedStringCount() const { return FShared ? FShared->Size() : 0; }
  // A cell that only counts for the last used cell.
  void AddEmpty(uint32_t row, uint32_t column);
  void AddNumber(uint32_t row, uint32_t column, double value);
  void AddBoolean(uint32_t row, uint32_t column, bool value);
  void AddText(uint32_t row, uint32_t column, std::string_view text,
               TCellKind kind = TCellKind::Text);
  // Index into the shared strings; the reader checks the range.
  void AddSharedText(uint32_t row, uint32_t column, uint32_t index);
  // Sorts the cells when the file listed them out of order (a position
  // given twice keeps its last value) and ends the counting: the sheet is
  // then held as it is.
  void Finish();
  // Bytes held, for the memory checks of the import grid.
  size_t MemoryUsage() const;

private:
  struct TStoredCell {
    uint32_t Row;
    uint16_t Column;
    TCellKind Kind;
    bool Shared; // Text indexes the shared strings, else FOwnStrings
    union {
      double Number;
      uint32_t Text;
    };
  };
  static_assert(sizeof(TStoredCell) == 16);
  void Add(const TStoredCell& cell);
  std::string_view TextOf(const TStoredCell& cell) const;

  TGridSize FGrid;
  TWorkbookBudget* FBudget;
  uint64_t FCounted = 0; // cells and texts counted against the budget
  TGrowingArray<TStoredCell> FCells;
  TStringPool FOwnStrings;
  std::shared_ptr<const TStringPool> FShared;
  uint32_t FLastRow = 1;
  uint32_t FLastColumn = 1;
  bool FSorted = true;
};

// What a defined name refers to.
enum class TNameTargetKind : uint8_t {
  NoRange,    // a constant, a formula, #REF!, another workbook, a union
  SingleCell, // one cell of one of the workbook's worksheets
  MultiCell   // a range of several cells
};

struct TDefinedName {
  // As listed: the name itself, a sheet-scoped one as Sheet!Name (the sheet
  // quoted with ' where it needs it), built-in names without their "_xlnm.".
  std::string Name;
  // "=" and the formula as stored ("=Sheet1!$B$3").
  std::string RefersTo;
  // The worksheet a sheet-scoped name belongs to (its name), empty for a
  // workbook-wide name.
  std::string Scope;
  std::string LocalName;
  TNameTargetKind Target = TNameTargetKind::NoRange;
  int Sheet = -1; // worksheet index of the target
  uint32_t Row = 0;
  uint32_t Column = 0;
};

class TWorkbook {
public:
  virtual ~TWorkbook() = default;

  // Worksheets only (chart and macro sheets are left out), hidden ones
  // included, in tab order, from 0.
  int WorksheetCount() const { return static_cast<int>(FSheetNames.size()); }
  const std::string& WorksheetName(int index) const;
  // Case-insensitive, as the spreadsheet compares sheet names; -1 if none.
  int FindWorksheet(std::string_view name) const;
  // The sheet's cells, read at the first call and kept with the workbook.
  // Raises WorkbookError for a damaged sheet or one beyond the limits; the
  // same error at every later call, without reading the sheet again (a
  // second reading would find the budget spent by the first, and give
  // another reason).
  std::shared_ptr<const TWorksheet> Worksheet(int index);
  // Whether the sheet shows nothing (TWorksheet::ShowsNothing), told
  // without reading it: from the sheet when it has been read, else from as
  // little of the file as tells it. A sheet whose beginning does not tell
  // counts as showing something, and so does a damaged one.
  bool WorksheetShowsNothing(int index);

  // In file order, hidden ones included; empty for a binary workbook.
  const std::vector<TDefinedName>& DefinedNames() const { return FNames; }
  // By its listed name, case-insensitively; a plain name also finds a
  // sheet-scoped one when the workbook has no workbook-wide name of it.
  // -1 if none.
  int FindDefinedName(std::string_view name) const;

protected:
  // file: the workbook as messages name it.
  TWorkbook(std::string file, const TWorkbookLimits& limits) : FBudget(std::move(file), limits) {}
  // A finished sheet.
  virtual std::shared_ptr<const TWorksheet> ReadWorksheet(int index) = 0;
  virtual bool PeekShowsNothing(int index) = 0;
  // Resolves each name's target against the worksheet names.
  void ResolveNames();

  TWorkbookBudget FBudget;
  std::vector<std::string> FSheetNames;
  std::vector<TDefinedName> FNames;
  std::vector<std::shared_ptr<const TWorksheet>> FSheets;
  std::vector<std::exception_ptr> FSheetErrors;
};

// Opens a workbook by its content (not its extension). The file is opened
// once: whatever later happens to its name, the workbook is read from the
// file opened. Raises NotAWorkbookError when it is no workbook this layer
// can read, and WorkbookError when it is one that cannot be used.
std::unique_ptr<TWorkbook> OpenWorkbook(const std::string& path,
                                        const TWorkbookLimits& limits = {});
// A package held in memory (the fuzzer's entry).
std::unique_ptr<TWorkbook> OpenWorkbookPackage(std::string bytes,
                                               const TWorkbookLimits& limits = {});

// A cell reference as the files write it: one to three letters (either
// case) and a row, "B12" or "xfd1048576", with optional "$" before either
// part. False for anything else and for positions outside the grid.
bool ParseA1(std::string_view text, uint32_t& row, uint32_t& column, TGridSize grid = OpenXmlGrid);

// Compares two names the way the spreadsheet does: ASCII letters without
// regard to case, every other byte as it is.
bool SameNameNoCase(std::string_view a, std::string_view b);
// The name with its ASCII letters in upper case: equal for names that
// SameNameNoCase matches, a key to look them up by.
std::string NameKey(std::string_view name);

// A date "YYYY-MM-DD", optionally followed by "T" or " " and
// "HH:MM[:SS[.fff]]", or a time "HH:MM:SS" alone, as a serial number of
// the 1900 date system (1900-01-01 is 1, with its leap day 1900-02-29 as
// 60) or of the 1904 system (1904-01-01 is 0). False if it is none.
bool DateTextToSerial(std::string_view text, bool date1904, double& serial);

} // namespace bw
