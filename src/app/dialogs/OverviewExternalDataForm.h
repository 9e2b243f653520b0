// The external-data overview: every imported payoff of the tree read again,
// old and new value side by side; OK writes the new values into the nodes
// in one undo step.
#pragma once

#include "widgets/ParentedForm.h"

#include <QIcon>

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class TOverviewExternalDataForm;
}

namespace bw {

class IWorkbookOpener;
class TDecTree;
class TDecTreeNode;

class TOverviewExternalDataForm : public TParentedForm {
  Q_OBJECT
public:
  // The main window's undo step, taken with its caption before the first
  // change.
  using TSaveUndo = std::function<void(const std::string& caption)>;
  // Per row: the node (as quintptr) and the image index of column 0.
  static constexpr int NodeRole = Qt::UserRole;
  static constexpr int ImageRole = Qt::UserRole + 1;
  enum TRowImage { RowUnchanged, RowChanged, RowUnread };

  explicit TOverviewExternalDataForm(TDecTree& tree, QWidget* parent = nullptr);
  ~TOverviewExternalDataForm() override;

  // Shows the overview modally; on OK the new values are written. The tree
  // is recalculated in every case.
  static void Execute(TDecTree& tree, const TSaveUndo& saveUndo, QWidget* parent = nullptr);

  // Rebuilds the list from the tree, reading each workbook once. A
  // reference that fails shows its message as the new value, its row is
  // marked as not read, and the refresh goes on.
  void RefreshExternalData();
  // Writes the new value of every row that was read into its node.
  void ApplyNewValues(const TSaveUndo& saveUndo);

  void FormActivate();
  void RefreshButtonClick();

  Ui::TOverviewExternalDataForm& Form() { return *FUi; }
  int RefreshCount() const { return FRefreshCount; }

protected:
  void showEvent(QShowEvent* event) override;
  // Activation after the user was in another program reads again.
  bool event(QEvent* event) override;

private:
  void AddNodeRows(TDecTreeNode* node, IWorkbookOpener& workbooks);

  std::unique_ptr<Ui::TOverviewExternalDataForm> FUi;
  TDecTree& FTree;
  QIcon FImages[3];
  bool FRefreshing = false;
  bool FLeftProgram = false;
  int FRefreshCount = 0;
  int FChanged = 0;
  int FUnread = 0;
};

} // namespace bw
