// The sheet on which the print preview shows one page: a paper with a thin
// border and a drop shadow, drawn once into an off-screen image and copied
// to the screen on every paint. The page itself is drawn by the owner
// through OnPaint, and only when the page was marked as changed.
#pragma once

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <functional>

class QMouseEvent;
class QPainter;
class QPicture;

namespace bw {

// Cursor numbers of the preview: 0 the default arrow, 10 the open hand
// shown over a sheet that can be dragged, 11 the closed hand while it is.
constexpr int crDefault = 0;
constexpr int crHand = 10;
constexpr int crGrab = 11;
QCursor CursorFromNumber(int number);

class TPaperPreview : public QWidget {
  Q_OBJECT
public:
  explicit TPaperPreview(QWidget* parent = nullptr);

  QColor PaperColor() const { return FPaperColor; }
  void SetPaperColor(const QColor& color);
  QColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(const QColor& color);
  QColor ShadowColor() const { return FShadowColor; }
  void SetShadowColor(const QColor& color);
  // The control's own colour, shown in the two corners the shadow leaves.
  QColor Color() const { return FColor; }
  void SetColor(const QColor& color);
  int BorderSize() const { return FBorderSize; }
  void SetBorderSize(int value);
  int ShadowSize() const { return FShadowSize; }
  void SetShadowSize(int value);

  // The paper without border and shadow; setting it sizes the control.
  int PaperWidth() const;
  int PaperHeight() const;
  void SetPaperWidth(int value);
  void SetPaperHeight(int value);
  QSize PaperSize() const { return {PaperWidth(), PaperHeight()}; }
  void SetPaperSize(const QSize& size);

  // Moves and sizes the control; the off-screen image follows at once, so
  // that SurfaceSized answers for the new size.
  void SetBounds(const QRect& bounds);
  // The off-screen image has the control's size. False after a size the
  // memory could not take: nothing is painted until the next size.
  bool SurfaceSized() const { return FSurfaceSized; }
  // Images larger than this many pixels count as too large for memory; 0
  // leaves the decision to the allocation (tests set a limit).
  qint64 MaxSurfacePixels = 0;

  // The page rectangle inside border and shadow (right and bottom outside).
  QRect PageRect() const;
  // Marks the page as not drawn: the next paint draws it again.
  void InvalidatePage();
  // Whether frame and page are in the off-screen image; for tests.
  bool FrameDrawn() const { return FFrameDrawn; }
  bool PageDrawn() const { return FPageDrawn; }
  // The off-screen image as the next paint would copy it.
  const QImage& Surface();

  QMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
  int CursorNumber() const { return FCursorNumber; }
  void SetCursorNumber(int number);

  std::function<void(TPaperPreview& sender, QPainter& canvas, const QRect& pageRect)> OnPaint;
  std::function<void(TPaperPreview& sender)> OnResize;
  std::function<void(TPaperPreview& sender, QMouseEvent& event)> OnMouseDown;
  std::function<void(TPaperPreview& sender, QMouseEvent& event)> OnMouseMove;
  std::function<void(TPaperPreview& sender, QMouseEvent& event)> OnMouseUp;
  std::function<void(TPaperPreview& sender)> OnClick;
  std::function<void(TPaperPreview& sender)> OnDblClick;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void SizeSurface();
  void DrawFrame();
  void Render();
  void InvalidateFrame();
  int FrameWidth() const { return 2 * FBorderSize + FShadowSize; }

  QColor FPaperColor = Qt::white;
  QColor FBorderColor = Qt::black;
  QColor FShadowColor;
  QColor FColor;
  int FBorderSize = 1;
  int FShadowSize = 3;
  int FCursorNumber = crDefault;
  QPointer<QMenu> FPopupMenu;
  QImage FSurface;
  bool FSurfaceSized = false;
  bool FFrameDrawn = false;
  bool FPageDrawn = false;
  bool FPressed = false;
};

// The look of the paper control, kept by the print preview as one group.
class TPaperPreviewOptions {
public:
  TPaperPreviewOptions();

  QColor PaperColor() const { return FPaperColor; }
  void SetPaperColor(const QColor& value);
  QColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(const QColor& value);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int value);
  QColor ShadowColor() const { return FShadowColor; }
  void SetShadowColor(const QColor& value);
  int ShadowWidth() const { return FShadowWidth; }
  void SetShadowWidth(int value);
  int Cursor() const { return FCursor; }
  void SetCursor(int value);
  int DragCursor() const { return FDragCursor; }
  void SetDragCursor(int value);
  int GrabCursor() const { return FGrabCursor; }
  void SetGrabCursor(int value);
  QMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu* value);

  // Takes every value of source through the setters, in a fixed order: one
  // OnChange per value that differs.
  void Assign(const TPaperPreviewOptions& source);
  void AssignTo(TPaperPreviewOptions& destination) const { destination.Assign(*this); }
  // The look onto a paper control; drag and grab cursors stay here.
  void AssignTo(TPaperPreview& paper) const;

  std::function<void(TPaperPreviewOptions& sender)> OnChange;

private:
  template <typename T>
  void Set(T& field, const T& value);

  QColor FPaperColor = Qt::white;
  QColor FBorderColor = Qt::black;
  int FBorderWidth = 1;
  QColor FShadowColor;
  int FShadowWidth = 3;
  int FCursor = crDefault;
  int FDragCursor = crHand;
  int FGrabCursor = crGrab;
  QPointer<QMenu> FPopupMenu;
};

// The button-shadow colour of the application's palette.
QColor DefaultShadowColor();

// Draws an image stretched into the rectangle, pixel for pixel (no
// smoothing).
void DrawBitmapAsDIB(QPainter& painter, const QRect& target, const QImage& image);
// Draws a page through an image of its extent, stretched into the
// rectangle: for printers that cannot take the page's vector drawing.
void DrawGraphic(QPainter& painter, const QRect& target, const QPicture& picture,
                 const QSize& extent);

// Plays a recorded page into a rectangle of the painter, whatever the
// resolution of the painter's device.
void PlayPage(QPainter& painter, const QRect& target, const QPicture& picture, const QSize& extent);

} // namespace bw
