#include "foundation/Conversions.h"

#include "foundation/Exceptions.h"
#include "foundation/Version.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace bw {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
    s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
    s.remove_suffix(1);
  return s;
}

namespace {

std::string PadLeft(int value, size_t width) {
  std::string s = std::to_string(value);
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

// The integer conversion of the date columns: leading blanks, optional sign,
// digits to the end; at most 65535.
bool ColumnToInt(std::string_view s, int& value) {
  while (!s.empty() && s.front() == ' ')
    s.remove_prefix(1);
  if (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') return false;
  int64_t v;
  if (!TryStrToInt64(s, v) || v < 0 || v > 65535) return false;
  value = static_cast<int>(v);
  return true;
}

} // namespace

std::string DateToYYYYMMDD(TDateTime date) {
  if (date == 0) return {};
  DecodedSerial d{};
  if (!TryDecodeSerial(date, d)) return {};
  return PadLeft(d.Year, 4) + PadLeft(d.Month, 2) + PadLeft(d.Day, 2);
}

TDateTime YYYYMMDDToDate(std::string_view text) {
  if (text.empty()) return 0;
  auto column = [&](size_t pos, size_t len) {
    return pos >= text.size() ? std::string_view() : text.substr(pos, len);
  };
  int year, month, day;
  TDateTime result;
  if (!ColumnToInt(column(0, 4), year) || !ColumnToInt(column(4, 2), month) ||
      !ColumnToInt(column(6, 2), day) || !TryEncodeDate(year, month, day, result))
    return 0;
  return result;
}

std::string FloatToInvariantStr(double value) {
  if (value == 0) return "0";
  if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
  // d.dddddddddddddde[+-]x: fifteen significant digits, rounded once.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  size_t e = sci.find('e');
  std::string digits;
  digits += sci[0];
  digits.append(sci.substr(2, e - 2));
  int exponent = 0;
  std::string_view exp = sci.substr(e + 1);
  if (exp.front() == '+') exp.remove_prefix(1);
  std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out += digits;
    } else if (static_cast<int>(digits.size()) <= exponent + 1) {
      out += digits;
      out.append(static_cast<size_t>(exponent + 1) - digits.size(), '0');
    } else {
      out.append(digits, 0, static_cast<size_t>(exponent + 1));
      out += '.';
      out.append(digits, static_cast<size_t>(exponent + 1));
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

bool TryInvariantStrToFloat(std::string_view text, double& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars would also take "inf", "nan" and a second sign.
  if (text.empty() ||
      !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
    return false;
  double v;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v))
    return false;
  value = negative ? -v : v;
  return true;
}

double InvariantStrToFloat(std::string_view text) {
  double v;
  if (!TryInvariantStrToFloat(text, v))
    throw ConvertError("'" + std::string(text) + "' is not a valid floating point value");
  return v;
}

bool TryStrToInt64(std::string_view text, int64_t& value) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  if (text.empty()) return false;
  int64_t v;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v, 10);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return false;
  value = v;
  return true;
}

bool TryStrToInt(std::string_view text, int& value) {
  int64_t v;
  if (!TryStrToInt64(text, v) || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

std::string FontStylesToStr(TFontStyles styles) {
  static const std::pair<TFontStyle, const char*> Words[] = {{fsBold, "Bold"},
                                                             {fsItalic, "Italic"},
                                                             {fsUnderline, "Underline"},
                                                             {fsStrikeOut, "Strikeout"}};
  std::string out;
  for (auto [style, word] : Words) {
    if (!(styles & style)) continue;
    if (!out.empty()) out += ", ";
    out += word;
  }
  return out;
}

TFontStyles StrToFontStyles(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  TFontStyles styles = 0;
  if (upper.find("BOLD") != std::string::npos) styles |= fsBold;
  if (upper.find("ITALIC") != std::string::npos) styles |= fsItalic;
  if (upper.find("UNDERLINE") != std::string::npos) styles |= fsUnderline;
  if (upper.find("STRIKEOUT") != std::string::npos) styles |= fsStrikeOut;
  return styles;
}

std::string GetVersionStr(int parts) {
  const int numbers[] = {version::Major, version::Minor, version::Release, version::Build};
  std::string s = std::to_string(numbers[0]);
  for (int i = 1; i < std::clamp(parts, 1, 4); ++i) {
    s += '.';
    s += std::to_string(numbers[i]);
  }
  return s;
}

bool StartsWith(std::string& s, std::string_view prefix, bool removePrefix) {
  if (s.size() < prefix.size() || s.compare(0, prefix.size(), prefix) != 0) return false;
  if (removePrefix) s.erase(0, prefix.size());
  return true;
}

} // namespace bw
