#include "support/Workbooks.h"

#include <xlsxwriter.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

namespace bw::test {

TTempFolder::TTempFolder() {
  std::random_device seed;
  std::filesystem::path base = std::filesystem::temp_directory_path();
  for (;;) {
    FPath = base / ("bw-workbooks-" + std::to_string(seed()));
    if (std::filesystem::create_directory(FPath)) break;
  }
  // Readable by the ordinary user that permission checks run as.
  std::filesystem::permissions(FPath, std::filesystem::perms::all);
}

TTempFolder::~TTempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

void WriteXlsx(const std::string& path, const std::function<void(lxw_workbook*)>& build,
               bool constantMemory) {
  lxw_workbook_options options{};
  options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (!book) throw std::runtime_error("libxlsxwriter cannot create " + path);
  build(book);
  if (workbook_close(book) != LXW_NO_ERROR)
    throw std::runtime_error("libxlsxwriter cannot write " + path);
}

void WriteZip(const std::string& path, const TParts& parts) {
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!zip) throw std::runtime_error("cannot create " + path);
  for (const auto& [name, content] : parts) {
    // libzip reads the sources at zip_close, so each gets its own copy.
    void* copy = std::malloc(content.size() + 1);
    std::memcpy(copy, content.data(), content.size());
    zip_source_t* source = zip_source_buffer(zip, copy, content.size(), 1);
    if (!source || zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
      zip_source_free(source);
      zip_discard(zip);
      throw std::runtime_error("cannot add " + name);
    }
  }
  if (zip_close(zip) != 0) {
    zip_discard(zip);
    throw std::runtime_error("cannot write " + path);
  }
}

std::string SheetXml(const std::string& sheetData) {
  return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
         R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
         "<sheetData>" +
         sheetData + "</sheetData></worksheet>";
}

TParts PackageParts(const std::vector<std::string>& sheetXml, const std::string& sharedStrings,
                    const std::string& definedNames) {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  TParts parts;
  parts.emplace_back("[Content_Types].xml",
                     R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/)"
                     R"(package/2006/content-types"/>)");
  parts.emplace_back("_rels/.rels", R"(<?xml version="1.0"?><Relationships xmlns="http://)"
                                    R"(schemas.openxmlformats.org/package/2006/relationships">)"
                                    R"(<Relationship Id="rId1" Type=")" +
                                        rel +
                                        R"(/officeDocument" Target="xl/workbook.xml"/>)"
                                        "</Relationships>");
  std::string sheets, rels;
  for (size_t i = 0; i < sheetXml.size(); ++i) {
    std::string n = std::to_string(i + 1);
    sheets += R"(<sheet name="Sheet)" + n + R"(" sheetId=")" + n + R"(" r:id="rId)" + n + R"("/>)";
    rels += R"(<Relationship Id="rId)" + n + R"(" Type=")" + rel +
            R"(/worksheet" Target="worksheets/sheet)" + n + R"(.xml"/>)";
    parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheetXml[i]);
  }
  if (!sharedStrings.empty()) {
    rels += R"(<Relationship Id="rIdS" Type=")" + rel +
            R"(/sharedStrings" Target="sharedStrings.xml"/>)";
    parts.emplace_back("xl/sharedStrings.xml", sharedStrings);
  }
  parts.emplace_back(
      "xl/workbook.xml",
      R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/)"
      R"(2006/main" xmlns:r=")" +
          rel + R"("><sheets>)" + sheets + "</sheets>" +
          (definedNames.empty() ? "" : "<definedNames>" + definedNames + "</definedNames>") +
          "</workbook>");
  parts.emplace_back("xl/_rels/workbook.xml.rels",
                     R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.)"
                     R"(org/package/2006/relationships">)" +
                         rels + "</Relationships>");
  return parts;
}

TParts OnePartSheets(int sheets, const std::string& sheetXml, const std::string& sharedStrings) {
  TParts parts = PackageParts({sheetXml}, sharedStrings);
  for (auto& [name, content] : parts) {
    if (name != "xl/workbook.xml") continue;
    std::string list;
    for (int i = 1; i <= sheets; ++i)
      list += "<sheet name=\"Sheet" + std::to_string(i) + "\" sheetId=\"" + std::to_string(i) +
              "\" r:id=\"rId1\"/>";
    const size_t start = content.find("<sheets>") + 8;
    content.replace(start, content.find("</sheets>") - start, list);
  }
  return parts;
}

std::string Repeat(const std::string& piece, size_t bytes) {
  std::string out;
  out.reserve(bytes);
  while (out.size() + piece.size() <= bytes)
    out += piece;
  return out;
}

std::string EmptyCellRows(size_t bytes) {
  return Repeat("<row>" + Repeat("<c/>", 16384 * 4) + "</row>", bytes);
}

void ClaimPartSize(std::string& package, const std::string& part, uint32_t size) {
  std::string le;
  for (int i = 0; i < 4; ++i)
    le += static_cast<char>((size >> (8 * i)) & 0xFF);
  // The name follows a local header of 30 bytes or a central record of 46;
  // the inflated size sits 22 or 24 bytes into them.
  for (size_t at = package.find(part); at != std::string::npos; at = package.find(part, at + 1)) {
    if (at >= 30 && package.compare(at - 30, 4, "PK\x03\x04") == 0) package.replace(at - 8, 4, le);
    if (at >= 46 && package.compare(at - 46, 4, "PK\x01\x02") == 0) package.replace(at - 22, 4, le);
  }
}

void WriteXls(const std::string& path, int lastRow, int lastColumn, int wideSheets) {
  // Debian's interpreter, which has python3-xlwt, whatever else is first
  // on the path.
  std::string command = std::string("/usr/bin/python3 '") + BW_MAKE_XLS_SCRIPT + "' '" + path +
                        "' " + std::to_string(lastRow) + " " + std::to_string(lastColumn) + " " +
                        std::to_string(wideSheets);
  if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + path);
}

} // namespace bw::test
