#include "app/dialogs/ImportExternalForm.h"

#include "app/core/UIStrings.h"
#include "app/dialogs/ExternalDataText.h"
#include "app/dialogs/WorksheetGridModel.h"
#include "foundation/ErrorReport.h"
#include "model/FunctionParser.h"
#include "platform/workbook/Workbook.h"
#include "ui_ImportExternalForm.h"

#include <QFileDialog>
#include <QHash>
#include <QHeaderView>
#include <QMessageBox>

#include <algorithm>

namespace bw {

using namespace UIStrings;

namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string U(const QString& s) {
  return s.toStdString();
}

// Unchecks a radio button, which a group of exclusive buttons refuses.
void Uncheck(QRadioButton* button) {
  button->setAutoExclusive(false);
  button->setChecked(false);
  button->setAutoExclusive(true);
}

} // namespace

TImportExternalForm::TImportExternalForm(QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TImportExternalForm>()) {
  FUi->setupUi(this);
  FGridModel = new TWorksheetGridModel(this);
  QTableView* grid = FUi->grdExcelUnnamedCells;
  grid->setModel(FGridModel);
  grid->verticalHeader()->setDefaultSectionSize(std::max(16, grid->fontMetrics().height() + 4));
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

  connect(FUi->cboDatasource, &QComboBox::activated, this,
          [this] { Guarded([this] { cboDatasourceClick(); }); });
  connect(FUi->btnExcelChooseFile, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnExcelChooseFileClick(); }); });
  for (QRadioButton* r : {FUi->radExcelNamedCell, FUi->radExcelRowAndCol})
    connect(r, &QRadioButton::clicked, this,
            [this] { Guarded([this] { radExcelAddressTypeClick(); }); });
  connect(FUi->cboExcelWorksheets, &QComboBox::activated, this,
          [this] { Guarded([this] { cboExcelWorksheetsClick(); }); });
  connect(FUi->cboExcelNamedCell, &QComboBox::activated, this,
          [this] { Guarded([this] { cboExcelNamedCellClick(); }); });
  // A cell becomes current by a click and by the keyboard alike.
  connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) Guarded([this] { grdExcelUnnamedCellsClick(); });
          });
  connect(FUi->btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { btnOKClick(); }); });
  connect(FUi->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  SetStep(1);
}

TImportExternalForm::~TImportExternalForm() = default;

void TImportExternalForm::Execute(const std::string& reference, int decimals,
                                  TImportExternalDialogResult& result, QWidget* parent,
                                  const TFileDialogFolder& folder) {
  TImportExternalForm form(parent);
  form.Decimals = decimals;
  form.WorkbookFolder = folder;
  form.Restore(reference);
  if (form.exec() == QDialog::Accepted)
    ImportChanged(result, form.Reference(), form.Value());
  else
    ImportNotChanged(result);
}

// ---- Steps -----------------------------------------------------------------

void TImportExternalForm::SetStep(int step) {
  FStep = step;
  Ui::TImportExternalForm& u = *FUi;
  for (QLabel* label : {u.lbl1Datasource, u.lbl2Workbook, u.lbl3ExcelAddressType,
                        u.lbl4ExcelNamedCell, u.lbl4ExcelWorksheets, u.lbl5ExcelUnnamedCell}) {
    // The step a label stands for is the fourth character of its name.
    int n = label->objectName().at(3).digitValue();
    QFont font = label->font();
    font.setBold(n == step);
    label->setFont(font);
    label->setEnabled(n <= step);
  }
  u.nbkDatasourceType->setVisible(true);
  u.edtExcelFilename->setEnabled(step >= 2);
  u.btnExcelChooseFile->setEnabled(step >= 2);
  u.radExcelNamedCell->setEnabled(step >= 3 && u.cboExcelNamedCell->count() > 0);
  u.radExcelRowAndCol->setEnabled(step >= 3);
  u.cboExcelNamedCell->setEnabled(step >= 4);
  u.cboExcelWorksheets->setEnabled(step >= 4);
  u.grdExcelUnnamedCells->setEnabled(step >= 5);
  u.nbkExcelAddressType->setVisible(step >= 4);
  // Each step clears what the steps after it chose.
  if (step <= 1) u.cboDatasource->setCurrentIndex(-1);
  if (step <= 2) u.edtExcelFilename->clear();
  if (step <= 3) {
    Uncheck(u.radExcelNamedCell);
    Uncheck(u.radExcelRowAndCol);
  }
  if (step <= 4) {
    u.cboExcelWorksheets->setCurrentIndex(-1);
    u.cboExcelNamedCell->setCurrentIndex(-1);
  }
  const bool excel =
      u.nbkDatasourceType->currentIndex() == 0 && u.cboDatasource->currentIndex() == 0;
  const int page = u.nbkExcelAddressType->currentIndex();
  u.btnOK->setEnabled(excel && ((page == 0 && step == 5) || (page == 1 && step == 6)));
}

