#include "widgets/DecTreeWidget.h"

#include "control/Band.h"
#include "widgets/EditDueDateForm.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QStatusTipEvent>
#include <QTextDocument>
#include <QToolTip>

namespace bw {

namespace {

QString Q(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string U(const QString& s) {
  return s.toStdString();
}

TShiftState ShiftOf(Qt::KeyboardModifiers m) {
  return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
          m.testFlag(Qt::AltModifier)};
}

TKey KeyOf(int key) {
  switch (key) {
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return TKey::Tab;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return TKey::Enter;
  case Qt::Key_F2:
    return TKey::F2;
  case Qt::Key_F10:
    return TKey::F10;
  case Qt::Key_Left:
    return TKey::Left;
  case Qt::Key_Right:
    return TKey::Right;
  case Qt::Key_Up:
    return TKey::Up;
  case Qt::Key_Down:
    return TKey::Down;
  case Qt::Key_Insert:
    return TKey::Insert;
  case Qt::Key_Delete:
    return TKey::Delete;
  case Qt::Key_Escape:
    return TKey::Escape;
  case Qt::Key_Menu:
    return TKey::Menu;
  default:
    return TKey::Other;
  }
}

QString Title() {
  QString name = QApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Brantwick") : name;
}

} // namespace

TDecTreeWidget::TDecTreeWidget(QWidget* parent)
    : QWidget(parent), FTree(std::make_unique<TDecTree>(this)), FMeasure(this),
      FEditor(new QLineEdit(this)), FPropertyMenu(new QMenu(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 100);
  FEditor->setFrame(false);
  // The editor's rectangles are those of the texts it edits, so the edit
  // sits exactly over the text it replaces; Qt's line edit keeps 2 pixels on either
  // side of its text, which would scroll the caption of a box editor (the
  // caption plus three blanks wide) and cut its first letter.
  FEditor->setTextMargins(-2, 0, -2, 0);
  QPalette palette = FEditor->palette();
  palette.setColor(QPalette::Base, QColor(210, 210, 255));
  FEditor->setPalette(palette);
  FEditor->hide();
  FEditor->installEventFilter(this);
  connect(FEditor, &QLineEdit::textEdited, this,
          [this](const QString& text) { FTree->InplaceEditChange(U(text)); });
  ApplySystemLocale();
}

TDecTreeWidget::~TDecTreeWidget() {
  FTree->SetView(nullptr);
}

void TDecTreeWidget::ApplySystemLocale() {
  QLocale locale = QLocale();
  FTree->Locale.DecimalSeparator = U(locale.decimalPoint());
  FTree->Locale.ThousandSeparator = U(locale.groupSeparator());
  FTree->ShortDateFormatter = [](TDateTime date) {
    return U(QLocale().toString(SerialToDate(date), QLocale::ShortFormat));
  };
}

QFont TDecTreeWidget::DefaultQFont() {
  return FMeasure.Measurer().Font(FTree->DefaultFont);
}

void TDecTreeWidget::SetControlSize(int width, int height) {
  if (width != this->width() || height != this->height()) resize(width, height);
}

void TDecTreeWidget::RepaintNow() {
  if (FTree->BandActive()) FBandRepaintAll = true;
  repaint();
}

QRect TDecTreeWidget::VisibleRect() const {
  QRect visible = visibleRegion().boundingRect();
  return visible.isEmpty() ? rect() : visible;
}

void TDecTreeWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  QRect area = event->rect() & VisibleRect();
  if (FTree->BandActive() && FBandFrameShown && !FBackBuffer.isNull()) {
    painter.fillRect(area, Qt::white);
    painter.drawImage(area, FBackBuffer, area.translated(-FBufferOrigin));
    return;
  }
  painter.fillRect(area, Qt::white);
  TQtCanvas canvas(painter, {.FontReferenceDpi = 0, .Measurer = &FMeasure.Measurer()});
  canvas.SetPaintArea({area.left(), area.top(), area.right() + 1, area.bottom() + 1});
  FTree->PaintTo(canvas, true);
}

void TDecTreeWidget::EnsureBackBuffer() {
  QRect visible = VisibleRect();
  if (FBackBuffer.width() < visible.width() || FBackBuffer.height() < visible.height() ||
      FBufferOrigin != visible.topLeft()) {
    if (FBackBuffer.width() < visible.width() || FBackBuffer.height() < visible.height())
      FBackBuffer = QImage(visible.size(), QImage::Format_RGB32);
    FBufferOrigin = visible.topLeft();
    FBackBuffer.fill(Qt::white);
  }
}

void TDecTreeWidget::BeginBand() {
  EnsureBackBuffer();
  FBackBuffer.fill(Qt::white);
  FTree->LastBandRect = {};
  FBandRepaintAll = false;
  FBandFrameShown = false;
}

