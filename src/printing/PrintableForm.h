// A window that can draw its content as pages into a print preview.
#pragma once

#include "foundation/PageMargins.h"

class QWidget;

namespace bw {

class TPrintPreview;

class IPrintableForm {
public:
  virtual ~IPrintableForm() = default;
  // Draws the content as pages into the preview: opens and closes the
  // document itself, keeps everything inside the margins, and draws the
  // margins as marks only when showMargins (pages for the screen).
  virtual void PrintTo(TPrintPreview& preview, const TPageMargins& margins, bool showMargins) = 0;
  // The window itself: owner and parent of the print window.
  virtual QWidget* GetForm() = 0;
};

} // namespace bw
