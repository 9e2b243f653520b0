#include "app/dialogs/OverviewExternalDataForm.h"

#include "app/core/UIStrings.h"
#include "app/core/WorkbookFiles.h"
#include "widgets/BusyCursor.h"
#include "app/dialogs/ExternalDataText.h"
#include "control/DecTree.h"
#include "foundation/ErrorReport.h"
#include "model/UIStringsComponent.h"
#include "ui_OverviewExternalDataForm.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>

namespace bw {

using namespace UIStrings;

namespace {

const std::string ImportPrefix = "Import: ";

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The row markers: a hollow grey ring for an unchanged value, a filled
// orange disc for a changed one, a red disc with a white cross for one that
// could not be read.
QIcon RowImage(int image) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (image) {
  case TOverviewExternalDataForm::RowChanged:
    p.setPen(QColor(160, 82, 0));
    p.setBrush(QColor(255, 140, 0));
    break;
  case TOverviewExternalDataForm::RowUnread:
    p.setPen(QColor(140, 0, 0));
    p.setBrush(QColor(210, 30, 30));
    break;
  default:
    p.setPen(QPen(QColor(150, 150, 150), 1.5));
    p.setBrush(Qt::NoBrush);
    break;
  }
  p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
  if (image == TOverviewExternalDataForm::RowUnread) {
    p.setPen(QPen(Qt::white, 1.5));
    p.drawLine(QPointF(6, 6), QPointF(10, 10));
    p.drawLine(QPointF(10, 6), QPointF(6, 10));
  }
  return QIcon(pixmap);
}

// "New Value" as wide as its numbers and the common messages, and never
// narrower than its first 80 pixels; a longer message is cut, and shows
// whole in its tool tip.
void FitNewValueColumn(QTreeWidget& list) {
  const QFontMetrics metrics(list.font());
  int common = 0;
  for (int id : {UIStringsComponent::SFileNotFound, UIStringsComponent::SExcelNotInstalled})
    common = std::max(common, metrics.horizontalAdvance(Q(UIStringsComponent::Text(id))));
  int width = 0;
  for (int i = 0; i < list.topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list.topLevelItem(i);
    const int text = metrics.horizontalAdvance(item->text(1));
    width = std::max(width, item->toolTip(1).isEmpty() ? text : std::min(text, common));
  }
  // The margins the list draws a text within, and a little air.
  const int margins =
      2 * (list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1);
  list.setColumnWidth(1, std::max(80, width + margins + 4));
}

} // namespace

TOverviewExternalDataForm::TOverviewExternalDataForm(TDecTree& tree, QWidget* parent)
    : TParentedForm(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint),
      FUi(std::make_unique<Ui::TOverviewExternalDataForm>()), FTree(tree) {
  FUi->setupUi(this);
  for (int image : {RowUnchanged, RowChanged, RowUnread})
    FImages[image] = RowImage(image);
  QTreeWidget* list = FUi->OverviewListView;
  list->header()->setSectionsClickable(false);
  list->header()->setSectionsMovable(false);
  // Columns fit to their contents measure every row, not only the first.
  list->header()->setResizeContentsPrecision(-1);
  list->setColumnWidth(0, 80);
  list->setColumnWidth(1, 80);
  connect(FUi->RefreshButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { RefreshButtonClick(); }); });
  connect(FUi->OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(FUi->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TOverviewExternalDataForm::~TOverviewExternalDataForm() = default;

void TOverviewExternalDataForm::Execute(TDecTree& tree, const TSaveUndo& saveUndo,
                                        QWidget* parent) {
  TOverviewExternalDataForm form(tree, parent);
  if (form.exec() == QDialog::Accepted) form.ApplyNewValues(saveUndo);
  tree.Recalculate();
}

void TOverviewExternalDataForm::showEvent(QShowEvent* event) {
  TParentedForm::showEvent(event);
  // The first reading, once the window is on the screen.
  if (!event->spontaneous() && FRefreshCount == 0)
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { RefreshExternalData(); }); }, Qt::QueuedConnection);
}

bool TOverviewExternalDataForm::event(QEvent* event) {
  switch (event->type()) {
  case QEvent::WindowDeactivate:
    // Left for another program, not for a window of ours on top.
    FLeftProgram = !FRefreshing && (QApplication::activeModalWidget() == nullptr ||
                                    QApplication::activeModalWidget() == this);
    break;
  case QEvent::WindowActivate:
    if (FLeftProgram) {
      FLeftProgram = false;
      Guarded([this] { FormActivate(); });
    }
    break;
  default:
    break;
  }
  return TParentedForm::event(event);
}

