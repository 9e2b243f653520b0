#include "model/TreeContext.h"

#include "foundation/DateTime.h"
#include "foundation/SerialDate.h"

namespace bw {

std::string TTreeContext::ShortDateText(TDateTime date) const {
  if (ShortDateFormatter) return ShortDateFormatter(date);
  DecodedSerial d{};
  if (!TryDecodeSerial(date, d)) return {};
  return DateTime::Create(d.Year, d.Month, d.Day).ToShortDateString();
}

} // namespace bw
