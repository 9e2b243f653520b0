// Office Open XML workbooks (.xlsx, .xlsm): a zip package whose parts are
// found through relationship parts. libzip opens the package, pugixml reads
// the small parts (relationships, the workbook part), and the streaming
// scanner the large ones (worksheets, shared strings).
#include "platform/workbook/WorkbookReaders.h"
#include "platform/workbook/XmlScanner.h"

#include <pugixml.hpp>
#include <zip.h>

#include <charconv>
#include <cmath>
#include <map>

namespace bw {

namespace {

// ---- The zip package -------------------------------------------------------

struct TZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// The open package; closed on every path. Read-only archives have nothing
// to write, so zip_close only frees; should it fail, discard frees anyway.
class TZipArchive {
public:
  TZipArchive(zip_t* zip, std::unique_ptr<std::string> bytes)
      : FZip(zip), FBytes(std::move(bytes)) {}
  TZipArchive(const TZipArchive&) = delete;
  TZipArchive& operator=(const TZipArchive&) = delete;
  ~TZipArchive() {
    if (zip_close(FZip) != 0) zip_discard(FZip);
  }

  bool Has(const std::string& name) const {
    return zip_name_locate(FZip, name.c_str(), ZIP_FL_NOCASE) >= 0;
  }

  // The part's bytes; false when the package has no such part. A part
  // larger than the limit, or one that cannot be inflated, raises.
  bool Read(const std::string& name, size_t limit, std::string& out) const {
    zip_int64_t index = zip_name_locate(FZip, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) return false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(FZip, static_cast<zip_uint64_t>(index), 0, &st) != 0)
      throw WorkbookError("The workbook's part '" + name + "' cannot be read.");
    if ((st.valid & ZIP_STAT_SIZE) && st.size > limit) TooLarge(name);
    std::unique_ptr<zip_file_t, TZipFileCloser> file(
        zip_fopen_index(FZip, static_cast<zip_uint64_t>(index), 0));
    if (!file) throw WorkbookError("The workbook's part '" + name + "' cannot be read.");
    // The declared size is only a hint: the reading stops at the limit
    // whatever the directory claims.
    out.clear();
    size_t expected = (st.valid & ZIP_STAT_SIZE) ? static_cast<size_t>(st.size) : 0;
    out.resize(std::min(expected, limit) + 1);
    size_t total = 0;
    for (;;) {
      if (total == out.size()) {
        if (out.size() > limit) TooLarge(name);
        out.resize(std::min(out.size() * 2 + 4096, limit + 1));
      }
      zip_int64_t got = zip_fread(file.get(), out.data() + total, out.size() - total);
      if (got < 0) throw WorkbookError("The workbook's part '" + name + "' is damaged.");
      if (got == 0) break;
      total += static_cast<size_t>(got);
      if (total > limit) TooLarge(name);
    }
    out.resize(total);
    return true;
  }

private:
  [[noreturn]] static void TooLarge(const std::string& name) {
    throw WorkbookError("The workbook's part '" + name + "' is too large to be read.");
  }

  zip_t* FZip;
  std::unique_ptr<std::string> FBytes; // the package itself when opened from memory
};

// ---- Small parts through pugixml -------------------------------------------

std::string_view LocalName(const char* name) {
  std::string_view n(name);
  size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_node c : node.children())
    if (c.type() == pugi::node_element && LocalName(c.name()) == local) return c;
  return {};
}

const char* Attr(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_attribute a : node.attributes())
    if (LocalName(a.name()) == local) return a.value();
  return nullptr;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The folder of a part ("xl/" for "xl/workbook.xml").
std::string FolderOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship's target as a part name: absolute ("/xl/...") or relative
// to the folder of the part that holds the relationship, "." and ".."
// resolved. Empty when it leaves the package.
std::string ResolveTarget(const std::string& folder, std::string_view target) {
  std::string path =
      target.starts_with("/") ? std::string(target.substr(1)) : folder + std::string(target);
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string seg = path.substr(start, slash - start);
    if (seg == "..") {
      if (segments.empty()) return {};
      segments.pop_back();
    } else if (!seg.empty() && seg != ".") {
      segments.push_back(std::move(seg));
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& s : segments) {
    if (!out.empty()) out += '/';
    out += s;
  }
  return out;
}

struct TRelationship {
  std::string Type;
  std::string Target; // resolved part name; empty for external targets
};