void TDecTreeWidget::DrawBandFrame() {
  EnsureBackBuffer();
  const TRect band = FTree->GetRubberBandRect();
  const TRect last = FTree->LastBandRect;
  {
    QPainter painter(&FBackBuffer);
    painter.translate(-FBufferOrigin);
    painter.fillRect(QRect(QPoint(last.Left, last.Top), QPoint(last.Right + 1, last.Bottom + 1)),
                     Qt::white);
    TQtCanvas canvas(painter, {.FontReferenceDpi = 0, .Measurer = &FMeasure.Measurer()});
    QRect visible(FBufferOrigin, FBackBuffer.size());
    canvas.SetPaintArea({visible.left(), visible.top(), visible.right() + 1, visible.bottom() + 1});
    FTree->PaintTo(canvas, true);
  }
  const TRect local = {band.Left - FBufferOrigin.x(), band.Top - FBufferOrigin.y(),
                       band.Right - FBufferOrigin.x(), band.Bottom - FBufferOrigin.y()};
  BlendBand(reinterpret_cast<uint32_t*>(FBackBuffer.bits()), FBackBuffer.width(),
            FBackBuffer.height(), static_cast<int>(FBackBuffer.bytesPerLine() / 4), local);
  QRect changed = QRect(QPoint(band.Left, band.Top), QPoint(band.Right, band.Bottom)) |
                  QRect(QPoint(last.Left, last.Top), QPoint(last.Right, last.Bottom));
  // A selection that changed shows outside the band too.
  if (FBandRepaintAll)
    update();
  else
    update(changed.adjusted(0, 0, 1, 1));
  FBandRepaintAll = false;
  FBandFrameShown = true;
  FTree->LastBandRect = band;
}

void TDecTreeWidget::ShowEditor(const TNodeRect& rect, const std::string& text) {
  FEditor->setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
  FEditor->setFont(DefaultQFont());
  FEditor->setText(Q(text));
  FEditor->selectAll();
  FEditor->show();
  FEditor->setFocus();
}

void TDecTreeWidget::ScrollIntoView(const TNodeRect& rect) {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* area = qobject_cast<QScrollArea*>(w)) {
      // The centre with half the size as margins, plus a little room around.
      area->ensureVisible(rect.Left + rect.Width / 2, rect.Top + rect.Height / 2,
                          rect.Width / 2 + 10, rect.Height / 2 + 10);
      return;
    }
  }
}

void TDecTreeWidget::PlaceEditor(int left, int top, int width) {
  FEditor->setGeometry(left, top, width, FEditor->height());
  // Back to the start and forth again: the text scrolls back into view.
  int caret = FEditor->cursorPosition();
  FEditor->setCursorPosition(0);
  FEditor->setCursorPosition(caret);
  FEditor->update();
}

void TDecTreeWidget::SetEditorWidth(int width) {
  FEditor->resize(width, FEditor->height());
}

void TDecTreeWidget::HideEditor() {
  // The focus comes back to the control, but not when the edit ends
  // because the user gave it to another widget.
  const bool giveBack = FEditor->hasFocus() || !isActiveWindow();
  FEditor->hide();
  if (giveBack) setFocus();
}

void TDecTreeWidget::SetEditorText(const std::string& text) {
  FEditor->setText(Q(text));
  FEditor->setCursorPosition(static_cast<int>(FEditor->text().size()));
}

void TDecTreeWidget::SetEditorError(const std::string& error) {
  QPalette colours = FEditor->palette();
  colours.setColor(QPalette::Text, error.empty() ? palette().color(QPalette::Text) : Qt::red);
  FEditor->setPalette(colours);
  FEditorError = Q(error);
  ShowStatusText(FEditorError);
}

void TDecTreeWidget::ShowStatus(const std::string& text) {
  ShowStatusText(Q(text));
}

