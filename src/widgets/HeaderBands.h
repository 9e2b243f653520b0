// The bands at the top and the bottom of the program's dialogs: a white
// header with a bold title and a message above a shadow line, and an
// etched footer line broken by an embossed title. Both are 60 pixels high
// whatever the layout asks.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace bw {

class TWhiteTop : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Title READ Title WRITE SetTitle)
  Q_PROPERTY(QString Msg READ Msg WRITE SetMsg)
  Q_PROPERTY(QColor TitleColor READ TitleColor WRITE SetTitleColor)
public:
  explicit TWhiteTop(QWidget* parent = nullptr);

  const QString& Title() const { return FTitle; }
  void SetTitle(const QString& title);
  const QString& Msg() const { return FMsg; }
  void SetMsg(const QString& msg);
  const QColor& TitleColor() const { return FTitleColor; }
  void SetTitleColor(const QColor& color);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void Paint();

  QString FTitle;
  QString FMsg;
  QColor FTitleColor{128, 0, 0};
};

class TBottomLine : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Title READ Title WRITE SetTitle)
public:
  explicit TBottomLine(QWidget* parent = nullptr);

  const QString& Title() const { return FTitle; }
  void SetTitle(const QString& title);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void Paint();

  QString FTitle;
};

} // namespace bw
