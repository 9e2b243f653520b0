// The whole tree as one page of a print preview, fitted between the
// margins and keeping its proportions; the same drawing as on the screen.
#pragma once

#include "foundation/PageMargins.h"

namespace bw {

class TDecTree;
class TPrintPreview;

// Where the tree goes on a page: the scale Viewport / Extent applies to
// the tree's coordinates, whose origin is put at the top-left margin.
struct TTreeFit {
  // False when the margins leave no room: no tree is drawn.
  bool Draw = false;
  int Extent = 1;
  int Viewport = 1;
};

// pageW, pageH: the page; marginsW, marginsH: the left and right, and the
// top and bottom margins together, all in page pixels. treeW, treeH: the
// laid-out tree, drawn from (border, border).
TTreeFit FitTreeToPage(int pageW, int pageH, int marginsW, int marginsH, int treeW, int treeH,
                       int border);

// Records the tree as the preview's one page. Margins in hundredths of a
// millimetre when metric, else thousandths of an inch; showMargins draws
// them as marks (pages for the screen).
void PrintTreeTo(TPrintPreview& preview, TDecTree& tree, const TPageMargins& margins,
                 bool showMargins, bool metric);

} // namespace bw