bool TDecTreeWidget::AskYesNo(const std::string& question) {
  if (AskHandler) return AskHandler(Q(question));
  return QMessageBox::question(this, Title(), Q(question), QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void TDecTreeWidget::ShowInformation(const std::string& text) {
  if (InformHandler) return InformHandler(Q(text));
  QMessageBox::information(this, Title(), Q(text));
}

bool TDecTreeWidget::ExecuteDueDateDialog(int x, int y, TDateTime& date) {
  QPoint screen = mapToGlobal(QPoint(x, y));
  if (DueDateHandler) return DueDateHandler(screen, date);
  return TEditDueDateForm::Execute(screen.x(), screen.y(), date, SerialToDate(FTree->Clock()));
}

void TDecTreeWidget::ShowDecisionPropertyMenu(const std::vector<TPropertyMenuItem>& items, int x,
                                              int y) {
  FPropertyMenu->clear();
  for (const TPropertyMenuItem& item : items) {
    QAction* action;
    if (item.Caption == "-") {
      action = FPropertyMenu->addSeparator();
    } else {
      action = FPropertyMenu->addAction(Q(item.Caption));
      action->setCheckable(true);
      action->setChecked(item.Checked);
      action->setEnabled(item.Enabled);
      std::string name = item.Name;
      connect(action, &QAction::triggered, this, [this, name] { FTree->PopupItemClick(name); });
    }
    action->setObjectName(Q(item.Name));
  }
  FPropertyMenu->popup(mapToGlobal(QPoint(x, y)));
}

void TDecTreeWidget::ShowPopupMenu(int x, int y) {
  if (FPopupMenu) FPopupMenu->popup(mapToGlobal(QPoint(x, y)));
}

void TDecTreeWidget::SetHint(const std::string& hint) {
  if (hint == FHint) return;
  FHint = hint;
  QToolTip::hideText();
  // The part after "|" is the long hint, for the status bar; a hint
  // without one is long and short at once.
  QString text = Q(hint);
  qsizetype bar = text.indexOf('|');
  ShowStatusText(bar < 0 ? text : text.mid(bar + 1));
}

void TDecTreeWidget::ShowStatusText(const QString& text) {
  if (QWidget* top = window()) {
    QStatusTipEvent tip(text);
    QApplication::sendEvent(top, &tip);
  }
}

bool TDecTreeWidget::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Tab and Backtab select the next element; they never move the focus.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    QString text = Q(FHint);
    qsizetype bar = text.indexOf('|');
    QString shortHint = bar < 0 ? text : text.left(bar);
    if (shortHint.isEmpty()) {
      QToolTip::hideText();
    } else {
      // Plain text, always: a caption or comment holding markup is shown as
      // it was typed.
      QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(shortHint), this, {}, 10000);
    }
    return true;
  }
  return QWidget::event(event);
}

bool TDecTreeWidget::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FEditor) {
    // The focus going to another widget or window ends the edit; a menu
    // opening over it (the editor's own, the window's) does not: a command
    // chosen there ends it itself.
    if (event->type() == QEvent::FocusOut && FEditor->isVisible()) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason)
        FTree->HideInplaceEditor();
    }
    if (event->type() == QEvent::ShortcutOverride) {
      // Undo and redo belong to the window's menu, not to the edit box: they
      // undo whole steps of the tree, the edit's own text included.
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
          (key->modifiers() == Qt::ControlModifier && key->key() == Qt::Key_Y))
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      TKey k = KeyOf(key->key());
      if (k == TKey::Enter || k == TKey::Escape) {
        FTree->InplaceEditKeyDown(k, ShiftOf(key->modifiers()));
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TDecTreeWidget::keyPressEvent(QKeyEvent* event) {
  // What the open editor leaves alone (arrows up and down, Tab, Insert, F2,
  // the menu keys) comes on to its parent, this control; it must not move
  // the selection or change the tree under the edit, so the editor keeps
  // such keys to itself.
  if (FEditor->isVisible() && FEditor->hasFocus()) {
    event->accept();
    return;
  }
  TShiftState shift = ShiftOf(event->modifiers());
  TKey key = KeyOf(event->key());
  if (event->key() == Qt::Key_Backtab) shift.Shift = true;
  if (key != TKey::Other && FTree->KeyDown(key, shift)) {
    event->accept();
    return;
  }
  QString text = event->text();
  const auto mods = event->modifiers();
  if (!text.isEmpty() && text[0].isPrint() && !mods.testFlag(Qt::ControlModifier) &&
      !mods.testFlag(Qt::AltModifier) && !mods.testFlag(Qt::MetaModifier)) {
    FTree->KeyPress(U(text));
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TDecTreeWidget::mousePressEvent(QMouseEvent* event) {
  TMouseButton button = event->button() == Qt::LeftButton    ? TMouseButton::Left
                        : event->button() == Qt::RightButton ? TMouseButton::Right
                                                             : TMouseButton::Middle;
  QPoint p = event->position().toPoint();
  FTree->MouseDown(button, ShiftOf(event->modifiers()), p.x(), p.y());
  event->accept();
}

void TDecTreeWidget::mouseMoveEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  FTree->MouseMove(ShiftOf(event->modifiers()), p.x(), p.y());
  event->accept();
}

void TDecTreeWidget::mouseReleaseEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  TMouseButton button = event->button() == Qt::LeftButton    ? TMouseButton::Left
                        : event->button() == Qt::RightButton ? TMouseButton::Right
                                                             : TMouseButton::Middle;
  FTree->MouseUp(button, ShiftOf(event->modifiers()), p.x(), p.y());
  event->accept();
}

void TDecTreeWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt sends the double click in place of the second press: other buttons
  // behave as if pressed again.
  if (event->button() != Qt::LeftButton) return mousePressEvent(event);
  QPoint p = event->position().toPoint();
  FTree->DblClick(p.x(), p.y());
  event->accept();
}

void TDecTreeWidget::leaveEvent(QEvent* event) {
  FTree->MouseLeave();
  QWidget::leaveEvent(event);
}

void TDecTreeWidget::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard) {
    FTree->ContextMenuFromKeyboard();
  } else if (FPopupMenu) {
    FPopupMenu->popup(event->globalPos());
  }
  event->accept();
}

} // namespace bw
