#include "treefile/TreeFileFormat.h"

#include "foundation/Assert.h"
#include "foundation/Conversions.h"
#include "foundation/Exceptions.h"
#include "foundation/Utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace bw::treefile {

const char* const BranchElementNames[BranchElementCount] = {"Caption",
                                                            "Comment",
                                                            "Type",
                                                            "ChanceType",
                                                            "Probability",
                                                            "Payoff",
                                                            "ChildrenVisible",
                                                            "DecisionFixed",
                                                            "DecisionShowCaption",
                                                            "DecisionShowOwner",
                                                            "DecisionShowDueDate",
                                                            "DecisionMultiShowBudget",
                                                            "DecisionMultiShowInvestment",
                                                            "DecisionShowFixed",
                                                            "DecisionCaption",
                                                            "DecisionOwner",
                                                            "DecisionDueDate",
                                                            "DecisionMultiBudget",
                                                            "PayoffSource",
                                                            "Branches"};

const char* const TreeElementNames[TreeElementCount] = {
    "OutlineCodes",      "StatusDate",        "HighlightClones", "ShowPayoff", "CurrencyDecimals",
    "CurrencyPosFormat", "CurrencyNegFormat", "CurrencySymbol",  "Font",       "Branch"};

const char* const FontElementNames[FontElementCount] = {"FontName", "FontSize", "FontStyle"};

std::string IntegerToStr(int64_t value) {
  // to_chars, not printf: the user's locale must never reach a file.
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

int StrToInteger(std::string_view text, std::string_view element) {
  if (text.empty())
    throw ConvertError("Element '" + std::string(element) + "' is missing or empty");
  int value;
  if (!TryStrToInt(text, value))
    throw ConvertError("'" + std::string(text) + "' is not a valid integer value in '" +
                       std::string(element) + "'");
  return value;
}

bool StrToFlag(std::string_view text, std::string_view element) {
  return StrToInteger(text, element) != 0;
}

std::string MoneyToStr(Currency value) {
  return CurrencyToDecimal(value);
}

Currency StrToMoney(std::string_view text) {
  Currency result;
  if (TryDecimalToCurrency(text, result)) return result;
  double value = InvariantStrToFloat(text);
  if (!TryDoubleToCurrency(value, result))
    throw ConvertError("'" + std::string(text) + "' is not a valid currency value");
  return result;
}

const char* NodeTypeToStr(TNodeType type) {
  switch (type) {
  case ntMultiDecision:
    return "MultiDecision";
  case ntChance:
    return "Chance";
  case ntDecision:
  default:
    return "Decision";
  }
}

TNodeType StrToNodeType(std::string_view text) {
  if (text == "Decision") return ntDecision;
  if (text == "MultiDecision") return ntMultiDecision;
  if (text == "Chance") return ntChance;
  throw Exception("Type must be 'Decision', 'MultiDecision' or 'Chance'.");
}

const char* ChanceTypeToStr(TChanceType type) {
  return type == ctAnySum ? "AnySum" : "Percent";
}

TChanceType StrToChanceType(std::string_view text) {
  if (text.empty() || text == "Percent") return ctPercent;
  if (text == "AnySum") return ctAnySum;
  throw Exception("ChanceType must be 'Percent', or 'AnySum'.");
}

std::string CommentToFile(std::string_view comment) {
  std::string out;
  out.reserve(comment.size());
  for (size_t i = 0; i < comment.size(); ++i) {
    if (comment[i] == '\r' && i + 1 < comment.size() && comment[i + 1] == '\n') continue;
    out += comment[i];
  }
  return out;
}

std::string CommentFromFile(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

namespace {

// Length of the well-formed UTF-8 sequence at s[i] and its code point, or 0
// when the bytes there are not one (overlong forms and surrogates included).
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t len;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool IsXmlChar(char32_t cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  return cp != 0xFFFE && cp != 0xFFFF;
}

} // namespace

bool IsValidUtf8(std::string_view text) {
  char32_t cp;
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string CheckedText(std::string text, std::string_view element) {
  if (!IsValidUtf8(text))
    throw Exception("'" + std::string(element) +
                    "' holds bytes that are not UTF-8 text: the file is damaged or in an "
                    "encoding that is not supported");
  return text;
}

void AppendXmlText(std::string& out, std::string_view text, bool inAttribute) {
  size_t plain = 0; // start of the run of bytes copied unchanged
  auto flush = [&](size_t end) { out.append(text.data() + plain, end - plain); };
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    const char* escape = nullptr;
    if (c == '\r') {
      // A raw CR would be read back as a line feed.
      flush(i);
      out += "&#13;";
      plain = ++i;
      continue;
    }
    if (c >= 0x20 && c < 0x80) {
      if (c == '&')
        escape = "&amp;";
      else if (c == '<')
        escape = "&lt;";
      else if (c == '>')
        escape = "&gt;";
      else if (c == '"' && inAttribute)
        escape = "&quot;";
      if (!escape) {
        ++i;
        continue;
      }
      flush(i);
      out += escape;
      plain = ++i;
      continue;
    }
    char32_t cp;
    size_t len = DecodeUtf8(text, i, cp);
    if (len != 0 && IsXmlChar(cp)) {
      i += len;
      continue;
    }
    flush(i);
    if (len == 0) {
      out += "\xEF\xBF\xBD"; // U+FFFD for a byte that starts no UTF-8 sequence
      len = 1;
    }
    i += len;
    plain = i;
  }
  flush(text.size());
}

namespace {

// The reference at text[i] ('&'): its length and the code point it stands
// for, or 0 when it is not a reference XML defines (kept as it stands).
size_t ParseReference(std::string_view text, size_t i, char32_t& cp) {
  size_t semicolon = text.find(';', i + 1);
  if (semicolon == std::string_view::npos || semicolon - i > 12) return 0;
  std::string_view name = text.substr(i + 1, semicolon - i - 1);
  const size_t length = semicolon - i + 1;
  if (name == "lt")
    cp = '<';
  else if (name == "gt")
    cp = '>';
  else if (name == "amp")
    cp = '&';
  else if (name == "apos")
    cp = '\'';
  else if (name == "quot")
    cp = '"';
  else if (name.size() >= 2 && name[0] == '#') {
    bool hex = name[1] == 'x';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    uint32_t value = 0;
    auto res = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (res.ec != std::errc() || res.ptr != digits.data() + digits.size()) return 0;
    // Beyond Unicode: no character, dropped like the characters XML forbids.
    cp = value > 0x10FFFF ? 0 : static_cast<char32_t>(value);
  } else {
    return 0;
  }
  return length;
}

bool IsXmlCodePoint(char32_t cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  if (cp >= 0xD800 && cp <= 0xDFFF) return false;
  return cp != 0xFFFE && cp != 0xFFFF && cp <= 0x10FFFF;
}

} // namespace

bool NeedsDecoding(std::string_view text) {
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    // '&' starts a reference; control characters and U+FFFE/U+FFFF (EF BF
    // BE/BF) may be characters XML forbids.
    if (c == '&' || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xEF) return true;
  }
  return false;
}

void AppendDecodedXmlText(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '&') {
      char32_t cp;
      if (size_t length = ParseReference(text, i, cp)) {
        if (IsXmlCodePoint(cp)) AppendUtf8(out, cp);
        i += length;
        continue;
      }
      out += '&';
      ++i;
      continue;
    }
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      ++i;
      continue;
    }
    if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
      i += 3;
      continue;
    }
    out += text[i++];
  }
}