// The relationships of a part, by id. A missing relationship part gives
// none.
std::map<std::string, TRelationship> ReadRelationships(const TZipArchive& zip,
                                                       const std::string& part, size_t limit) {
  std::string folder = FolderOf(part);
  std::string file = part.substr(folder.size());
  std::string bytes;
  std::map<std::string, TRelationship> rels;
  if (!zip.Read(folder + "_rels/" + file + ".rels", limit, bytes)) return rels;
  pugi::xml_document doc;
  if (!doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default))
    throw NotAWorkbookError("The package's relationships are damaged.");
  for (pugi::xml_node r : Child(doc, "Relationships").children()) {
    if (r.type() != pugi::node_element || LocalName(r.name()) != "Relationship") continue;
    const char* id = Attr(r, "Id");
    const char* type = Attr(r, "Type");
    const char* target = Attr(r, "Target");
    const char* mode = Attr(r, "TargetMode");
    if (!id || !type || !target) continue;
    TRelationship rel{type, {}};
    if (!mode || std::string_view(mode) != "External") rel.Target = ResolveTarget(folder, target);
    rels.emplace(id, std::move(rel));
  }
  return rels;
}

// ---- Sheet data ------------------------------------------------------------

[[noreturn]] void Damaged() {
  throw WorkbookError("The workbook holds a damaged XML part.");
}

bool ParseNumber(std::string_view text, double& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' ||
                           text.front() == '\r'))
    text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
    text.remove_suffix(1);
  if (text.empty()) return false;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && p == text.data() + text.size() && std::isfinite(value);
}

// Collects the text of <t> elements below the current element up to its end
// tag, leaving out phonetic runs (<rPh>).
std::string ReadRichText(TXmlScanner& xml) {
  const std::string element(xml.Name());
  std::string text;
  int depth = 1, phonetic = 0, inT = 0;
  while (depth > 0) {
    switch (xml.Next()) {
    case TXmlScanner::tkEof:
      Damaged();
    case TXmlScanner::tkStart:
      ++depth;
      if (xml.Name() == "rPh") ++phonetic;
      if (xml.Name() == "t") ++inT;
      break;
    case TXmlScanner::tkEnd:
      if (--depth == 0 && xml.Name() != element) Damaged();
      if (xml.Name() == "rPh" && phonetic > 0) --phonetic;
      if (xml.Name() == "t" && inT > 0) --inT;
      break;
    case TXmlScanner::tkText:
      if (inT > 0 && phonetic == 0) xml.AppendText(text);
      break;
    }
  }
  UnescapeSpreadsheetText(text);
  return text;
}

std::shared_ptr<std::vector<std::string>> ParseSharedStrings(std::string_view xml) {
  auto strings = std::make_shared<std::vector<std::string>>();
  TXmlScanner scan(xml);
  for (;;) {
    TXmlScanner::TToken t = scan.Next();
    if (t == TXmlScanner::tkEof) break;
    if (t == TXmlScanner::tkStart && scan.Name() == "si") strings->push_back(ReadRichText(scan));
  }
  strings->shrink_to_fit();
  return strings;
}

class TSheetParser {
public:
  TSheetParser(TWorksheet& sheet, std::string_view sheetName) : FSheet(sheet), FName(sheetName) {}

  void Parse(std::string_view xmlText) {
    TXmlScanner xml(xmlText);
    bool inData = false;
    for (;;) {
      TXmlScanner::TToken t = xml.Next();
      if (t == TXmlScanner::tkEof) return;
      if (t == TXmlScanner::tkEnd && xml.Name() == "sheetData") inData = false;
      if (t != TXmlScanner::tkStart) continue;
      std::string_view name = xml.Name();
      if (name == "sheetData") {
        inData = true;
      } else if (inData && name == "row") {
        std::string_view r;
        uint32_t row = FRow + 1;
        if (xml.Attribute("r", r)) {
          auto [p, ec] = std::from_chars(r.data(), r.data() + r.size(), row);
          if (ec != std::errc() || p != r.data() + r.size()) row = 0;
        }
        if (row < 1 || row > FSheet.Grid().Rows) Impossible(r.empty() ? "row" : r);
        FRow = row;
        FColumn = 0;
      } else if (inData && name == "c") {
        Cell(xml);
      }
    }
  }

private:
  [[noreturn]] void Impossible(std::string_view ref) const {
    throw WorkbookError("The worksheet '" + FName + "' holds a cell at the impossible position '" +
                        std::string(ref.substr(0, 32)) + "'.");
  }

