#include "app/dialogs/Maker.h"

#include <QPainter>
#include <QPainterPath>

namespace bw {

QPixmap ProductPicture(const QSize& size) {
  QPixmap picture(size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size.width() / 32.0, size.height() / 32.0);
  p.setPen(QPen(QColor(0, 0, 128), 1.5));
  p.drawLine(QPointF(9, 16), QPointF(18, 7));
  p.drawLine(QPointF(9, 16), QPointF(18, 25));
  p.setBrush(QColor(255, 255, 160));
  p.drawRect(QRectF(2, 12, 8, 8));
  p.setBrush(QColor(160, 220, 160));
  p.drawEllipse(QRectF(18, 3, 8, 8));
  p.setBrush(QColor(240, 160, 160));
  QPainterPath end;
  end.moveTo(18, 25);
  end.lineTo(27, 20);
  end.lineTo(27, 30);
  end.closeSubpath();
  p.drawPath(end);
  return picture;
}

QPixmap MakerLogo(const QSize& size) {
  QPixmap logo(size);
  logo.fill(QColor(128, 0, 0));
  QPainter p(&logo);
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(std::max(8, size.height() / 3));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(logo.rect(), Qt::AlignCenter, "Calverick");
  return logo;
}

} // namespace bw
