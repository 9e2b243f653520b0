// The print settings that the print window takes and hands back, and the
// unit of their margins.
#pragma once

#include "foundation/PageMargins.h"

namespace bw {

struct TPrintSettings {
  bool Landscape = false;
  TPageMargins Margins;
};

constexpr TPrintSettings MakePrintSettings(bool landscape, const TPageMargins& margins) {
  return {landscape, margins};
}

// Whether the user's locale measures in the metric system, as the
// page-setup dialog does; decides the unit of TPageMargins.
bool IsMetricLocale();

} // namespace bw
