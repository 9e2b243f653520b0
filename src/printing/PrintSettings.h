// The print settings that the print window takes and hands back, and the
// unit of their margins.
#pragma once

#include "foundation/PageMargins.h"

#include <string>

namespace bw {

struct TPrintSettings {
  bool Landscape = false;
  TPageMargins Margins;
  // The file that printing to a PDF proposes first; none if empty.
  std::string ProposedPdf;
  // Handed back: the PDF file last printed to; empty when none was.
  std::string PrintedPdf;
};

inline TPrintSettings MakePrintSettings(bool landscape, const TPageMargins& margins) {
  TPrintSettings settings;
  settings.Landscape = landscape;
  settings.Margins = margins;
  return settings;
}

// Whether the user's locale measures in the metric system, as the
// page-setup dialog does; decides the unit of TPageMargins.
bool IsMetricLocale();

} // namespace bw
