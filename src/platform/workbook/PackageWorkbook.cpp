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
#include <unordered_map>

namespace bw {

namespace {

// ---- The zip package -------------------------------------------------------

// A part's bytes as they inflate.
using TPartBytes = TGrowingArray<char>;

std::string_view View(const TPartBytes& bytes) {
  return {bytes.data(), bytes.size()};
}

struct TZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// The open package; closed on every path. Read-only archives have nothing
// to write, so zip_close only frees; should it fail, discard frees anyway.
class TZipArchive {
public:
  TZipArchive(zip_t* zip, std::unique_ptr<std::string> bytes)
      : FZip(zip), FBytes(std::move(bytes)) {
    // Part names compare without regard to case: the archive's own lookup
    // of such a name walks every entry, so they are indexed once.
    const zip_int64_t count = zip_get_num_entries(FZip, 0);
    for (zip_int64_t i = 0; i < count; ++i)
      if (const char* name = zip_get_name(FZip, static_cast<zip_uint64_t>(i), 0))
        FEntries.try_emplace(NameKey(name), static_cast<zip_uint64_t>(i));
  }
  TZipArchive(const TZipArchive&) = delete;
  TZipArchive& operator=(const TZipArchive&) = delete;
  ~TZipArchive() {
    if (zip_close(FZip) != 0) zip_discard(FZip);
  }

