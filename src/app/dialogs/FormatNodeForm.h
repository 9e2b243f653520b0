// The node-format dialog: settings for a node's colour, font, shadow and
// border that nothing applies yet. Its OK button stays disabled, so the
// dialog can only be cancelled and never changes the tree. Reached through
// a hidden menu item.
#pragma once

#include "widgets/ParentedForm.h"

#include <QStyledItemDelegate>

#include <memory>

namespace Ui {
class TFormatNodeForm;
}

namespace bw {

// Draws the rows of the border lists as lines: by pen style (clear, solid,
// dash, dot, dash-dot, dash-dot-dot) or by width (row i is 2i + 1 pixels,
// labelled with that number), 16 pixels high.
class TBorderLineDelegate : public QStyledItemDelegate {
public:
  enum TKind { Styles, Widths };
  explicit TBorderLineDelegate(TKind kind, QObject* parent = nullptr)
      : QStyledItemDelegate(parent), FKind(kind) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
  TKind FKind;
};

class TFormatNodeForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TFormatNodeForm(QWidget* parent = nullptr);
  ~TFormatNodeForm() override;

  Ui::TFormatNodeForm& Form() { return *FUi; }

  void btnChooseColorClick();
  void btnChooseFontClick();

private:
  std::unique_ptr<Ui::TFormatNodeForm> FUi;
};

} // namespace bw
