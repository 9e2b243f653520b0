// Value-text conversions of the tree file and the dialogs. Number texts are
// invariant: "." whatever the user's locale.
#pragma once

#include "foundation/Guid.h"
#include "foundation/SerialDate.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

// The text without the blanks and control characters around it.
std::string_view TrimBlanks(std::string_view text);

// "%4d%2d%2d" of the date part; the date 0 gives "".
std::string DateToYYYYMMDD(TDateTime date);
// Columns 1-4, 5-6 and 7-8; never raises, every failure gives 0.
TDateTime YYYYMMDDToDate(std::string_view text);

// 15 significant digits; fixed form when 0.00001 <= |v| < 1E15, else
// scientific with "E" (1E20, 5E-6).
std::string FloatToInvariantStr(double value);
// Blanks around the number and a sign allowed; ConvertError otherwise,
// including for infinities, NaN and values out of the Double range.
double InvariantStrToFloat(std::string_view text);
// False instead of the ConvertError.
bool TryInvariantStrToFloat(std::string_view text, double& value);
// A whole decimal integer (blanks around it and a sign allowed) within the
// range of int64; "1x" fails.
bool TryStrToInt64(std::string_view text, int64_t& value);
bool TryStrToInt(std::string_view text, int& value);

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

std::string FontStylesToStr(TFontStyles styles);
TFontStyles StrToFontStyles(std::string_view text);

// One to four numbers of the program's version joined by ".".
std::string GetVersionStr(int parts);

inline Guid IfThen(bool condition, const Guid& trueValue, const Guid& falseValue) {
  return condition ? trueValue : falseValue;
}

// Case-sensitive; an empty prefix always matches. Removes the prefix from s
// only when it matches and removePrefix is set.
bool StartsWith(std::string& s, std::string_view prefix, bool removePrefix);

} // namespace bw
