// Binary workbooks (.xls) through libfreexl: worksheets and their cells.
// The format's defined names are not read, so such a workbook has none.
#include "platform/workbook/WorkbookReaders.h"

#include "platform/workbook/BinaryScan.h"

#include <fcntl.h>
#include <freexl.h>
#include <sys/mman.h>

#include <unordered_map>

namespace bw {

namespace {

// The library's handle, released on every path: the library asks for a
// close after a failed open as well.
struct TFreeXlHandle {
  const void* Handle = nullptr;
  TFreeXlHandle() = default;
  TFreeXlHandle(const TFreeXlHandle&) = delete;
  TFreeXlHandle& operator=(const TFreeXlHandle&) = delete;
  ~TFreeXlHandle() {
    if (Handle) freexl_close(Handle);
  }
};

// A sealed copy of the file in memory, so that the scan and the library
// read the same bytes whatever happens to the file meanwhile: the library
// opens the copy by its name under /proc.
TFileHandle PrivateCopy(int fd, TWorkbookBudget& budget) {
  TFileHandle copy(memfd_create("workbook", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  std::vector<char> buffer(64 * 1024);
  for (off_t at = 0; copy.Fd >= 0;) {
    const ssize_t got = pread(fd, buffer.data(), buffer.size(), at);
    if (got < 0) break;
    if (got == 0) {
      if (fcntl(copy.Fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) !=
          0)
        break;
      return copy;
    }
    budget.TakeBytes(static_cast<uint64_t>(got));
    if (pwrite(copy.Fd, buffer.data(), static_cast<size_t>(got), at) != got) break;
    at += got;
  }
  throw WorkbookError(budget.File() + " cannot be read.");
}

class TBinaryWorkbook : public TWorkbook {
public:
  TBinaryWorkbook(int fd, const std::string& file, const TWorkbookLimits& limits)
      : TWorkbook(file, limits) {
    TFileHandle copy = PrivateCopy(fd, FBudget);
    // libfreexl sets up every worksheet's whole grid as it opens the file:
    // what it would take is counted first.
    const TBinaryScan scan = ScanBinaryWorkbook(copy.Fd, limits.MaxGridPositions);
    switch (scan.Verdict) {
    case TBinaryVerdict::Readable:
      break;
    case TBinaryVerdict::TooLarge:
      FBudget.TooLarge("its worksheets declare more than " + CountText(limits.MaxGridPositions) +
                       " cell positions");
    case TBinaryVerdict::Encrypted:
      throw WorkbookError(file + " is protected by a password.");
    case TBinaryVerdict::NoWorkbook:
      throw NotAWorkbookError(file + " is not a workbook.");
    case TBinaryVerdict::Damaged:
      throw WorkbookError(file + " is damaged: " + scan.Damage + ".");
    }
    const std::string damaged = file + " is damaged: its workbook stream cannot be read.";
    // The library can report success without giving a handle.
    const std::string copyPath = "/proc/self/fd/" + std::to_string(copy.Fd);
    int rc = freexl_open(copyPath.c_str(), &FFile.Handle);
    if (rc != FREEXL_OK || !FFile.Handle) throw WorkbookError(damaged);
    unsigned int info = 0;
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
      throw WorkbookError(file + " is protected by a password.");
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_DATEMODE, &info) == FREEXL_OK)
      FDate1904 = info == FREEXL_BIFF_DATEMODE_1904;
    unsigned int count = 0;
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
      throw WorkbookError(damaged);
    for (unsigned int i = 0; i < count; ++i) {
      const char* name = nullptr;
      if (freexl_get_worksheet_name(FFile.Handle, static_cast<unsigned short>(i), &name) !=
          FREEXL_OK)
        throw WorkbookError(damaged);
      FSheetNames.emplace_back(name ? name : "");
    }
  }

protected:
  std::shared_ptr<const TWorksheet> ReadWorksheet(int index) override {
    auto sheet = std::make_shared<TWorksheet>(BinaryGrid, &FBudget);
    sheet->SetSharedStrings(FSharedTexts);
    ForEachCell(index, [&](uint32_t row, uint32_t column, const FreeXL_CellValue& v) {
      Store(*sheet, row, column, v);
      return true;
    });
    sheet->Finish();
    return sheet;
  }

  // The library holds every cell: they are looked at up to the first that
  // shows something, and none is kept.
  bool PeekShowsNothing(int index) override {
    TWorksheet sheet(BinaryGrid);
    sheet.SetSharedStrings(FSharedTexts);
    ForEachCell(index, [&](uint32_t row, uint32_t column, const FreeXL_CellValue& v) {
      Store(sheet, row, column, v);
      return sheet.ShowsNothing();
    });
    return sheet.ShowsNothing();
  }

private:
  // Calls visit with each position of the sheet's grid (row and column
  // from 1) and its value, while visit says to go on.
  template <typename F>
  void ForEachCell(int index, F visit) {
    const std::string& name = FSheetNames[static_cast<size_t>(index)];
    auto damaged = [&] {
      return WorkbookError(FBudget.File() + " is damaged: its worksheet '" + name +
                           "' cannot be read.");
    };
    if (freexl_select_active_worksheet(FFile.Handle, static_cast<unsigned short>(index)) !=
        FREEXL_OK)
      throw damaged();
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(FFile.Handle, &rows, &columns) != FREEXL_OK) throw damaged();
    if (rows > BinaryGrid.Rows || columns > BinaryGrid.Columns) throw damaged();
    for (unsigned int r = 0; r < rows; ++r)
      for (unsigned short c = 0; c < columns; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(FFile.Handle, r, c, &v) != FREEXL_OK) throw damaged();
        if (!visit(r + 1, c + 1u, v)) return;
      }
  }

  void Store(TWorksheet& sheet, uint32_t row, uint32_t column, const FreeXL_CellValue& v) {
    double serial;
    switch (v.type) {
    case FREEXL_CELL_INT:
      sheet.AddNumber(row, column, v.value.int_value);
      break;
    case FREEXL_CELL_DOUBLE:
      sheet.AddNumber(row, column, v.value.double_value);
      break;
    case FREEXL_CELL_TEXT:
      sheet.AddText(row, column, v.value.text_value ? v.value.text_value : "");
      break;
    case FREEXL_CELL_SST_TEXT:
      sheet.AddSharedText(row, column, SharedText(v.value.text_value));
      break;
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
      // The library writes dates out as text; the cell's value is the
      // serial number behind it.
      if (v.value.text_value && DateTextToSerial(v.value.text_value, FDate1904, serial))
        sheet.AddNumber(row, column, serial);
      else
        sheet.AddText(row, column, v.value.text_value ? v.value.text_value : "");
      break;
    default:
      break; // no value
    }
  }

  // The library hands out each shared string at its one place: it is
  // copied once however many cells show it.
  uint32_t SharedText(const char* text) {
    auto [known, added] = FSharedIndex.try_emplace(text, 0);
    if (added) known->second = FSharedTexts->Add(text ? text : "", &FBudget);
    return known->second;
  }

  TFreeXlHandle FFile;
  bool FDate1904 = false;
  std::shared_ptr<TStringPool> FSharedTexts = std::make_shared<TStringPool>();
  std::unordered_map<const char*, uint32_t> FSharedIndex;
};

} // namespace

std::unique_ptr<TWorkbook> OpenBinaryWorkbook(TFileHandle handle, const std::string& file,
                                              const TWorkbookLimits& limits) {
  return std::make_unique<TBinaryWorkbook>(handle.Fd, file, limits);
}

} // namespace bw
