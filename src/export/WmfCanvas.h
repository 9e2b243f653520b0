// A placeable old-style metafile of a drawing. Its coordinates are 16-bit:
// a picture wider or higher than 32767 pixels is scaled down to fit,
// through the window extent that maps it onto the placeable header's
// frame; it is never wrapped. Texts are 8-bit, in Windows-1252.
#pragma once

#include "export/MetafileCanvas.h"

namespace bw {

class TWmfCanvas : public TMetafileCanvas {
public:
  static constexpr int MaxCoordinate = 32767;

  TWmfCanvas(int width, int height, TCanvas& measure, int dpi = 96);
};

} // namespace bw
