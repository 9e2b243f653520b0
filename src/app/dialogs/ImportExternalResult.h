// What the spreadsheet-import dialog hands back to the payoff dialog.
#pragma once

#include "model/Currency.h"

#include <string>
#include <utility>

namespace bw {

// Changed is true only when the user confirmed; then the reference (the
// source's text after "Import: ") and the value read from the workbook.
struct TImportExternalDialogResult {
  bool Changed = false;
  std::string Reference;
  Currency Value = 0;
};

inline void ImportNotChanged(TImportExternalDialogResult& result) {
  result.Changed = false;
}
inline void ImportChanged(TImportExternalDialogResult& result, std::string reference,
                          Currency value) {
  result.Changed = true;
  result.Reference = std::move(reference);
  result.Value = value;
}

} // namespace bw
