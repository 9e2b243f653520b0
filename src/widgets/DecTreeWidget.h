// The tree control's window: it shows a TDecTree, turns mouse, keys and
// hints into calls on it, and gives it the in-place editor, the menus, the
// dialogs and the back buffer of the rubber band.
#pragma once

#include "canvas/qt/QtCanvas.h"
#include "control/DecTree.h"

#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace bw {

class TDecTreeWidget : public QWidget, public ITreeView {
  Q_OBJECT
public:
  explicit TDecTreeWidget(QWidget* parent = nullptr);
  ~TDecTreeWidget() override;

  TDecTree& Tree() { return *FTree; }
  // The application's node menu, opened by a right click or from the keyboard.
  void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
  QMenu* PopupMenu() const { return FPopupMenu; }
  QLineEdit* InplaceEdit() const { return FEditor; }
  QMenu* DecisionPropertyMenu() const { return FPropertyMenu; }
  // The tree's font as Qt draws it on this widget.
  QFont DefaultQFont();
  // The separators and the date format of the system locale.
  void ApplySystemLocale();

  // ITreeView
  TCanvas& MeasureCanvas() override { return FMeasure; }
  void SetControlSize(int width, int height) override;
  void RepaintNow() override;
  void Invalidate() override { update(); }
  bool HasFocus() const override { return hasFocus(); }
  void ShowEditor(const TNodeRect& rect, const std::string& text) override;
  void PlaceEditor(int left, int top, int width) override;
  void SetEditorWidth(int width) override;
  void HideEditor() override;
  bool EditorVisible() const override { return FEditor->isVisible(); }
  void SetEditorText(const std::string& text) override;
  void SetEditorError(const std::string& error) override;
  // The in-place editor's error while its text is no number; else empty.
  const QString& EditorError() const { return FEditorError; }
  void ShowStatus(const std::string& text) override;
  void ScrollIntoView(const TNodeRect& rect) override;
  bool AskYesNo(const std::string& question) override;
  void ShowInformation(const std::string& text) override;
  bool ExecuteDueDateDialog(int x, int y, TDateTime& date) override;
  void ShowDecisionPropertyMenu(const std::vector<TPropertyMenuItem>& items, int x, int y) override;
  void ShowPopupMenu(int x, int y) override;
  void SetHint(const std::string& hint) override;
  void BeginBand() override;
  void DrawBandFrame() override;

  // The dialogs the control opens; tests replace them.
  std::function<bool(const QString& text)> AskHandler;
  std::function<void(const QString& text)> InformHandler;
  std::function<bool(const QPoint& screen, TDateTime& date)> DueDateHandler;

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; }
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  QRect VisibleRect() const;
  // Shows text as the long hint in the window's status bar.
  void ShowStatusText(const QString& text);
  void EnsureBackBuffer();

  std::unique_ptr<TDecTree> FTree;
  TQtMeasureCanvas FMeasure;
  QLineEdit* FEditor;
  QMenu* FPropertyMenu;
  QPointer<QMenu> FPopupMenu;
  std::string FHint;
  QString FEditorError;
  // The back buffer of the rubber band covers the visible part only.
  QImage FBackBuffer;
  QPoint FBufferOrigin;
  // The buffer holds a band frame only after the first move; until then
  // the tree is painted as usual.
  bool FBandFrameShown = false;
  bool FBandRepaintAll = false;
};

} // namespace bw
