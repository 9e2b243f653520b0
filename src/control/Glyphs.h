// The three 9 x 9 button pictures of the tree, built in code: the minus
// button on a node whose subtree is shown, the plus button on a collapsed
// one, and the downward triangle that opens the decision properties.
#pragma once

#include "canvas/Canvas.h"

namespace bw {

const TGlyph& MinusGlyph();
const TGlyph& PlusGlyph();
const TGlyph& RollDownGlyph();

} // namespace bw
