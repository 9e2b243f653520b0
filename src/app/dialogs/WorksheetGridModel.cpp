#include "app/dialogs/WorksheetGridModel.h"

#include "app/dialogs/ExternalDataText.h"
#include "model/FunctionParser.h"
#include "platform/workbook/Workbook.h"

#include <algorithm>

namespace bw {

void TWorksheetGridModel::SetSheet(std::shared_ptr<const TWorksheet> sheet, int decimals) {
  beginResetModel();
  FSheet = std::move(sheet);
  FDecimals = decimals;
  endResetModel();
}

int TWorksheetGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !FSheet) return 0;
  return static_cast<int>(FSheet->LastRow());
}

int TWorksheetGridModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !FSheet) return 0;
  return std::min(static_cast<int>(FSheet->LastColumn()), MaxGridColumns);
}

QVariant TWorksheetGridModel::data(const QModelIndex& index, int role) const {
  if (!FSheet || !index.isValid() || role != Qt::DisplayRole) return {};
  return CellValueText(FSheet->Cell(static_cast<uint32_t>(index.row()) + 1,
                                    static_cast<uint32_t>(index.column()) + 1),
                       FDecimals);
}

QVariant TWorksheetGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Horizontal)
    return section < MaxGridColumns ? QString::fromStdString(ColumnToLetters(section)) : QVariant();
  return section + 1;
}

} // namespace bw
