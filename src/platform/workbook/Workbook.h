// Read-only access to spreadsheet workbook files: Office Open XML workbooks
// (.xlsx, .xlsm) and the older binary workbooks (.xls). It gives what the
// spreadsheet references and the import dialog use: the worksheets in tab
// order, each sheet's cells with their raw values (numbers, texts, booleans,
// error values and the cached results of formulas; dates as serial
// numbers), the last used cell, and the defined names with their targets.
// Nothing is recalculated and nothing is ever written.
#pragma once

#include "foundation/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// The file is no workbook this layer can read: not a zip package or binary
// workbook, no workbook part, an encrypted or binary (.xlsb) package, an
// OpenDocument file, a directory, a file that cannot be read.
class NotAWorkbookError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "NotAWorkbookError"; }
};

// A workbook that opened but whose asked-for part cannot be used: a damaged
// or oversized worksheet, a sheet or name it does not have.
class WorkbookError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "WorkbookError"; }
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
// column. About 16 bytes a cell plus its text, whatever the used range.
class TWorksheet {
public:
  explicit TWorksheet(TGridSize grid = OpenXmlGrid) : FGrid(grid) {}

  // The last used cell: the largest row and the largest column over all
  // cells, formatted empty cells included; (1, 1) for an empty sheet.
  uint32_t LastRow() const { return FLastRow; }
  uint32_t LastColumn() const { return FLastColumn; }
  const TGridSize& Grid() const { return FGrid; }

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
  void SetSharedStrings(std::shared_ptr<const std::vector<std::string>> strings);
  size_t SharedStringCount() const { return FShared ? FShared->size() : 0; }
  // A cell that only counts for the last used cell.
  void AddEmpty(uint32_t row, uint32_t column);
  void AddNumber(uint32_t row, uint32_t column, double value);
  void AddBoolean(uint32_t row, uint32_t column, bool value);
  void AddText(uint32_t row, uint32_t column, std::string text, TCellKind kind = TCellKind::Text);
  // Index into the shared strings; the reader checks the range.
  void AddSharedText(uint32_t row, uint32_t column, uint32_t index);
  // Sorts the cells when the file listed them out of order; a position
  // given twice keeps its last value.
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
  const std::string& TextOf(const TStoredCell& cell) const;

  TGridSize FGrid;
  std::vector<TStoredCell> FCells;
  std::vector<std::string> FOwnStrings;
  std::shared_ptr<const std::vector<std::string>> FShared;
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
  // Raises WorkbookError for a damaged sheet.
  std::shared_ptr<const TWorksheet> Worksheet(int index);

  // In file order, hidden ones included; empty for a binary workbook.
  const std::vector<TDefinedName>& DefinedNames() const { return FNames; }
  // By its listed name, case-insensitively; a plain name also finds a
  // sheet-scoped one when the workbook has no workbook-wide name of it.
  // -1 if none.
  int FindDefinedName(std::string_view name) const;

protected:
  virtual std::shared_ptr<TWorksheet> ReadWorksheet(int index) = 0;
  // Resolves each name's target against the worksheet names.
  void ResolveNames();

  std::vector<std::string> FSheetNames;
  std::vector<TDefinedName> FNames;
  std::vector<std::shared_ptr<const TWorksheet>> FSheets;
};

// Limits against hostile files. A part of a package that inflates to more
// than MaxPartSize bytes is refused without being read to the end. A
// binary workbook whose worksheets declare more than MaxGridPositions cell
// positions in all is refused before it is read: the library that reads
// it keeps 16 bytes for each, so the default of one full worksheet
// (65,536 rows by 256 columns, the most it takes for one sheet) is 256 MiB,
// as much as one package part may hold.
struct TWorkbookLimits {
  size_t MaxPartSize = size_t{256} << 20;
  uint64_t MaxGridPositions = uint64_t{65536} * 256;
};

// Opens a workbook by its content (not its extension). Raises
// NotAWorkbookError when it is none this layer can read.
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

// A date "YYYY-MM-DD", optionally followed by "T" or " " and
// "HH:MM[:SS[.fff]]", or a time "HH:MM:SS" alone, as a serial number of
// the 1900 date system (1900-01-01 is 1, with its leap day 1900-02-29 as
// 60) or of the 1904 system (1904-01-01 is 0). False if it is none.
bool DateTextToSerial(std::string_view text, bool date1904, double& serial);

} // namespace bw
