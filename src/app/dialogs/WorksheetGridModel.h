// The import dialog's grid: a table over the cells of one worksheet that
// exist in the file. Nothing is held per grid position, so a sheet whose
// last used cell lies far out costs no more than its cells; the columns
// end at ZZ (702), the last that a reference can name.
#pragma once

#include <QAbstractTableModel>

#include <memory>

namespace bw {

class TWorksheet;

constexpr int MaxGridColumns = 702;

class TWorksheetGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;

  // Null: an empty grid.
  void SetSheet(std::shared_ptr<const TWorksheet> sheet, int decimals);
  const TWorksheet* Sheet() const { return FSheet.get(); }
  int Decimals() const { return FDecimals; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Column letters across, row numbers down.
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

private:
  std::shared_ptr<const TWorksheet> FSheet;
  int FDecimals = 2;
};

} // namespace bw
