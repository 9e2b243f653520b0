// An enhanced metafile of a drawing. The coordinates are the picture's
// pixels (the default mapping mode); the header gives the physical size at
// the drawing's resolution.
#pragma once

#include "export/MetafileCanvas.h"

namespace bw {

class TEmfCanvas : public TMetafileCanvas {
public:
  // A picture of width x height pixels at dpi pixels per inch; measure as
  // for TMetafileCanvas.
  TEmfCanvas(int width, int height, TCanvas& measure, int dpi = 96);
};

} // namespace bw
