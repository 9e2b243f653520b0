// Dates of HTTP headers and the local time zone. Dates are the program's
// TDateTime (days since 1899-12-30); "local" means the machine's zone rules
// for the date in question, so a summer date gets the summer offset.
// Everything here is safe on the transfer's worker thread.
#pragma once

#include "foundation/SerialDate.h"

#include <ctime>
#include <string>
#include <string_view>

namespace bw {

// UTC minus local time, in days, as it is now (positive west of Greenwich).
double GetTimeZoneBias();
// A UTC date turned into local time, with the offset in force at that
// instant.
TDateTime UTCToLocalTime(TDateTime utc);
// A local date turned into the UTC instant it names; the inverse of
// UTCToLocalTime.
TDateTime LocalTimeToUTC(TDateTime local);

// "+hhmm" or "-hhmm" (after trimming) as a fraction of a day, negative after
// "-"; 0 for any other text or for digits that do not convert.
TDateTime ParseTimeZoneOffset(std::string_view s);

// Reads the three date forms of HTTP/1.1 headers (RFC 1123 "Sun, 06 Nov 1994
// 08:49:37 GMT", RFC 850 "Sunday, 06-Nov-94 08:49:37 GMT" and asctime "Sun
// Nov  6 08:49:37 1994") with an optional numeric zone offset, and returns
// the local time. An unreadable date gives a date part of 0 (the offset is
// still applied); the empty text gives 0.
TDateTime ParseHTTPDate(std::string_view s);

// The UTC instant of a local date as a file time (whole seconds, the
// nanoseconds of the fraction kept to the millisecond). False for a date that
// cannot be decoded.
bool DateTimeToFileTime(TDateTime local, timespec& fileTime);

} // namespace bw
