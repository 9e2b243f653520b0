#include "app/dialogs/FormatNodeForm.h"

#include "foundation/ErrorReport.h"
#include "ui_FormatNodeForm.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QPainter>

namespace bw {

namespace {

constexpr Qt::PenStyle LineStyles[] = {Qt::NoPen,   Qt::SolidLine,   Qt::DashLine,
                                       Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine};
constexpr int ItemHeight = 16;

} // namespace

void TBorderLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  Guarded([&] {
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& colours = option.palette;
    painter->save();
    painter->fillRect(r, colours.color(selected ? QPalette::Highlight : QPalette::Base));
    const QColor ink = colours.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const int row = index.row();
    const int middle = r.top() + r.height() / 2;
    if (FKind == Styles) {
      painter->setPen(QPen(ink, 1, row >= 0 && row < 6 ? LineStyles[row] : Qt::SolidLine));
      painter->drawLine(r.left() + 8, middle, r.right() - 7, middle);
    } else {
      const int width = 2 * row + 1;
      const QFontMetrics metrics = painter->fontMetrics();
      const int label = metrics.horizontalAdvance("AA");
      // A band of exactly `width` pixels around the middle: a wide pen's
      // rasterisation may add a row.
      const int right = r.right() - 7 - label;
      painter->fillRect(QRect(r.left() + 8, middle - width / 2, right - r.left() - 7, width), ink);
      painter->setPen(ink);
      painter->drawText(QPoint(r.right() - label, middle - metrics.height() / 2 + metrics.ascent()),
                        QString::number(width));
    }
    painter->restore();
  });
}

QSize TBorderLineDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
  return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
}

TFormatNodeForm::TFormatNodeForm(QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TFormatNodeForm>()) {
  FUi->setupUi(this);
  FUi->wto->SetTitle("Format Node");
  QPalette white = FUi->edtFont->palette();
  white.setColor(QPalette::Base, Qt::white);
  FUi->edtFont->setPalette(white);
  FUi->cboBorder->addItems({"Clear", "Solid", "Dash", "Dot", "DashDot", "DashDotDot"});
  FUi->cboBorderWidth->addItems({"0", "1", "2", "3", "4", "5", "6"});
  FUi->cboBorder->setItemDelegate(new TBorderLineDelegate(TBorderLineDelegate::Styles, this));
  FUi->cboBorderWidth->setItemDelegate(new TBorderLineDelegate(TBorderLineDelegate::Widths, this));
  connect(FUi->btnChooseColor, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnChooseColorClick(); }); });
  connect(FUi->btnChooseFont, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnChooseFontClick(); }); });
  connect(FUi->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFormatNodeForm::~TFormatNodeForm() = default;

void TFormatNodeForm::btnChooseColorClick() {
  const QColor chosen =
      QColorDialog::getColor(FUi->shaColor->palette().color(QPalette::Window), this);
  if (!chosen.isValid()) return;
  QPalette swatch = FUi->shaColor->palette();
  swatch.setColor(QPalette::Window, chosen);
  FUi->shaColor->setPalette(swatch);
}

void TFormatNodeForm::btnChooseFontClick() {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, FUi->edtFont->font(), this);
  if (!ok) return;
  FUi->edtFont->setText(chosen.family() + " " + QString::number(chosen.pointSize()) + "pt");
  FUi->edtFont->setFont(chosen);
}

} // namespace bw