  // The part's bytes, inflated into a buffer that grows as they arrive,
  // whatever the package's directory claims; false when the package has no
  // such part. They count against the budget. A part that inflates to more
  // than limit bytes is refused; with head given, the reading stops there
  // instead, and head tells whether the part ended. A part that ends at
  // another size than its directory gives, or cannot be inflated, is
  // damaged: a directory that claims more than the limit for a small part
  // lies about the part, which is not too large.
  bool Read(const std::string& name, size_t limit, TPartBytes& out, TWorkbookBudget& budget,
            bool* head = nullptr) const {
    auto entry = FEntries.find(NameKey(name));
    if (entry == FEntries.end()) return false;
    const zip_uint64_t index = entry->second;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(FZip, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
      Damaged(budget, name, "has no readable directory entry");
    std::unique_ptr<zip_file_t, TZipFileCloser> file(zip_fopen_index(FZip, index, 0));
    if (!file) Damaged(budget, name, "cannot be opened (" + ZipError(zip_get_error(FZip)) + ")");
    // One byte more than the limit tells a part beyond it.
    out.Truncate(0);
    for (;;) {
      const size_t read = out.size();
      const size_t want = std::min<size_t>(64 * 1024, limit + 1 - read);
      if (want == 0) break;
      zip_int64_t got = zip_fread(file.get(), out.Extend(want), want);
      out.Truncate(read + static_cast<size_t>(std::max<zip_int64_t>(got, 0)));
      if (got < 0)
        Damaged(budget, name,
                "cannot be inflated (" + ZipError(zip_file_get_error(file.get())) + ")");
      budget.TakeBytes(static_cast<uint64_t>(got));
      if (got == 0) break;
    }
    if (out.size() > limit) {
      if (!head) TooLarge(budget, name, limit);
      out.Truncate(limit);
      *head = false;
      return true;
    }
    if (out.size() != st.size)
      Damaged(budget, name,
              "inflates to " + std::to_string(out.size()) + " bytes, not the " +
                  std::to_string(st.size) + " its directory gives");
    if (head) *head = true;
    return true;
  }

  static std::string ZipError(zip_error_t* error) { return zip_error_strerror(error); }

private:
  [[noreturn]] static void TooLarge(const TWorkbookBudget& budget, const std::string& name,
                                    size_t limit) {
    budget.TooLarge("its part '" + name + "' inflates to more than " + SizeText(limit));
  }
  [[noreturn]] static void Damaged(const TWorkbookBudget& budget, const std::string& name,
                                   const std::string& what) {
    throw WorkbookError(budget.File() + " is damaged: its part '" + name + "' " + what + ".");
  }

  zip_t* FZip;
  std::unique_ptr<std::string> FBytes; // the package itself when opened from memory
  std::unordered_map<std::string, zip_uint64_t> FEntries; // by NameKey
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
std::map<std::string, TRelationship>
ReadRelationships(const TZipArchive& zip, const std::string& part, TWorkbookBudget& budget) {
  std::string folder = FolderOf(part);
  std::string file = part.substr(folder.size());
  TPartBytes bytes;
  std::map<std::string, TRelationship> rels;
  const std::string relsPart = folder + "_rels/" + file + ".rels";
  if (!zip.Read(relsPart, budget.Limits().MaxTreePartSize, bytes, budget)) return rels;
  pugi::xml_document doc;
  if (!doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default))
    throw WorkbookError(budget.File() + " is damaged: its part '" + relsPart +
                        "' is not well-formed XML.");
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
  throw MalformedXmlError();
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

std::shared_ptr<const TStringPool> ParseSharedStrings(std::string_view xml,
                                                      TWorkbookBudget& budget) {
  auto strings = std::make_shared<TStringPool>();
  try {
    TXmlScanner scan(xml);
    for (;;) {
      TXmlScanner::TToken t = scan.Next();
      if (t == TXmlScanner::tkEof) break;
      if (t == TXmlScanner::tkStart && scan.Name() == "si")
        strings->Add(ReadRichText(scan), &budget);
    }
  } catch (...) {
    budget.ReturnItems(strings->Size());
    throw;
  }
  return strings;
}

class TSheetParser {
public:
  // With head set, only the beginning of the part is parsed, without the
  // shared strings, to tell whether the sheet shows nothing: the parsing
  // stops at the first cell that shows something or at the end of the
  // sheet's data, and a shared text counts as something.
  // file: the workbook as messages name it.
  TSheetParser(TWorksheet& sheet, std::string_view file, std::string_view sheetName,
               bool head = false)
      : FSheet(sheet), FFile(file), FName(sheetName), FHead(head) {}

  // With head set: whether the parsing stopped before the end of the text.
  bool Parse(std::string_view xmlText) {
    TXmlScanner xml(xmlText);
    bool inData = false;
    for (;;) {
      TXmlScanner::TToken t = xml.Next();
      if (t == TXmlScanner::tkEof) return false;
      if (t == TXmlScanner::tkEnd && xml.Name() == "sheetData") {
        if (FHead) return true;
        inData = false;
      }
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
        if (FHead && !FSheet.ShowsNothing()) return true;
      }
    }
  }

private:
  [[noreturn]] void Impossible(std::string_view ref) const {
    throw WorkbookError(FFile + " is damaged: its worksheet '" + FName +
                        "' holds a cell at the impossible position '" +
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
    } else if (type == "s" && FHead) {
      FSheet.AddText(row, column, FValue);
    } else if (type == "s") {
      uint32_t index = 0;
      std::string_view v = FValue;
      auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), index);
      if (ec != std::errc() || p != v.data() + v.size() || index >= FSheet.SharedStringCount())
        throw WorkbookError(FFile + " is damaged: its worksheet '" + FName +
                            "' refers to a shared string '" + FValue.substr(0, 32) +
                            "' that the workbook does not have.");
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
  std::string FFile;
  std::string FName;
  bool FHead;
  uint32_t FRow = 0;
  uint32_t FColumn = 0;
  std::string FValue;
};

// ---- The workbook ----------------------------------------------------------

class TPackageWorkbook : public TWorkbook {
public:
  TPackageWorkbook(std::unique_ptr<TZipArchive> zip, const std::string& file,
                   const TWorkbookLimits& limits)
      : TWorkbook(file, limits), FZip(std::move(zip)) {
    Load();
  }

protected:
  std::shared_ptr<const TWorksheet> ReadWorksheet(int index) override {
    const std::string& part = FSheetParts[static_cast<size_t>(index)];
    const std::string& name = FSheetNames[static_cast<size_t>(index)];
    // A part that several sheets name is read once.
    if (auto read = FRead.find(part); read != FRead.end()) return read->second;
    auto sheet = std::make_shared<TWorksheet>(OpenXmlGrid, &FBudget);
    sheet->SetSharedStrings(SharedStrings());
    {
      TPartBytes bytes;
      if (part.empty() || !FZip->Read(part, FBudget.Limits().MaxPartSize, bytes, FBudget))
        throw WorkbookError(FBudget.File() + " is damaged: it has no part for the worksheet '" +
                            name + "'.");
      try {
        TSheetParser(*sheet, FBudget.File(), name).Parse(View(bytes));
      } catch (const MalformedXmlError&) {
        throw WorkbookError(FBudget.File() + " is damaged: its worksheet '" + name +
                            "' is not well-formed XML.");
      }
    }
    sheet->Finish();
    FRead.emplace(part, sheet);
    return sheet;
  }