// ---- Handlers --------------------------------------------------------------

void TImportExternalForm::cboDatasourceClick() {
  FUi->nbkDatasourceType->setCurrentIndex(FUi->cboDatasource->currentIndex());
  SetStep(2);
}

void TImportExternalForm::btnExcelChooseFileClick() {
  const QString current = FUi->edtExcelFilename->text();
  const QString start =
      current.isEmpty() ? QString::fromStdString(WorkbookFolder.Start()) : current;
  QString path;
  if (Dialogs.ChooseFile) {
    path = Dialogs.ChooseFile(start);
  } else {
    QFileDialog dialog(this, "Choose Microsoft Excel file", start);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Both letter cases: the desktop's dialog may match patterns exactly.
    dialog.setNameFilters(
        {"Microsoft Excel files (*.xls *.xlsx *.xlsm *.XLS *.XLSX *.XLSM)", "All files (*)"});
    dialog.setDefaultSuffix("xls");
    if (!current.isEmpty()) dialog.selectFile(current);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      path = dialog.selectedFiles().first();
  }
  if (path.isEmpty()) return;
  WorkbookFolder.Remember(path.toStdString());
  FUi->edtExcelFilename->setText(path);
  LoadWorkbook(true, true, false);
  SetAddressType(FUi->cboExcelNamedCell->count() > 0);
}

void TImportExternalForm::radExcelAddressTypeClick() {
  FUi->nbkExcelAddressType->setCurrentIndex(FUi->radExcelNamedCell->isChecked() ? 0 : 1);
  FGridModel->SetSheet(nullptr, Decimals);
  SetStep(4);
}

void TImportExternalForm::cboExcelWorksheetsClick() {
  LoadWorkbook(false, false, true);
  SetStep(5);
}

void TImportExternalForm::cboExcelNamedCellClick() {
  SetStep(5);
}

void TImportExternalForm::grdExcelUnnamedCellsClick() {
  SetStep(6);
}

void TImportExternalForm::btnOKClick() {
  Ui::TImportExternalForm& u = *FUi;
  if (u.cboDatasource->currentIndex() != 0) return;
  std::string reference = "Excel(\"" + QuoteArgument(U(u.edtExcelFilename->text())) + "\", \"";
  QString valueText;
  if (u.nbkExcelAddressType->currentIndex() == 0) {
    if (u.cboExcelNamedCell->currentIndex() < 0) return;
    // "Name: Sheet1!B3 (Value=1,234.57)"
    const QString item = u.cboExcelNamedCell->currentText();
    qsizetype colon = item.indexOf(": ");
    reference += QuoteArgument(U(colon < 0 ? item : item.left(colon)));
    qsizetype equals = item.lastIndexOf('=');
    if (equals >= 0 && item.endsWith(')'))
      valueText = item.mid(equals + 1, item.size() - 1 - (equals + 1));
  } else {
    const QModelIndex cell = u.grdExcelUnnamedCells->currentIndex();
    if (!cell.isValid() || u.cboExcelWorksheets->currentIndex() < 0) return;
    // The sheet's own name: a listed name may carry the empty mark.
    const std::string sheet = U(u.cboExcelWorksheets->currentData().toString());
    reference += QuoteArgument(sheet + "$" + ColumnToLetters(cell.column()) +
                               std::to_string(cell.row() + 1));
    valueText = FGridModel->data(cell).toString();
  }
  reference += "\")";
  double number = 0;
  if (!ReadNumberText(valueText, number)) number = 0;
  Currency value = 0;
  if (!TryDoubleToCurrency(number, value)) {
    ShowError(Q(PayoffOutOfRangeMessage(number)));
    return;
  }
  FReference = std::move(reference);
  FValue = value;
  accept();
}

void TImportExternalForm::SetAddressType(bool namedCell) {
  (namedCell ? FUi->radExcelNamedCell : FUi->radExcelRowAndCol)->setChecked(true);
  radExcelAddressTypeClick();
}

// ---- Loading ---------------------------------------------------------------

