// A forward-only reader of XML text for the large parts of a workbook (the
// worksheets and the shared strings): it hands out tags and character data
// one at a time and builds no tree, so a sheet of a million cells costs the
// cells and nothing else. It expands no entities but the five predefined
// ones and character references, and never reads past its text.
#pragma once

#include "platform/workbook/Workbook.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bw {

// Markup that breaks off or is no XML. The reader of the part turns it into
// a message that names the workbook and the part.
class MalformedXmlError : public WorkbookError {
public:
  MalformedXmlError() : WorkbookError("The workbook holds a damaged XML part.") {}
  const char* ClassName() const noexcept override { return "MalformedXmlError"; }
};

class TXmlScanner {
public:
  enum TToken { tkEof, tkStart, tkEnd, tkText };

  explicit TXmlScanner(std::string_view xml) : FXml(xml) {}

  // The next token; raises MalformedXmlError on markup that is not closed. An
  // empty-element tag gives tkStart and then tkEnd.
  TToken Next();

  // Of the current start or end tag, without its namespace prefix.
  std::string_view Name() const { return FName; }
  // Of the current start tag, by name without prefix; raw (entities as
  // written). False when the tag has no such attribute.
  bool Attribute(std::string_view name, std::string_view& value) const;

  // Of the current text token: appends the characters, entities and
  // character references expanded.
  void AppendText(std::string& out) const;
  // The text as written, for numbers that need no expansion.
  std::string_view RawText() const { return FText; }
  bool RawTextIsPlain() const { return FCData || FText.find('&') == std::string_view::npos; }

  // Expands the five predefined entities and character references.
  static void AppendExpanded(std::string_view raw, std::string& out);

private:
  [[noreturn]] void Malformed() const;
  size_t Find(std::string_view what, size_t from) const;
  void ReadStartTag();

  std::string_view FXml;
  size_t FPos = 0;
  std::string_view FName;
  std::string_view FText;
  bool FCData = false;
  bool FPendingEnd = false;
  std::vector<std::pair<std::string_view, std::string_view>> FAttributes;
};

// Undoes the spreadsheet's escapes of characters XML cannot carry:
// "_x000D_" is a carriage return, "_x005F_" a literal underscore.
void UnescapeSpreadsheetText(std::string& text);

} // namespace bw