Guid TIdMap::ForNumber(int64_t number) {
  if (number > MaxIntId) {
    auto [it, added] = FBeyond.try_emplace(number);
    if (added) it->second = Guid::NewGuid();
    return it->second;
  }
  while (FTable.Count() <= number)
    FTable.Add(Guid::NewGuid());
  return FTable[static_cast<int>(number)];
}

namespace {

// The text after the first character, whatever that character is.
std::string_view AfterFirstChar(std::string_view s) {
  if (s.empty()) return s;
  size_t skip = 1;
  while (skip < s.size() && (static_cast<unsigned char>(s[skip]) & 0xC0) == 0x80)
    ++skip;
  return s.substr(skip);
}

} // namespace

namespace {

constexpr std::array<int8_t, 256> HexDigits = [] {
  std::array<int8_t, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = c >= '0' && c <= '9'   ? static_cast<int8_t>(c - '0')
           : c >= 'a' && c <= 'f' ? static_cast<int8_t>(c - 'a' + 10)
                                  : int8_t(-1);
  return t;
}();

int HexDigit(char c) {
  return HexDigits[static_cast<unsigned char>(c)];
}

// The form the writer writes (8-4-4-4-12 lower-case digits) at once; any
// other through Guid::Parse, which takes every form and reports faults.
Guid ParseGuid(std::string_view text) {
  if (text.size() == 36 && text[8] == '-' && text[13] == '-' && text[18] == '-' &&
      text[23] == '-') {
    uint8_t bytes[16];
    size_t b = 0;
    bool ok = true;
    for (size_t i = 0; i < 36 && ok;) {
      if (i == 8 || i == 13 || i == 18 || i == 23) {
        ++i;
        continue;
      }
      int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
      ok = hi >= 0 && lo >= 0;
      bytes[b++] = static_cast<uint8_t>(hi * 16 + lo);
      i += 2;
    }
    if (ok) {
      Guid g;
      g.D1 =
          uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
      g.D2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
      g.D3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
      std::memcpy(g.D4, bytes + 8, 8);
      return g;
    }
  }
  return Guid::Parse(text);
}

} // namespace

TNodeIds ReadNodeIds(std::string_view id, std::string_view ref, TIdMap& idMap) {
  TNodeIds ids;
  if (id.find('-') != std::string_view::npos) {
    ids.Id = ParseGuid(id);
    if (!ref.empty()) ids.Ref = ParseGuid(ref);
    return ids;
  }
  std::string_view idText = AfterFirstChar(id);
  int64_t idNumber;
  if (!TryStrToInt64(idText, idNumber))
    throw ConvertError("'" + std::string(idText) + "' is not a valid integer value in 'id'");
  if (idNumber > MaxIntId)
    throw InvalidOperationException("IntId greater than 100000 not supported");
  // A "-" would have made the id a GUID text.
  BW_ASSERT(idNumber >= 0);
  int64_t refNumber;
  if (!TryStrToInt64(AfterFirstChar(ref), refNumber)) refNumber = -1;
  if (refNumber < -1) throw InvalidOperationException("IntRef less than -1 not supported");
  ids.Id = idMap.ForNumber(idNumber);
  if (refNumber != -1) ids.Ref = idMap.ForNumber(refNumber);
  return ids;
}

} // namespace bw::treefile
