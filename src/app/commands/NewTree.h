// File > New without the window's part (save prompt, history, file name):
// the tree becomes a single blank root with the options a new file starts
// with.
#pragma once

#include "app/text/LocaleCurrency.h"
#include "control/DecTree.h"

namespace bw {

// The root node object is kept and reset in place: its id, probability,
// chance type and expansion stay; it loses its children, its clone link and
// every decision property, and gets the caption and comment of a fresh tree.
// The options take the user's currency; the tree's font stays. The root ends
// up selected. The caller recalculates.
void ResetToNewTree(TDecTree& tree, const TLocaleCurrency& currency);

} // namespace bw
