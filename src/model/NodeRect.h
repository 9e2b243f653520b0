// Pure operations on node rectangles: edges count as inside.
#pragma once

#include "model/TreeTypes.h"

#include <cmath>

namespace bw {

inline int NodeRectRight(const TNodeRect& r) {
  return r.Left + r.Width;
}
inline int NodeRectBottom(const TNodeRect& r) {
  return r.Top + r.Height;
}
inline int NodeRectCenterX(const TNodeRect& r) {
  return r.Left + r.Width / 2;
}
inline int NodeRectCenterY(const TNodeRect& r) {
  return r.Top + r.Height / 2;
}

inline bool PtInNodeRect(const TNodeRect& r, int x, int y) {
  return r.Left <= x && x <= NodeRectRight(r) && r.Top <= y && y <= NodeRectBottom(r);
}
inline bool YInNodeRect(const TNodeRect& r, int y) {
  return r.Top <= y && y <= NodeRectBottom(r);
}

inline TNodeRect RectToNodeRect(int left, int top, int right, int bottom) {
  return {left, top, right - left, bottom - top};
}

// Touching counts as overlapping.
inline bool NodeRectsOverlap(const TNodeRect& a, const TNodeRect& b) {
  return NodeRectRight(b) >= a.Left && NodeRectRight(a) >= b.Left && NodeRectBottom(b) >= a.Top &&
         NodeRectBottom(a) >= b.Top;
}

} // namespace bw
