#include "widgets/StatusHintPanel.h"

#include <QPainter>
#include <QStyle>
#include <QTextDocument>

#include <algorithm>

namespace bw {

TStatusHintPanel::TStatusHintPanel(QWidget* parent) : QLabel(parent) {
  // Hints hold captions and comments as typed: never markup.
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
}

void TStatusHintPanel::ShowHint(const QString& hint) {
  FHint = hint;
  Refresh();
}

void TStatusHintPanel::SetStandingText(const QString& text) {
  FStanding = text;
  Refresh();
}

QSize TStatusHintPanel::minimumSizeHint() const {
  // One line, whatever the text: the bar's height never follows it.
  const QMargins frame = contentsMargins();
  return {minimumWidth(), fontMetrics().height() + 2 * margin() + frame.top() + frame.bottom()};
}

QSize TStatusHintPanel::sizeHint() const {
  return minimumSizeHint();
}

void TStatusHintPanel::Refresh() {
  const QString text = FHint.isEmpty() ? FStanding : FHint;
  if (text != QLabel::text()) setText(text);
  // A comment of megabytes need not be measured whole: far fewer
  // characters fill any panel.
  QString line = text.size() > 4096 ? text.left(4096) + QChar(0x2026) : text;
  line.replace(QLatin1String("\r\n"), QLatin1String(" "));
  line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  const int room = contentsRect().width() - 2 * margin();
  FShown = fontMetrics().elidedText(line, Qt::ElideRight, std::max(room, 0));
  // The whole text, as plain text, where the panel cuts it or joins its
  // lines.
  setToolTip(FShown == text ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
  update();
}

void TStatusHintPanel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Refresh();
}

void TStatusHintPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                        FShown, foregroundRole());
}

} // namespace bw