void TImportExternalForm::LoadWorkbook(bool readNames, bool readSheets, bool readCells) {
  const std::string path = U(FUi->edtExcelFilename->text());
  std::error_code ec, sized, dated;
  if (!std::filesystem::exists(path, ec)) {
    ShowError(Q(Text(SImportFileNotFound)));
    return;
  }
  const uintmax_t size = std::filesystem::file_size(path, sized);
  const auto modified = std::filesystem::last_write_time(path, dated);
  const bool known = !sized && !dated;
  // Choosing a sheet of the workbook just listed reads that sheet alone.
  const bool listed = readCells && !readNames && !readSheets && FOpen.Book && known &&
                      path == FOpen.Path && size == FOpen.Size && modified == FOpen.Modified;
  if (!listed) {
    FOpen = {};
    try {
      FOpen.Book = OpenWorkbook(path);
    } catch (const NotAWorkbookError& e) {
      ShowError(Q(e.Message()));
      return;
    } catch (const WorkbookError& e) {
      ShowError(Q(e.Message()));
      return;
    }
    if (known) {
      FOpen.Path = path;
      FOpen.Size = size;
      FOpen.Modified = modified;
    }
  }
  TWorkbook& book = *FOpen.Book;
  // A damaged part is told, and what was listed before it stays.
  try {
    if (readSheets) ReadSheets(book);
    if (readNames) ReadNames(book);
    if (readCells) ReadCells(book);
  } catch (const WorkbookError& e) {
    ShowError(Q(e.Message()));
  }
}

void TImportExternalForm::ReadSheets(TWorkbook& book) {
  QComboBox* list = FUi->cboExcelWorksheets;
  list->clear();
  // Listing reads no worksheet: the empty mark comes from as little of each
  // as tells it.
  for (int i = 0; i < book.WorksheetCount(); ++i) {
    QString name = Q(book.WorksheetName(i));
    QString mark;
    if (book.WorksheetShowsNothing(i)) mark = " (" + Q(Text(SImportEmpty)) + ")";
    list->addItem(name + mark, name);
  }
}

void TImportExternalForm::ReadNames(TWorkbook& book) {
  QComboBox* list = FUi->cboExcelNamedCell;
  list->clear();
  for (const TDefinedName& name : book.DefinedNames()) {
    std::string refersTo = name.RefersTo;
    if (refersTo.starts_with("=")) refersTo.erase(0, 1);
    std::erase(refersTo, '$');
    // Only names of one cell: ranges, constants and formulas are left out.
    if (refersTo.find(':') != std::string::npos || name.Target != TNameTargetKind::SingleCell)
      continue;
    TCellValue value = book.Worksheet(name.Sheet)->Cell(name.Row, name.Column);
    list->addItem(Q(name.Name) + ": " + Q(refersTo) + " (" + Q(Text(SImportValue)) + "=" +
                  CellValueText(value, Decimals) + ")");
  }
}

void TImportExternalForm::ReadCells(TWorkbook& book) {
  const int index = FUi->cboExcelWorksheets->currentIndex();
  if (index < 0 || index >= book.WorksheetCount()) return;
  FGridModel->SetSheet(book.Worksheet(index), Decimals);
  AutoSizeGridColumns();
}

