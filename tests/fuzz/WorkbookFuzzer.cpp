// libFuzzer target for the workbook reader. An input that starts like a zip
// is opened as a package as it is; one that starts like a compound
// document is opened as a binary workbook as it is, and one that starts
// with a BOF record is taken for a binary workbook's stream and put in a
// compound document first, so that the fuzzer reaches the records instead
// of spending its time on the container. Any other input is split at
// lines "@@@@" into the workbook part, the first worksheet, the shared
// strings and the workbook's relationships, which are packed into a
// package with the rest of a minimal workbook, so that the fuzzer reaches
// the XML readers instead of spending its time on zip headers.
#include "platform/workbook/Workbook.h"
#include "support/CompoundFiles.h"

#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A zip of stored (uncompressed) entries.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& parts) {
  std::string zip, directory;
  for (const auto& [name, data] : parts) {
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    uint32_t offset = static_cast<uint32_t>(zip.size());
    Put32(zip, 0x04034b50);
    Put16(zip, 20);
    Put16(zip, 0);
    Put16(zip, 0);
    Put32(zip, 0);
    Put32(zip, crc);
    Put32(zip, static_cast<uint32_t>(data.size()));
    Put32(zip, static_cast<uint32_t>(data.size()));
    Put16(zip, static_cast<uint32_t>(name.size()));
    Put16(zip, 0);
    zip += name;
    zip += data;
    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, 0);
    Put32(directory, crc);
    Put32(directory, static_cast<uint32_t>(data.size()));
    Put32(directory, static_cast<uint32_t>(data.size()));
    Put16(directory, static_cast<uint32_t>(name.size()));
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, 0);
    Put32(directory, offset);
    directory += name;
  }
  uint32_t start = static_cast<uint32_t>(zip.size());
  zip += directory;
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<uint32_t>(parts.size()));
  Put16(zip, static_cast<uint32_t>(parts.size()));
  Put32(zip, static_cast<uint32_t>(directory.size()));
  Put32(zip, start);
  Put16(zip, 0);
  return zip;
}

const char* const Defaults[] = {
    R"(<workbook xmlns:r="r"><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets>)"
    R"(<definedNames><definedName name="N">S!$A$1</definedName></definedNames></workbook>)",
    R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c></row></sheetData></worksheet>)",
    R"(<sst><si><t>x</t></si></sst>)",
    R"(<Relationships><Relationship Id="rId1" Type="/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="/sharedStrings" Target="sharedStrings.xml"/></Relationships>)",
};

void ReadAll(bw::TWorkbook& book) {
  for (int i = 0; i < book.WorksheetCount(); ++i) {
    book.FindWorksheet(book.WorksheetName(i));
    book.WorksheetShowsNothing(i);
    try {
      auto sheet = book.Worksheet(i);
      for (size_t c = 0; c < sheet->CellCount(); ++c)
        sheet->Cell(sheet->CellRow(c), sheet->CellColumn(c));
      sheet->Cell(sheet->LastRow(), sheet->LastColumn());
    } catch (const bw::WorkbookError&) {
    }
  }
  for (const bw::TDefinedName& n : book.DefinedNames())
    book.FindDefinedName(n.Name);
}

// Binary workbooks are read from a path: the input goes to a file in
// memory, opened by its name under /proc.
void ReadBinary(const std::string& bytes) {
  static const int file = memfd_create("workbook.xls", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(file);
  if (file < 0 || ftruncate(file, 0) != 0 ||
      pwrite(file, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
    __builtin_trap();
  bw::TWorkbookLimits limits;
  // A sixteenth of the usual limit keeps each run quick.
  limits.MaxGridPositions = 1 << 20;
  try {
    auto book = bw::OpenWorkbook(path, limits);
    ReadAll(*book);
  } catch (const bw::NotAWorkbookError&) {
  } catch (const bw::WorkbookError&) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  if (input.starts_with("\xD0\xCF\x11\xE0")) {
    ReadBinary(input);
    return 0;
  }
  if (input.starts_with("\x09\x08")) {
    ReadBinary(bw::test::CompoundDocument({{"Workbook", input}}));
    return 0;
  }
  std::string package;
  if (input.starts_with("PK")) {
    package = input;
  } else {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
      size_t at = input.find("\n@@@@\n", start);
      pieces.push_back(
          input.substr(start, at == std::string::npos ? std::string::npos : at - start));
      if (at == std::string::npos || pieces.size() == 4) break;
      start = at + 6;
    }
    while (pieces.size() < 4)
      pieces.emplace_back(Defaults[pieces.size()]);
    package = StoredZip({{"xl/workbook.xml", pieces[0]},
                         {"xl/worksheets/sheet1.xml", pieces[1]},
                         {"xl/sharedStrings.xml", pieces[2]},
                         {"xl/_rels/workbook.xml.rels", pieces[3]}});
  }
  bw::TWorkbookLimits limits;
  limits.MaxPartSize = 1 << 20;
  try {
    auto book = bw::OpenWorkbookPackage(std::move(package), limits);
    ReadAll(*book);
  } catch (const bw::NotAWorkbookError&) {
  } catch (const bw::WorkbookError&) {
  }
  return 0;
}
