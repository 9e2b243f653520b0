// The spreadsheet import dialog: the user picks a workbook, then a defined
// name of it ("Named cell") or a worksheet and one of its cells ("Row and
// Col"), sees the values found there, and gets back a reference text of the
// form Excel("path", "Sheet$B12") or Excel("path", "Name") with the value
// read. Six steps, each enabling the next control.
#pragma once

#include "app/core/FileDialogFolder.h"
#include "app/dialogs/ImportExternalResult.h"
#include "model/Currency.h"
#include "widgets/ParentedForm.h"

#include <QString>
#include <QStringList>

#include <filesystem>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TImportExternalForm;
}

namespace bw {

class TWorkbook;
class TWorksheetGridModel;

// The dialog's own windows; tests replace them.
struct TImportExternalDialogs {
  // The workbook to open, starting from the current one or, without one, in
  // the start folder; empty: cancelled.
  std::function<QString(const QString& current)> ChooseFile;
  // An error box with an OK button.
  std::function<void(const QString& text)> Error;
};

class TImportExternalForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TImportExternalForm(QWidget* parent = nullptr);
  ~TImportExternalForm() override;

  // Opens the dialog on a reference (possibly empty) with the tree's
  // decimals; the result says whether and what the user chose. folder: where
  // the workbook chooser starts without a workbook, and what it remembers.
  static void Execute(const std::string& reference, int decimals,
                      TImportExternalDialogResult& result, QWidget* parent = nullptr,
                      const TFileDialogFolder& folder = {});

  // Brings the dialog to the step the reference reaches. A reference that
  // no longer fits the workbook (a renamed sheet, a cell now outside the
  // used range, missing arguments) stops at the step before.
  void Restore(const std::string& reference);

  // The step logic: labels, enabled states, resets and OK.
  void SetStep(int step);
  int Step() const { return FStep; }
  // Reads the workbook named in the file box: its defined names, its
  // worksheets, the chosen worksheet's cells.
  void LoadWorkbook(bool readNames, bool readSheets, bool readCells);
  // Every grid column as wide as its widest text, measured over the cells
  // that exist.
  void AutoSizeGridColumns();

  // The handlers.
  void cboDatasourceClick();
  void btnExcelChooseFileClick();
  void radExcelAddressTypeClick();
  void cboExcelWorksheetsClick();
  void cboExcelNamedCellClick();
  void grdExcelUnnamedCellsClick();
  void btnOKClick();

  int Decimals = 2;
  TFileDialogFolder WorkbookFolder;
  const std::string& Reference() const { return FReference; }
  Currency Value() const { return FValue; }
  Ui::TImportExternalForm& Form() { return *FUi; }
  TWorksheetGridModel& GridModel() { return *FGridModel; }
  TImportExternalDialogs Dialogs;

private:
  void ReadSheets(TWorkbook& book);
  void ReadNames(TWorkbook& book);
  void ReadCells(TWorkbook& book);
  void SetAddressType(bool namedCell);
  void ShowError(const QString& text);

  std::unique_ptr<Ui::TImportExternalForm> FUi;
  TWorksheetGridModel* FGridModel;
  int FStep = 1;
  // While a reference is restored: the errors told, so that the steps it
  // takes tell each failure once.
  std::optional<QStringList> FToldOnce;
  std::string FReference;
  Currency FValue = 0;
  // The workbook whose sheets were listed, kept open while its file is
  // unchanged, so that choosing a sheet reads only that sheet.
  struct TOpenWorkbook {
    std::string Path;
    uintmax_t Size = 0;
    std::filesystem::file_time_type Modified{};
    std::shared_ptr<TWorkbook> Book;
  } FOpen;
};

} // namespace bw