void TOverviewExternalDataForm::FormActivate() {
  // Coming back from another program reads the values again. An activation
  // while reading, or while a window of ours is on top, does not: closing an
  // error window must never start the same failing read over.
  if (FRefreshing) return;
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) return;
  RefreshExternalData();
}

void TOverviewExternalDataForm::RefreshButtonClick() {
  RefreshExternalData();
}

void TOverviewExternalDataForm::RefreshExternalData() {
  if (FRefreshing) return;
  FRefreshing = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } done{FRefreshing};
  ++FRefreshCount;
  TBusyCursor busy;
  Ui::TOverviewExternalDataForm& u = *FUi;
  u.WhiteTop->SetMsg(Q(Text(SReadingExternalData)));
  u.WhiteTop->repaint();
  u.OverviewListView->clear();
  u.SummaryLinesLabel->setText("0");
  u.SummaryChangedLabel->setText("0");
  FChanged = 0;
  FUnread = 0;
  // Each workbook is read once in a refresh, however many payoffs it feeds.
  TWorkbookFiles workbooks(true);
  if (TDecTreeNode* root = FTree.TreeRoot()) AddNodeRows(root, workbooks);
  // "Old Value" holds numbers only: as wide as the widest with its marker,
  // and never narrower than its first 80 pixels.
  u.OverviewListView->resizeColumnToContents(0);
  u.OverviewListView->setColumnWidth(0, std::max(80, u.OverviewListView->columnWidth(0)));
  FitNewValueColumn(*u.OverviewListView);
  u.OverviewListView->resizeColumnToContents(2);
  u.OverviewListView->resizeColumnToContents(3);
  u.WhiteTop->SetMsg(ExternalDataHeader(FChanged, FUnread));
}

void TOverviewExternalDataForm::AddNodeRows(TDecTreeNode* node, IWorkbookOpener& workbooks) {
  if (node->PayoffSource.starts_with(ImportPrefix)) {
    const int decimals = FTree.Options.CurrencyDecimals;
    const QString oldText = NumberText(CurrencyToDouble(node->Payoff), decimals);
    QString newText;
    std::string error;
    try {
      newText = NumberText(CurrencyToDouble(node->ImportPayoff(error, workbooks)), decimals);
    } catch (const std::exception& e) {
      // A renamed sheet, a deleted name, an empty reference: the row tells
      // it and the next payoff is read.
      error = e.what();
      if (error.empty()) error = ExceptionClassName(std::current_exception());
    }
    const bool failed = !error.empty();
    auto* item = new QTreeWidgetItem(
        QStringList{oldText, failed ? Q(error) : newText, Q(node->GetOutlineCode() + node->Caption),
                    Q(std::string_view(node->PayoffSource).substr(ImportPrefix.size()))});
    // A value that could not be read is neither changed nor unchanged.
    const int image = failed ? RowUnread : newText != oldText ? RowChanged : RowUnchanged;
    if (failed) {
      item->setToolTip(1, Q(error));
      ++FUnread;
    }
    item->setIcon(0, FImages[image]);
    item->setData(0, ImageRole, image);
    item->setData(0, NodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    FUi->OverviewListView->addTopLevelItem(item);
    if (image == RowChanged) FUi->SummaryChangedLabel->setText(QString::number(++FChanged));
    FUi->SummaryLinesLabel->setText(QString::number(FUi->OverviewListView->topLevelItemCount()));
  }
  for (TDecTreeNode* child : node->Children)
    AddNodeRows(child, workbooks);
}

void TOverviewExternalDataForm::ApplyNewValues(const TSaveUndo& saveUndo) {
  QTreeWidget* list = FUi->OverviewListView;
  bool undoTaken = false;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    double value = 0;
    Currency payoff = 0;
    // A value that could not be read is left alone, whatever its message.
    if (item->data(0, ImageRole).toInt() == RowUnread) continue;
    if (!ReadNumberText(item->text(1), value) || !TryDoubleToCurrency(value, payoff)) continue;
    if (!undoTaken) {
      if (saveUndo) saveUndo(Str(SUndoRefreshExternalData));
      undoTaken = true;
    }
    auto* node = reinterpret_cast<TDecTreeNode*>(item->data(0, NodeRole).value<quintptr>());
    node->Payoff = payoff;
  }
}

} // namespace bw