  void Cell(TXmlScanner& xml) {
    std::string_view r, type;
    uint32_t row = FRow, column = FColumn + 1;
    if (xml.Attribute("r", r)) {
      if (!ParseA1(r, row, column, FSheet.Grid())) Impossible(r);
    } else if (row < 1 || column > FSheet.Grid().Columns) {
      Impossible("cell");
    }
    FRow = row;
    FColumn = column;
    if (!xml.Attribute("t", type)) type = "n";
    std::string typeText(type);

    // The value: <v>, or the text of <is> for inline strings; formulas
    // (<f>) are not evaluated, their cached <v> is the value.
    bool hasValue = false, inlineText = false;
    FValue.clear();
    int depth = 1, inV = 0;
    while (depth > 0) {
      switch (xml.Next()) {
      case TXmlScanner::tkEof:
        Damaged();
      case TXmlScanner::tkStart:
        if (depth == 1 && xml.Name() == "is") {
          FValue = ReadRichText(xml);
          hasValue = inlineText = true;
        } else {
          ++depth;
          if (depth == 2 && xml.Name() == "v") {
            ++inV;
            hasValue = true;
          }
        }
        break;
      case TXmlScanner::tkEnd:
        if (depth == 2 && xml.Name() == "v") --inV;
        if (--depth == 0 && xml.Name() != "c") Damaged();
        break;
      case TXmlScanner::tkText:
        if (inV > 0 && !inlineText) xml.AppendText(FValue);
        break;
      }
    }
    Store(row, column, typeText, hasValue, inlineText);
  }

  void Store(uint32_t row, uint32_t column, const std::string& type, bool hasValue,
             bool inlineText) {
    if (!hasValue) {
      FSheet.AddEmpty(row, column);
      return;
    }
    double number;
    if (inlineText || type == "inlineStr") {
      FSheet.AddText(row, column, FValue);
    } else if (type == "n") {
      if (ParseNumber(FValue, number))
        FSheet.AddNumber(row, column, number);
      else if (FValue.empty())
        FSheet.AddEmpty(row, column);
      else
        FSheet.AddText(row, column, FValue);
    } else if (type == "s") {
      uint32_t index = 0;
      std::string_view v = FValue;
      auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), index);
      if (ec != std::errc() || p != v.data() + v.size() || index >= FSheet.SharedStringCount())
        throw WorkbookError("The worksheet '" + FName + "' refers to a shared string '" +
                            FValue.substr(0, 32) + "' that the workbook does not have.");
      FSheet.AddSharedText(row, column, index);
    } else if (type == "b") {
      FSheet.AddBoolean(row, column, FValue == "1" || FValue == "true");
    } else if (type == "e") {
      FSheet.AddText(row, column, FValue, TCellKind::Error);
    } else if (type == "d" && DateTextToSerial(FValue, false, number)) {
      FSheet.AddNumber(row, column, number);
    } else {
      UnescapeSpreadsheetText(FValue);
      FSheet.AddText(row, column, FValue);
    }
  }

  TWorksheet& FSheet;
  std::string FName;
  uint32_t FRow = 0;
  uint32_t FColumn = 0;
  std::string FValue;
};

// ---- The workbook ----------------------------------------------------------

