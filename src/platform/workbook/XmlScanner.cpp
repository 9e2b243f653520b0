#include "platform/workbook/XmlScanner.h"

#include "foundation/Utf8.h"
#include "platform/workbook/Workbook.h"

#include <charconv>

namespace bw {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view LocalPart(std::string_view name) {
  size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool ValidCodePoint(uint32_t cp) {
  return cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

} // namespace

void TXmlScanner::Malformed() const {
  throw MalformedXmlError();
}

size_t TXmlScanner::Find(std::string_view what, size_t from) const {
  size_t at = FXml.find(what, from);
  if (at == std::string_view::npos) Malformed();
  return at;
}

bool TXmlScanner::Attribute(std::string_view name, std::string_view& value) const {
  for (const auto& [n, v] : FAttributes)
    if (LocalPart(n) == name) {
      value = v;
      return true;
    }
  return false;
}

void TXmlScanner::ReadStartTag() {
  // FPos is at '<', followed by the name's first character.
  size_t i = FPos + 1;
  const size_t n = FXml.size();
  size_t nameStart = i;
  while (i < n && !IsSpace(FXml[i]) && FXml[i] != '/' && FXml[i] != '>')
    ++i;
  if (i == nameStart || i >= n) Malformed();
  FName = LocalPart(FXml.substr(nameStart, i - nameStart));
  FAttributes.clear();
  for (;;) {
    while (i < n && IsSpace(FXml[i]))
      ++i;
    if (i >= n) Malformed();
    if (FXml[i] == '>') {
      FPos = i + 1;
      return;
    }
    if (FXml[i] == '/') {
      if (i + 1 >= n || FXml[i + 1] != '>') Malformed();
      FPos = i + 2;
      FPendingEnd = true;
      return;
    }
    size_t attrStart = i;
    while (i < n && !IsSpace(FXml[i]) && FXml[i] != '=' && FXml[i] != '>' && FXml[i] != '/')
      ++i;
    std::string_view attrName = FXml.substr(attrStart, i - attrStart);
    while (i < n && IsSpace(FXml[i]))
      ++i;
    if (attrName.empty() || i >= n || FXml[i] != '=') Malformed();
    ++i;
    while (i < n && IsSpace(FXml[i]))
      ++i;
    if (i >= n || (FXml[i] != '"' && FXml[i] != '\'')) Malformed();
    char quote = FXml[i++];
    size_t close = FXml.find(quote, i);
    if (close == std::string_view::npos) Malformed();
    FAttributes.emplace_back(attrName, FXml.substr(i, close - i));
    i = close + 1;
  }
}

TXmlScanner::TToken TXmlScanner::Next() {
  if (FPendingEnd) {
    FPendingEnd = false;
    return tkEnd;
  }
  const size_t n = FXml.size();
  for (;;) {
    if (FPos >= n) return tkEof;
    if (FXml[FPos] != '<') {
      size_t lt = FXml.find('<', FPos);
      if (lt == std::string_view::npos) lt = n;
      FText = FXml.substr(FPos, lt - FPos);
      FCData = false;
      FPos = lt;
      return tkText;
    }
    std::string_view rest = FXml.substr(FPos);
    if (rest.starts_with("<?")) {
      FPos = Find("?>", FPos + 2) + 2;
    } else if (rest.starts_with("<!--")) {
      FPos = Find("-->", FPos + 4) + 3;
    } else if (rest.starts_with("<![CDATA[")) {
      size_t end = Find("]]>", FPos + 9);
      FText = FXml.substr(FPos + 9, end - FPos - 9);
      FCData = true;
      FPos = end + 3;
      return tkText;
    } else if (rest.starts_with("<!")) {
      // A document type declaration: skipped whole, internal subset and
      // quoted texts included; its entities are never used.
      size_t i = FPos + 2;
      int brackets = 0;
      for (;; ++i) {
        if (i >= n) Malformed();
        char c = FXml[i];
        if (c == '"' || c == '\'') {
          i = Find(std::string_view(&FXml[i], 1), i + 1);
        } else if (c == '[') {
          ++brackets;
        } else if (c == ']') {
          --brackets;
        } else if (c == '>' && brackets <= 0) {
          break;
        }
      }
      FPos = i + 1;
    } else if (rest.starts_with("</")) {
      size_t end = Find(">", FPos + 2);
      std::string_view name = FXml.substr(FPos + 2, end - FPos - 2);
      while (!name.empty() && IsSpace(name.back()))
        name.remove_suffix(1);
      if (name.empty()) Malformed();
      FName = LocalPart(name);
      FPos = end + 1;
      return tkEnd;
    } else {
      ReadStartTag();
      return tkStart;
    }
  }
}

void TXmlScanner::AppendText(std::string& out) const {
  if (FCData)
    out += FText;
  else
    AppendExpanded(FText, out);
}

void TXmlScanner::AppendExpanded(std::string_view raw, std::string& out) {
  size_t i = 0;
  while (i < raw.size()) {
    size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      out += raw.substr(i);
      return;
    }
    out += raw.substr(i, amp - i);
    size_t semi = raw.find(';', amp + 1);
    std::string_view entity = semi == std::string_view::npos || semi - amp > 12
                                  ? std::string_view()
                                  : raw.substr(amp + 1, semi - amp - 1);
    bool done = true;
    if (entity == "lt") {
      out += '<';
    } else if (entity == "gt") {
      out += '>';
    } else if (entity == "amp") {
      out += '&';
    } else if (entity == "quot") {
      out += '"';
    } else if (entity == "apos") {
      out += '\'';
    } else if (entity.size() > 1 && entity[0] == '#') {
      bool hex = entity[1] == 'x' || entity[1] == 'X';
      std::string_view digits = entity.substr(hex ? 2 : 1);
      uint32_t cp = 0;
      auto [p, ec] =
          std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (digits.empty() || ec != std::errc() || p != digits.data() + digits.size() ||
          !ValidCodePoint(cp))
        done = false;
      else
        AppendUtf8(out, cp);
    } else {
      done = false;
    }
    if (done) {
      i = semi + 1;
    } else {
      // Not an entity this reader knows: kept as written.
      out += '&';
      i = amp + 1;
    }
  }
}

void UnescapeSpreadsheetText(std::string& text) {
  if (text.find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
      uint32_t cp = 0;
      auto [p, ec] = std::from_chars(&text[i + 2], &text[i + 6], cp, 16);
      if (ec == std::errc() && p == &text[i + 6] && ValidCodePoint(cp)) {
        AppendUtf8(out, cp);
        i += 7;
        continue;
      }
    }
    out += text[i++];
  }
  text.swap(out);
}

} // namespace bw
