// What the spreadsheet references of payoffs need of a workbook: the model
// declares it, the application hands in a reader of real workbook files.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace bw {

class IWorkbookReader {
public:
  virtual ~IWorkbookReader() = default;
  // The number in a sheet's cell (row and column from 1); empty when the
  // cell holds anything else (a text, nothing, a boolean, an error value).
  // Raises when the workbook has no such sheet (sheet names compare without
  // regard to case) or the cell lies outside the sheet's grid.
  virtual std::optional<double> SheetCellNumber(const std::string& sheet, int row, int column) = 0;
  // The number in the cell a defined name refers to; empty for anything
  // else, a range of several cells included. Raises when the workbook has
  // no such name or the name refers to no range.
  virtual std::optional<double> NamedCellNumber(const std::string& name) = 0;
};

class IWorkbookOpener {
public:
  virtual ~IWorkbookOpener() = default;
  // The workbook in an existing file; null when the file is no workbook.
  // Raises, with a message for the user, when the path names no file (a
  // folder) or the workbook cannot be read (damaged, beyond the limits).
  virtual std::shared_ptr<IWorkbookReader> Open(const std::string& path) = 0;
};

} // namespace bw
