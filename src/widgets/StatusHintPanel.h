// The last panel of a status bar: the long hint of whatever the pointer is
// on, or a standing text (the in-place editor's error) whenever no hint
// covers it. It keeps one line's height whatever it shows, so the window
// above it never shrinks and grows with the hints: a text longer than the
// panel is cut with an ellipsis and given whole as the panel's tool tip.
#pragma once

#include <QLabel>

namespace bw {

class TStatusHintPanel : public QLabel {
public:
  explicit TStatusHintPanel(QWidget* parent = nullptr);

  // A hint covers the standing text; an empty one uncovers it.
  void ShowHint(const QString& hint);
  // Shown whenever no hint covers it; empty: none.
  void SetStandingText(const QString& text);
  // What the panel shows in one line: the text with its line breaks as
  // blanks, cut with an ellipsis where it is longer than the panel.
  QString ShownText() const { return FShown; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void Refresh();

  QString FHint, FStanding, FShown;
};

} // namespace bw
