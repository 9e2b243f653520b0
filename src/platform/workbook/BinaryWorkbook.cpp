// Binary workbooks (.xls) through libfreexl: worksheets and their cells.
// The format's defined names are not read, so such a workbook has none.
#include "platform/workbook/WorkbookReaders.h"

#include "platform/workbook/BinaryScan.h"

#include <freexl.h>

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

class TBinaryWorkbook : public TWorkbook {
public:
  TBinaryWorkbook(const std::string& path, const TWorkbookLimits& limits) {
    // libfreexl sets up every worksheet's whole grid as it opens the file:
    // what it would take is counted first.
    switch (ScanBinaryWorkbook(path, limits.MaxGridPositions).Verdict) {
    case TBinaryVerdict::Readable:
      break;
    case TBinaryVerdict::TooLarge:
      throw NotAWorkbookError("'" + path + "' has worksheets too large to be read.");
    case TBinaryVerdict::Encrypted:
      throw NotAWorkbookError("'" + path + "' is protected by a password.");
    case TBinaryVerdict::Damaged:
      throw NotAWorkbookError("'" + path + "' is not a workbook.");
    }
    // The library can report success without giving a handle.
    int rc = freexl_open(path.c_str(), &FFile.Handle);
    if (rc != FREEXL_OK || !FFile.Handle)
      throw NotAWorkbookError("'" + path + "' is not a workbook.");
    unsigned int info = 0;
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
      throw NotAWorkbookError("'" + path + "' is protected by a password.");
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_DATEMODE, &info) == FREEXL_OK)
      FDate1904 = info == FREEXL_BIFF_DATEMODE_1904;
    unsigned int count = 0;
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
      throw NotAWorkbookError("'" + path + "' is not a workbook.");
    for (unsigned int i = 0; i < count; ++i) {
      const char* name = nullptr;
      if (freexl_get_worksheet_name(FFile.Handle, static_cast<unsigned short>(i), &name) !=
          FREEXL_OK)
        throw NotAWorkbookError("'" + path + "' is not a workbook.");
      FSheetNames.emplace_back(name ? name : "");
    }
  }

protected:
  std::shared_ptr<TWorksheet> ReadWorksheet(int index) override {
    const std::string& name = FSheetNames[static_cast<size_t>(index)];
    auto damaged = [&] {
      return WorkbookError("The worksheet '" + name + "' cannot be read: the workbook is damaged.");
    };
    if (freexl_select_active_worksheet(FFile.Handle, static_cast<unsigned short>(index)) !=
        FREEXL_OK)
      throw damaged();
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(FFile.Handle, &rows, &columns) != FREEXL_OK) throw damaged();
    auto sheet = std::make_shared<TWorksheet>(BinaryGrid);
    if (rows > BinaryGrid.Rows || columns > BinaryGrid.Columns) throw damaged();
    for (unsigned int r = 0; r < rows; ++r)
      for (unsigned short c = 0; c < columns; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(FFile.Handle, r, c, &v) != FREEXL_OK) throw damaged();
        Store(*sheet, r + 1, c + 1u, v);
      }
    return sheet;
  }

private:
  void Store(TWorksheet& sheet, uint32_t row, uint32_t column, const FreeXL_CellValue& v) const {
    double serial;
    switch (v.type) {
    case FREEXL_CELL_INT:
      sheet.AddNumber(row, column, v.value.int_value);
      break;
    case FREEXL_CELL_DOUBLE:
      sheet.AddNumber(row, column, v.value.double_value);
      break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
      sheet.AddText(row, column, v.value.text_value ? v.value.text_value : "");
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

  TFreeXlHandle FFile;
  bool FDate1904 = false;
};

} // namespace

std::unique_ptr<TWorkbook> OpenBinaryWorkbook(const std::string& path,
                                              const TWorkbookLimits& limits) {
  return std::make_unique<TBinaryWorkbook>(path, limits);
}

} // namespace bw
