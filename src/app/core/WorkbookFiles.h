// The spreadsheet references' access to real workbook files: opens them
// through the workbook layer and answers the evaluator's questions.
#pragma once

#include "model/WorkbookAccess.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace bw {

class TWorkbook;

// The reader of one opened workbook.
class TWorkbookFileReader : public IWorkbookReader {
public:
  explicit TWorkbookFileReader(std::unique_ptr<TWorkbook> workbook);
  ~TWorkbookFileReader() override;
  std::optional<double> SheetCellNumber(const std::string& sheet, int row, int column) override;
  std::optional<double> NamedCellNumber(const std::string& name) override;

private:
  std::unique_ptr<TWorkbook> FWorkbook;
};

class TWorkbookFiles : public IWorkbookOpener {
public:
  // With keepRead, a workbook once read, or its failure, is handed out again
  // while its file keeps its size and modification time: one refresh of the
  // external-data overview reads each workbook once, however many payoffs
  // it feeds.
  explicit TWorkbookFiles(bool keepRead = false) : FKeepRead(keepRead) {}
  // Never null: a file that is no workbook raises NotAWorkbookError, whose
  // message names the file.
  std::shared_ptr<IWorkbookReader> Open(const std::string& path) override;
  // Files read so far.
  int ReadCount() const { return FReadCount; }

private:
  struct TKept {
    uintmax_t Size;
    std::filesystem::file_time_type Modified;
    std::shared_ptr<IWorkbookReader> Reader; // null when Error is set
    std::exception_ptr Error;                // why the file cannot be read as one
  };
  bool FKeepRead;
  int FReadCount = 0;
  std::map<std::string, TKept> FKept;
};

} // namespace bw