  bool PeekShowsNothing(int index) override {
    const std::string& part = FSheetParts[static_cast<size_t>(index)];
    if (auto read = FRead.find(part); read != FRead.end()) return read->second->ShowsNothing();
    auto [peeked, first] = FPeeked.try_emplace(part, false);
    if (first) peeked->second = PeekPart(part);
    return peeked->second;
  }

private:
  // Reads no more of a worksheet part than tells whether it shows nothing:
  // a first piece and, where that does not tell, a larger one.
  bool PeekPart(const std::string& part) {
    for (size_t head : {size_t{16} << 10, size_t{256} << 10}) {
      bool whole = false;
      try {
        TPartBytes bytes;
        if (part.empty() || !FZip->Read(part, head, bytes, FBudget, &whole)) return false;
        TWorksheet sheet;
        if (TSheetParser(sheet, {}, {}, true).Parse(View(bytes)) || whole)
          return sheet.ShowsNothing();
      } catch (const WorkbookError&) {
        // Damaged, beyond the limits, or cut off inside a tag by the piece.
        if (whole) return false;
      }
    }
    return false;
  }

  void Load() {
    // The workbook part, found through the package's relationships.
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : ReadRelationships(*FZip, "", FBudget))
      if (EndsWith(rel.Type, "/officeDocument") && !rel.Target.empty()) {
        workbookPart = rel.Target;
        break;
      }
    TPartBytes bytes;
    if (!FZip->Read(workbookPart, FBudget.Limits().MaxTreePartSize, bytes, FBudget))
      throw NotAWorkbookError(FBudget.File() + " is not a workbook: it has no workbook part.");
    // A part that is no XML at all is of another kind (a binary workbook
    // part); one that breaks off is damaged.
    const size_t first = View(bytes).find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    if (first == std::string::npos || bytes[first] != '<')
      throw NotAWorkbookError(FBudget.File() +
                              " is not a workbook this program can read: its workbook part is "
                              "not XML.");
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default))
      throw WorkbookError(FBudget.File() + " is damaged: its part '" + workbookPart +
                          "' is not well-formed XML.");
    pugi::xml_node workbook = Child(doc, "workbook");
    if (!workbook)
      throw NotAWorkbookError(FBudget.File() + " is not a workbook: it has no workbook part.");
    auto rels = ReadRelationships(*FZip, workbookPart, FBudget);

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

  std::shared_ptr<const TStringPool> SharedStrings() {
    if (!FShared) {
      TPartBytes bytes;
      if (!FSharedPart.empty() &&
          FZip->Read(FSharedPart, FBudget.Limits().MaxPartSize, bytes, FBudget)) {
        try {
          FShared = ParseSharedStrings(View(bytes), FBudget);
        } catch (const MalformedXmlError&) {
          throw WorkbookError(FBudget.File() + " is damaged: its part '" + FSharedPart +
                              "' is not well-formed XML.");
        }
      } else {
        FShared = std::make_shared<TStringPool>();
      }
    }
    return FShared;
  }

  std::unique_ptr<TZipArchive> FZip;
  std::vector<std::string> FSheetParts;
  std::string FSharedPart;
  std::shared_ptr<const TStringPool> FShared;
  // The worksheet parts read, and whether those only looked at show nothing.
  std::map<std::string, std::shared_ptr<const TWorksheet>> FRead;
  std::map<std::string, bool> FPeeked;
};

std::unique_ptr<TWorkbook> OpenPackage(zip_t* zip, std::unique_ptr<std::string> bytes,
                                       const std::string& file, const TWorkbookLimits& limits) {
  return std::make_unique<TPackageWorkbook>(std::make_unique<TZipArchive>(zip, std::move(bytes)),
                                            file, limits);
}

} // namespace

std::unique_ptr<TWorkbook> OpenPackageFile(TFileHandle handle, const std::string& file,
                                           const TWorkbookLimits& limits) {
  // The package is read from the file opened, to the last part.
  int error = 0;
  zip_t* zip = zip_fdopen(handle.Fd, 0, &error);
  if (!zip) {
    zip_error_t e;
    zip_error_init_with_code(&e, error);
    const std::string why = TZipArchive::ZipError(&e);
    zip_error_fini(&e);
    throw WorkbookError(file + " is damaged: its zip directory cannot be read (" + why + ").");
  }
  handle.Release();
  return OpenPackage(zip, nullptr, file, limits);
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
  return OpenPackage(zip, std::move(held), "The workbook", limits);
}

} // namespace bw
