#include "app/core/WorkbookFiles.h"

#include "platform/workbook/Workbook.h"

namespace bw {

TWorkbookFileReader::TWorkbookFileReader(std::unique_ptr<TWorkbook> workbook)
    : FWorkbook(std::move(workbook)) {}

TWorkbookFileReader::~TWorkbookFileReader() = default;

namespace {

std::optional<double> NumberOf(const TCellValue& value) {
  if (value.Kind == TCellKind::Number) return value.Number;
  return std::nullopt;
}

} // namespace

std::optional<double> TWorkbookFileReader::SheetCellNumber(const std::string& sheet, int row,
                                                           int column) {
  int index = FWorkbook->FindWorksheet(sheet);
  if (index < 0) throw WorkbookError("The workbook has no worksheet '" + sheet + "'.");
  std::shared_ptr<const TWorksheet> cells = FWorkbook->Worksheet(index);
  if (row < 1 || column < 1)
    throw ArgumentOutOfRangeException("The cell at row " + std::to_string(row) + ", column " +
                                      std::to_string(column) + " lies outside the worksheet.");
  return NumberOf(cells->Cell(static_cast<uint32_t>(row), static_cast<uint32_t>(column)));
}

std::optional<double> TWorkbookFileReader::NamedCellNumber(const std::string& name) {
  int index = FWorkbook->FindDefinedName(name);
  if (index < 0) throw WorkbookError("The workbook has no name '" + name + "'.");
  const TDefinedName& n = FWorkbook->DefinedNames()[static_cast<size_t>(index)];
  switch (n.Target) {
  case TNameTargetKind::NoRange:
    throw WorkbookError("The name '" + name + "' refers to no cell.");
  case TNameTargetKind::MultiCell:
    return std::nullopt;
  case TNameTargetKind::SingleCell:
    break;
  }
  return NumberOf(FWorkbook->Worksheet(n.Sheet)->Cell(n.Row, n.Column));
}

std::shared_ptr<IWorkbookReader> TWorkbookFiles::Open(const std::string& path) {
  std::error_code ec;
  uintmax_t size = std::filesystem::file_size(path, ec);
  auto modified = std::filesystem::last_write_time(path, ec);
  if (FKeepRead && !ec) {
    auto kept = FKept.find(path);
    if (kept != FKept.end() && kept->second.Size == size && kept->second.Modified == modified) {
      if (kept->second.Error) std::rethrow_exception(kept->second.Error);
      return kept->second.Reader;
    }
  }
  ++FReadCount;
  std::shared_ptr<IWorkbookReader> reader;
  std::exception_ptr error;
  try {
    reader = std::make_shared<TWorkbookFileReader>(OpenWorkbook(path));
  } catch (const NotAWorkbookError&) {
    // A file of another kind: its message names the file.
    error = std::current_exception();
  } catch (const WorkbookError&) {
    error = std::current_exception();
  }
  if (FKeepRead && !ec) FKept[path] = {size, modified, reader, error};
  if (error) std::rethrow_exception(error);
  return reader;
}

} // namespace bw