class TPackageWorkbook : public TWorkbook {
public:
  TPackageWorkbook(std::unique_ptr<TZipArchive> zip, const TWorkbookLimits& limits)
      : FZip(std::move(zip)), FLimits(limits) {
    Load();
  }

protected:
  std::shared_ptr<TWorksheet> ReadWorksheet(int index) override {
    const std::string& part = FSheetParts[static_cast<size_t>(index)];
    const std::string& name = FSheetNames[static_cast<size_t>(index)];
    auto sheet = std::make_shared<TWorksheet>(OpenXmlGrid);
    sheet->SetSharedStrings(SharedStrings());
    std::string bytes;
    if (part.empty() || !FZip->Read(part, FLimits.MaxPartSize, bytes))
      throw WorkbookError("The workbook has no part for the worksheet '" + name + "'.");
    TSheetParser(*sheet, name).Parse(bytes);
    return sheet;
  }

private:
  void Load() {
    std::string bytes;
    // The workbook part, found through the package's relationships.
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : ReadRelationships(*FZip, "", FLimits.MaxPartSize))
      if (EndsWith(rel.Type, "/officeDocument") && !rel.Target.empty()) {
        workbookPart = rel.Target;
        break;
      }
    try {
      if (!FZip->Read(workbookPart, FLimits.MaxPartSize, bytes))
        throw NotAWorkbookError("The package has no workbook part.");
    } catch (const WorkbookError& e) {
      throw NotAWorkbookError(e.Message());
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default))
      throw NotAWorkbookError("The workbook part is damaged.");
    pugi::xml_node workbook = Child(doc, "workbook");
    if (!workbook) throw NotAWorkbookError("The workbook part is damaged.");
    auto rels = ReadRelationships(*FZip, workbookPart, FLimits.MaxPartSize);

    // Every sheet in tab order (a sheet-scoped name counts among all of
    // them); only worksheets are kept.
    std::vector<std::string> allSheets;
    for (pugi::xml_node s : Child(workbook, "sheets").children()) {
      if (s.type() != pugi::node_element || LocalName(s.name()) != "sheet") continue;
      const char* name = Attr(s, "name");
      const char* id = Attr(s, "id");
      allSheets.emplace_back(name ? name : "");
      auto rel = id ? rels.find(id) : rels.end();
      if (!name || rel == rels.end() || !EndsWith(rel->second.Type, "/worksheet")) continue;
      FSheetNames.emplace_back(name);
      FSheetParts.push_back(rel->second.Target);
    }
    for (pugi::xml_node d : Child(workbook, "definedNames").children()) {
      if (d.type() != pugi::node_element || LocalName(d.name()) != "definedName") continue;
      const char* name = Attr(d, "name");
      if (!name || !*name) continue;
      TDefinedName n;
      n.Name = name;
      n.RefersTo = std::string("=") + d.child_value();
      if (const char* local = Attr(d, "localSheetId")) {
        size_t index = 0;
        std::string_view v(local);
        auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), index);
        if (ec == std::errc() && p == v.data() + v.size() && index < allSheets.size())
          n.Scope = allSheets[index];
      }
      FNames.push_back(std::move(n));
    }
    ResolveNames();
    for (const auto& [id, rel] : rels)
      if (EndsWith(rel.Type, "/sharedStrings")) FSharedPart = rel.Target;
  }

  std::shared_ptr<const std::vector<std::string>> SharedStrings() {
    if (!FShared) {
      std::string bytes;
      if (!FSharedPart.empty() && FZip->Read(FSharedPart, FLimits.MaxPartSize, bytes))
        FShared = ParseSharedStrings(bytes);
      else
        FShared = std::make_shared<std::vector<std::string>>();
    }
    return FShared;
  }

  std::unique_ptr<TZipArchive> FZip;
  TWorkbookLimits FLimits;
  std::vector<std::string> FSheetParts;
  std::string FSharedPart;
  std::shared_ptr<const std::vector<std::string>> FShared;
};

std::unique_ptr<TWorkbook> OpenPackage(std::unique_ptr<TZipArchive> zip,
                                       const TWorkbookLimits& limits) {
  try {
    return std::make_unique<TPackageWorkbook>(std::move(zip), limits);
  } catch (const NotAWorkbookError&) {
    throw;
  } catch (const WorkbookError& e) {
    throw NotAWorkbookError(e.Message());
  }
}

} // namespace

std::unique_ptr<TWorkbook> OpenPackageFile(const std::string& path, const TWorkbookLimits& limits) {
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!zip) throw NotAWorkbookError("'" + path + "' is not a workbook package.");
  return OpenPackage(std::make_unique<TZipArchive>(zip, nullptr), limits);
}

std::unique_ptr<TWorkbook> OpenPackageBuffer(std::string bytes, const TWorkbookLimits& limits) {
  // The archive reads from the bytes in place: they move into it, on the
  // heap, and live as long as it.
  auto held = std::make_unique<std::string>(std::move(bytes));
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(held->data(), held->size(), 0, &error);
  if (!source) {
    zip_error_fini(&error);
    throw NotAWorkbookError("The data is not a workbook package.");
  }
  zip_t* zip = zip_open_from_source(source, ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (!zip) {
    zip_source_free(source);
    throw NotAWorkbookError("The data is not a workbook package.");
  }
  return OpenPackage(std::make_unique<TZipArchive>(zip, std::move(held)), limits);
}

} // namespace bw
