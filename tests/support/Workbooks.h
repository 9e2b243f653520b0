// Workbooks made at test time: with libxlsxwriter, as hand-made zip
// packages (for what no writer produces: hostile and unusual files), and
// binary workbooks through a fixture script of Debian's python3-xlwt.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct lxw_workbook;

namespace bw::test {

// A fresh folder, removed with everything in it.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
  std::filesystem::path FPath;
};

// Writes a workbook with libxlsxwriter; build adds its sheets and names.
// constantMemory writes texts as inline strings instead of shared ones.
void WriteXlsx(const std::string& path, const std::function<void(lxw_workbook*)>& build,
               bool constantMemory = false);

using TParts = std::vector<std::pair<std::string, std::string>>;
// A zip package of the given parts, deflated.
void WriteZip(const std::string& path, const TParts& parts);
// The parts of a small package with one worksheet part per given sheet
// XML ("Sheet1", "Sheet2", ...), shared strings when given, and the defined
// names' XML inside the workbook part.
TParts PackageParts(const std::vector<std::string>& sheetXml, const std::string& sharedStrings = {},
                    const std::string& definedNames = {});
// A worksheet part around the given <sheetData> content.
std::string SheetXml(const std::string& sheetData);
// The parts of a package whose sheets ("Sheet1", "Sheet2", ...) all name
// one worksheet part.
TParts OnePartSheets(int sheets, const std::string& sheetXml,
                     const std::string& sharedStrings = {});
// Copies of piece up to the given size; rows of 16,384 empty cells, the
// most a row holds, up to it.
std::string Repeat(const std::string& piece, size_t bytes);
std::string EmptyCellRows(size_t bytes);
// Makes a package's directory and local header give another inflated size
// for a part.
void ClaimPartSize(std::string& package, const std::string& part, uint32_t size);

// The binary workbook of tests/support/make_xls.py (see there for its
// cells); its sheet "Wide" has one number at the given last cell, and so
// have its copies when wideSheets is more than one.
void WriteXls(const std::string& path, int lastRow = 10, int lastColumn = 5, int wideSheets = 1);

} // namespace bw::test