void TImportExternalForm::AutoSizeGridColumns() {
  QTableView* grid = FUi->grdExcelUnnamedCells;
  const int columns = FGridModel->columnCount();
  const QFontMetrics cellMetrics(grid->font());
  const QFontMetrics headerMetrics(grid->horizontalHeader()->font());
  struct TColumn {
    int Width = 0;
    double Largest = -1; // of the numbers >= 0; -1: none
    double Smallest = 0; // of the numbers < 0; 0: none
  };
  std::vector<TColumn> widths(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c)
    widths[static_cast<size_t>(c)].Width =
        headerMetrics.horizontalAdvance(FGridModel->headerData(c, Qt::Horizontal).toString());
  if (const TWorksheet* sheet = FGridModel->Sheet()) {
    QHash<QString, int> measured;
    for (size_t i = 0; i < sheet->CellCount(); ++i) {
      uint32_t column = sheet->CellColumn(i);
      if (column > static_cast<uint32_t>(columns)) continue;
      TColumn& col = widths[column - 1];
      TCellValue value = sheet->CellValue(i);
      if (value.Kind == TCellKind::Empty) continue;
      if (value.Kind == TCellKind::Number) {
        if (value.Number >= 0)
          col.Largest = std::max(col.Largest, value.Number);
        else
          col.Smallest = std::min(col.Smallest, value.Number);
        continue;
      }
      const QString text = CellValueText(value, Decimals);
      auto known = measured.constFind(text);
      int width = known != measured.cend()
                      ? *known
                      : *measured.insert(text, cellMetrics.horizontalAdvance(text));
      col.Width = std::max(col.Width, width);
    }
    // The widest number of a column is the one of most digits, the largest
    // or the most negative: rounding never shortens a larger number. Its
    // digits are measured as the widest digit, so that no number of the
    // column is cut whatever the font's digits.
    QChar widestDigit('0');
    for (char d = '1'; d <= '9'; ++d)
      if (cellMetrics.horizontalAdvance(QChar(d)) > cellMetrics.horizontalAdvance(widestDigit))
        widestDigit = QChar(d);
    auto numberWidth = [&](double v) {
      QString text = NumberText(v, Decimals);
      for (QChar& ch : text)
        if (ch.isDigit()) ch = widestDigit;
      return cellMetrics.horizontalAdvance(text);
    };
    for (TColumn& col : widths) {
      if (col.Largest >= 0) col.Width = std::max(col.Width, numberWidth(col.Largest));
      if (col.Smallest < 0) col.Width = std::max(col.Width, numberWidth(col.Smallest));
    }
  }
  // The cell's own margins come on top of the text and the three pixels.
  const int margin =
      2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
  for (int c = 0; c < columns; ++c)
    grid->setColumnWidth(c, widths[static_cast<size_t>(c)].Width + 3 + margin);
}

// ---- Restoring a reference -------------------------------------------------

void TImportExternalForm::Restore(const std::string& reference) {
  FToldOnce.emplace();
  struct TEnd {
    std::optional<QStringList>& Told;
    ~TEnd() { Told.reset(); }
  } end{FToldOnce};
  SetStep(1);
  std::string name;
  std::vector<std::string> args;
  SplitFunctionCall(reference, name, args);
  if (name != "Excel" || args.empty()) return;
  Ui::TImportExternalForm& u = *FUi;
  u.cboDatasource->setCurrentIndex(0);
  u.nbkDatasourceType->setCurrentIndex(0);
  u.edtExcelFilename->setText(Q(args[0]));
  LoadWorkbook(true, true, false);
  if (u.cboExcelWorksheets->count() == 0 || args.size() < 2) {
    SetStep(3);
    return;
  }
  const std::string& address = args[1];
  size_t dollar = address.find('$');
  if (dollar == std::string::npos) {
    SetAddressType(true);
    const QString prefix = Q(address) + ": ";
    for (int i = 0; i < u.cboExcelNamedCell->count(); ++i)
      if (u.cboExcelNamedCell->itemText(i).startsWith(prefix)) {
        u.cboExcelNamedCell->setCurrentIndex(i);
        cboExcelNamedCellClick();
        break;
      }
    return;
  }
  SetAddressType(false);
  // The sheet by its listed text or its own name; a sheet that is gone
  // leaves the dialog at choosing one.
  const QString sheet = Q(address.substr(0, dollar));
  int found = -1;
  for (int i = 0; i < u.cboExcelWorksheets->count() && found < 0; ++i)
    if (u.cboExcelWorksheets->itemText(i) == sheet || u.cboExcelWorksheets->itemData(i) == sheet)
      found = i;
  if (found < 0) return;
  u.cboExcelWorksheets->setCurrentIndex(found);
  LoadWorkbook(false, false, true);
  SetStep(5);
  // A cell the grid no longer has leaves the dialog at choosing one.
  int column = 0, row = 0;
  try {
    ParseCellReference(std::string_view(address).substr(dollar + 1, 10000), column, row);
  } catch (const Exception&) {
    return;
  }
  if (row < 1 || column < 1 || row > FGridModel->rowCount() || column > FGridModel->columnCount())
    return;
  QModelIndex cell = FGridModel->index(row - 1, column - 1);
  u.grdExcelUnnamedCells->setCurrentIndex(cell);
  u.grdExcelUnnamedCells->scrollTo(cell);
  SetStep(6);
}

// ---- Messages --------------------------------------------------------------

void TImportExternalForm::ShowError(const QString& text) {
  if (FToldOnce) {
    if (FToldOnce->contains(text)) return;
    FToldOnce->append(text);
  }
  if (Dialogs.Error)
    Dialogs.Error(text);
  else
    QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
}

} // namespace bw
