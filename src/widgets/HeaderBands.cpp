#include "widgets/HeaderBands.h"

#include "foundation/ErrorReport.h"

#include <QPainter>

namespace bw {

namespace {

constexpr int BandHeight = 60;
// The title's left edge, and the gap between the footer's line and its title.
constexpr int TitleLeft = 16;
constexpr int TitleGap = 4;

// Texts are placed by their top-left corner; QPainter places them by the
// baseline.
void TextAt(QPainter& p, int x, int top, const QString& text) {
  p.drawText(QPoint(x, top + p.fontMetrics().ascent()), text);
}

} // namespace

TWhiteTop::TWhiteTop(QWidget* parent) : QWidget(parent) {
  setFixedHeight(BandHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TWhiteTop::SetTitle(const QString& title) {
  FTitle = title;
  update();
}

void TWhiteTop::SetMsg(const QString& msg) {
  FMsg = msg;
  update();
}

void TWhiteTop::SetTitleColor(const QColor& color) {
  FTitleColor = color;
  update();
}

void TWhiteTop::paintEvent(QPaintEvent*) {
  Guarded([this] { Paint(); });
}

void TWhiteTop::Paint() {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  QFont bold = font();
  bold.setBold(true);
  p.setFont(bold);
  p.setPen(FTitleColor);
  TextAt(p, TitleLeft, 8, FTitle);
  p.setFont(font());
  p.setPen(palette().color(QPalette::WindowText));
  TextAt(p, 30, 24, FMsg);
  p.setPen(palette().color(QPalette::Dark));
  p.drawLine(0, height() - 2, width(), height() - 2);
}

TBottomLine::TBottomLine(QWidget* parent) : QWidget(parent) {
  setFixedHeight(BandHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TBottomLine::SetTitle(const QString& title) {
  FTitle = title;
  update();
}

void TBottomLine::paintEvent(QPaintEvent*) {
  Guarded([this] { Paint(); });
}

void TBottomLine::Paint() {
  QPainter p(this);
  p.setFont(font());
  const QFontMetrics metrics = p.fontMetrics();
  const int w = metrics.horizontalAdvance(FTitle);
  const int y = metrics.height() / 2 + 1;
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor highlight = palette().color(QPalette::Light);
  for (auto [color, dy] : {std::pair{shadow, 0}, std::pair{highlight, 1}}) {
    p.setPen(color);
    p.drawLine(0, y + dy, TitleLeft - TitleGap, y + dy);
    p.drawLine(TitleLeft + w + TitleGap, y + dy, width(), y + dy);
  }
  p.setPen(highlight);
  TextAt(p, TitleLeft + 1, 1, FTitle);
  p.setPen(shadow);
  TextAt(p, TitleLeft, 0, FTitle);
}

} // namespace bw
