// The base of the program's own windows and dialogs: a dialog that may be
// given an owner window and is then freed with it, even when nobody closes
// it; with the free-on-close flag it frees itself once closed.
#pragma once

#include <QDialog>
#include <QPointer>

namespace bw {

class TParentedForm : public QDialog {
  Q_OBJECT
public:
  // ParentWnd null: a window of its own, freed by whoever made it.
  explicit TParentedForm(QWidget* parentWnd = nullptr,
                         Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint |
                                                 Qt::WindowSystemMenuHint |
                                                 Qt::WindowCloseButtonHint);

  QWidget* ParentWnd() const { return FParentWnd; }
  bool FreeOnClose() const { return FFreeOnClose; }
  void SetFreeOnClose(bool on) { FFreeOnClose = on; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  QPointer<QWidget> FParentWnd;
  bool FFreeOnClose = false;
};

} // namespace bw
