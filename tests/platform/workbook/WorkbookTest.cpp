#include "platform/workbook/Workbook.h"
#include "platform/workbook/BinaryScan.h"
#include "platform/workbook/XmlScanner.h"
#include "support/CompoundFiles.h"
#include "support/Unprivileged.h"
#include "support/Workbooks.h"

#include <xlsxwriter.h>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <fstream>
#include <iterator>

using namespace bw;
using namespace bw::test;

namespace {

TCellValue Number(double v) {
  return {TCellKind::Number, v, {}};
}
TCellValue Text(std::string t, TCellKind kind = TCellKind::Text) {
  return {kind, 0, std::move(t)};
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

const TDefinedName& Name(TWorkbook& book, std::string_view name) {
  int i = book.FindDefinedName(name);
  if (i < 0) throw std::runtime_error("no name " + std::string(name));
  return book.DefinedNames()[static_cast<size_t>(i)];
}

} // namespace

TEST(Workbook, ReadsWhatASpreadsheetWriterWrites) {
  TTempFolder dir;
  std::string path = dir.File("prices.xlsx");
  WriteXlsx(path, [](lxw_workbook* book) {
    lxw_worksheet* prices = workbook_add_worksheet(book, "Prices");
    lxw_worksheet* hidden = workbook_add_worksheet(book, "Hidden");
    worksheet_hide(hidden);
    lxw_chart* chart = workbook_add_chart(book, LXW_CHART_LINE);
    chart_add_series(chart, nullptr, "=Prices!$A$1:$A$2");
    lxw_chartsheet* chartSheet = workbook_add_chartsheet(book, "Chart");
    chartsheet_set_chart(chartSheet, chart);
    lxw_worksheet* spaced = workbook_add_worksheet(book, "My Sheet");
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    worksheet_write_number(prices, 0, 0, 12.5, nullptr);
    worksheet_write_string(prices, 1, 1, "Widget", nullptr);
    worksheet_write_boolean(prices, 2, 2, 1, nullptr);
    lxw_datetime day{2024, 1, 15, 0, 0, 0};
    worksheet_write_datetime(prices, 3, 3, &day, date);
    worksheet_write_formula_num(prices, 4, 4, "=A1*2", nullptr, 25);
    worksheet_write_formula_str(prices, 5, 5, "=B2", nullptr, "Widget");
    worksheet_write_blank(prices, 6, 6, date);
    worksheet_write_number(spaced, 0, 0, -1, nullptr);
    workbook_define_name(book, "Rate", "=Prices!$A$1");
    workbook_define_name(book, "Prices!Local", "=Prices!$B$2");
    workbook_define_name(book, "'My Sheet'!Spaced", "='My Sheet'!$A$1");
    workbook_define_name(book, "TaxRate", "=0.19");
    workbook_define_name(book, "Block", "=Prices!$A$1:$B$2");
  });
  std::unique_ptr<TWorkbook> book = OpenWorkbook(path);

  // Worksheets in tab order, the hidden one included, the chart sheet not.
  ASSERT_EQ(book->WorksheetCount(), 3);
  EXPECT_EQ(book->WorksheetName(0), "Prices");
  EXPECT_EQ(book->WorksheetName(1), "Hidden");
  EXPECT_EQ(book->WorksheetName(2), "My Sheet");
  EXPECT_EQ(book->FindWorksheet("pRICES"), 0);
  EXPECT_EQ(book->FindWorksheet("Chart"), -1);

  auto sheet = book->Worksheet(0);
  EXPECT_EQ(sheet->Cell(1, 1), Number(12.5));
  EXPECT_EQ(sheet->Cell(2, 2), Text("Widget"));
  EXPECT_EQ((sheet->Cell(3, 3)), (TCellValue{TCellKind::Boolean, 1, "True"}));
  EXPECT_EQ(sheet->Cell(4, 4), Number(45306)) << "dates are serial numbers";
  EXPECT_EQ(sheet->Cell(5, 5), Number(25)) << "a formula gives its cached result";
  EXPECT_EQ(sheet->Cell(6, 6), Text("Widget"));
  EXPECT_EQ(sheet->Cell(7, 7), TCellValue{}) << "a formatted blank cell is empty";
  EXPECT_EQ(sheet->Cell(1048576, 16384), TCellValue{});
  EXPECT_THROW(sheet->Cell(0, 1), ArgumentOutOfRangeException);
  EXPECT_THROW(sheet->Cell(1, 16385), ArgumentOutOfRangeException);
  // The formatted blank counts for the last used cell.
  EXPECT_EQ(sheet->LastRow(), 7u);
  EXPECT_EQ(sheet->LastColumn(), 7u);
  auto empty = book->Worksheet(1);
  EXPECT_EQ(empty->CellCount(), 0u);
  EXPECT_EQ(empty->LastRow(), 1u);
  EXPECT_EQ(empty->LastColumn(), 1u);

  const TDefinedName& rate = Name(*book, "rate");
  EXPECT_EQ(rate.Name, "Rate");
  EXPECT_EQ(rate.RefersTo, "=Prices!$A$1");
  EXPECT_EQ(rate.Target, TNameTargetKind::SingleCell);
  EXPECT_EQ(rate.Sheet, 0);
  EXPECT_EQ(rate.Row, 1u);
  EXPECT_EQ(rate.Column, 1u);
  // A sheet-scoped name is listed with its sheet, and found with or
  // without it.
  const TDefinedName& local = Name(*book, "PRICES!local");
  EXPECT_EQ(local.Name, "Prices!Local");
  EXPECT_EQ(local.Row, 2u);
  EXPECT_EQ(&Name(*book, "Local"), &local);
  const TDefinedName& spaced = Name(*book, "'my sheet'!spaced");
  EXPECT_EQ(spaced.Name, "'My Sheet'!Spaced");
  EXPECT_EQ(spaced.Sheet, 2);
  EXPECT_EQ(Name(*book, "TaxRate").Target, TNameTargetKind::NoRange);
  EXPECT_EQ(Name(*book, "Block").Target, TNameTargetKind::MultiCell);
  EXPECT_EQ(book->FindDefinedName("Missing"), -1);
  EXPECT_EQ(book->FindDefinedName("Hidden!Local"), -1);
}

TEST(Workbook, ReadsInlineStringsOfAStreamingWriter) {
  TTempFolder dir;
  std::string path = dir.File("streamed.xlsx");
  WriteXlsx(
      path,
      [](lxw_workbook* book) {
        lxw_worksheet* s = workbook_add_worksheet(book, nullptr);
        worksheet_write_string(s, 0, 0, "Inline & <escaped>", nullptr);
        worksheet_write_number(s, 1, 0, 0.1, nullptr);
      },
      true);
  auto sheet = OpenWorkbook(path)->Worksheet(0);
  EXPECT_EQ(sheet->Cell(1, 1), Text("Inline & <escaped>"));
  EXPECT_EQ(sheet->Cell(2, 1), Number(0.1));
}

TEST(Workbook, ReadsTheFormsOtherWritersUse) {
  TTempFolder dir;
  std::string path = dir.File("odd.xlsx");
  // Prefixed elements, cells and rows without positions, cells out of
  // order and given twice, every value type, escapes of all kinds.
  std::string sheet1 =
      R"(<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
      R"(<!-- written by hand --><x:sheetData>)"
      R"(<x:row r="2"><x:c><x:v>1</x:v></x:c><x:c><x:v> 2.5E1 </x:v></x:c>)"
      R"(<x:c t="e"><x:v>#DIV/0!</x:v></x:c><x:c r="F2" t="b"><x:v>0</x:v></x:c></x:row>)"
      R"(<x:row><x:c t="s"><x:v>0</x:v></x:c><x:c t="str"><x:v>a &amp; b &#x41;&#66;</x:v></x:c>)"
      R"(<x:c t="d"><x:v>1900-03-01T12:00:00</x:v></x:c><x:c><x:v>twelve</x:v></x:c>)"
      R"(<x:c t="inlineStr"><x:is><x:t><![CDATA[<raw>]]></x:t></x:is></x:c></x:row>)"
      R"(<x:row r="9"><x:c r="Z9" s="1"/><x:c r="A9"><x:f>1+1</x:f></x:c></x:row>)"
      R"(<x:row r="1"><x:c r="B1"><x:v>3</x:v></x:c><x:c r="B1"><x:v>4</x:v></x:c></x:row>)"
      R"(</x:sheetData></x:worksheet>)";
  std::string strings =
      R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
      R"(<si><r><t>Line_x000D_</t></r><r><rPr><b/></rPr><t xml:space="preserve"> two</t></r>)"
      R"(<rPh sb="0" eb="1"><t>PHONETIC</t></rPh></si></sst>)";
  std::string names =
      R"(<definedName name="_xlnm._FilterDatabase" localSheetId="0" hidden="1">)"
      R"(Sheet1!$A$1:$B$9</definedName><definedName name="Zeta">Sheet1!$B$1</definedName>)"
      R"(<definedName name="Alpha">#REF!</definedName>)"
      R"(<definedName name="Ext">[1]Sheet1!$A$1</definedName>)"
      R"(<definedName name="Column">Sheet1!$A:$A</definedName>)";
  TParts parts = PackageParts({sheet1}, strings, names);
  // Part names match without regard to case; an absolute target works.
  for (auto& [name, content] : parts) {
    if (name == "xl/workbook.xml") name = "XL/Workbook.XML";
    size_t at = content.find("Target=\"worksheets/sheet1.xml\"");
    if (at != std::string::npos) content.replace(at, 30, "Target=\"/xl/worksheets/sheet1.xml\"");
  }
  WriteZip(path, parts);

  std::unique_ptr<TWorkbook> book = OpenWorkbook(path);
  auto s = book->Worksheet(0);
  EXPECT_EQ(s->Cell(1, 2), Number(4)) << "the later of two cells at one place";
  EXPECT_EQ(s->Cell(2, 1), Number(1));
  EXPECT_EQ(s->Cell(2, 2), Number(25));
  EXPECT_EQ(s->Cell(2, 3), Text("#DIV/0!", TCellKind::Error));
  EXPECT_EQ((s->Cell(2, 6)), (TCellValue{TCellKind::Boolean, 0, "False"}));
  EXPECT_EQ(s->Cell(3, 1), Text("Line\r two")) << "runs joined, phonetic text left out";
  EXPECT_EQ(s->Cell(3, 2), Text("a & b AB"));
  EXPECT_EQ(s->Cell(3, 3), Number(61.5));
  EXPECT_EQ(s->Cell(3, 4), Text("twelve")) << "a number cell that holds no number";
  EXPECT_EQ(s->Cell(3, 5), Text("<raw>"));
  EXPECT_EQ(s->Cell(9, 1), TCellValue{}) << "a formula without a cached value";
  EXPECT_EQ(s->LastRow(), 9u);
  EXPECT_EQ(s->LastColumn(), 26u);
  // Stored in order, whatever the file's order.
  ASSERT_GE(s->CellCount(), 2u);
  EXPECT_EQ(s->CellRow(0), 1u);
  EXPECT_EQ(s->CellColumn(0), 2u);

  // Names in file order, hidden and built-in ones included.
  const auto& n = book->DefinedNames();
  ASSERT_EQ(n.size(), 5u);
  EXPECT_EQ(n[0].Name, "Sheet1!_FilterDatabase");
  EXPECT_EQ(n[0].Target, TNameTargetKind::MultiCell);
  EXPECT_EQ(n[1].Name, "Zeta");
  EXPECT_EQ(n[1].Target, TNameTargetKind::SingleCell);
  EXPECT_EQ(n[2].Target, TNameTargetKind::NoRange);
  EXPECT_EQ(n[3].Target, TNameTargetKind::NoRange) << "another workbook";
  EXPECT_EQ(n[4].Target, TNameTargetKind::MultiCell);
}

TEST(Workbook, RefusesFilesThatAreNoWorkbook) {
  TTempFolder dir;
  auto refused = [](const std::string& path) {
    try {
      OpenWorkbook(path);
    } catch (const NotAWorkbookError&) {
      return true;
    }
    return false;
  };
  WriteFile(dir.File("text.xlsx"), "Name,Value\nA,1\n");
  EXPECT_TRUE(refused(dir.File("text.xlsx")));
  WriteFile(dir.File("empty.xlsx"), "");
  EXPECT_TRUE(refused(dir.File("empty.xlsx")));
  EXPECT_TRUE(refused(dir.File("missing.xlsx")));
  EXPECT_TRUE(refused(dir.Path().string())) << "a directory";
  // A compound document that holds no readable workbook, as an encrypted
  // package is.
  WriteFile(dir.File("encrypted.xlsx"),
            std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'));
  EXPECT_TRUE(refused(dir.File("encrypted.xlsx")));
  WriteZip(dir.File("sheet.ods"), {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                   {"content.xml", "<office:document-content/>"}});
  EXPECT_TRUE(refused(dir.File("sheet.ods")));
  // A binary package: its workbook part is no XML.
  TParts xlsb = PackageParts({SheetXml("")});
  for (auto& [name, content] : xlsb)
    if (name == "xl/workbook.xml") content = std::string("\x83\x01\x00\x00", 4);
  WriteZip(dir.File("binary.xlsb"), xlsb);
  EXPECT_TRUE(refused(dir.File("binary.xlsb")));
  TParts noWorkbook = PackageParts({SheetXml("")});
  std::erase_if(noWorkbook, [](const auto& p) { return p.first == "xl/workbook.xml"; });
  WriteZip(dir.File("noworkbook.xlsx"), noWorkbook);
  EXPECT_TRUE(refused(dir.File("noworkbook.xlsx")));
  TParts malformed = PackageParts({SheetXml("")});
  for (auto& [name, content] : malformed)
    if (name == "xl/workbook.xml") content.resize(content.size() / 2);
  WriteZip(dir.File("malformed.xlsx"), malformed);
  EXPECT_TRUE(refused(dir.File("malformed.xlsx")));

  // A file the user may not read.
  std::string locked = dir.File("locked.xlsx");
  WriteZip(locked, PackageParts({SheetXml("")}));
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  EXPECT_EQ(
      AsOrdinaryUser(dir.Path().string(), [&] { return refused(locked) ? "refused" : "read"; }),
      "refused");
}

TEST(Workbook, DamagedSheetsRaiseWhenRead) {
  TTempFolder dir;
  auto damaged = [&](const std::string& sheetData, const std::string& strings = {}) {
    std::string path = dir.File("damaged.xlsx");
    WriteZip(path, PackageParts({SheetXml(sheetData)}, strings));
    std::unique_ptr<TWorkbook> book = OpenWorkbook(path);
    try {
      book->Worksheet(0);
    } catch (const WorkbookError& e) {
      return e.Message();
    }
    return std::string();
  };
  const std::string oneString = "<sst><si><t>only</t></si></sst>";
  EXPECT_EQ(damaged(R"(<row r="1"><c r="A1" t="s"><v>1</v></c></row>)", oneString),
            "The worksheet 'Sheet1' refers to a shared string '1' that the workbook does not "
            "have.");
  EXPECT_NE(damaged(R"(<row r="1"><c r="A1" t="s"><v>-1</v></c></row>)", oneString), "");
  EXPECT_EQ(damaged(R"(<row r="1"><c r="A0"><v>1</v></c></row>)"),
            "The worksheet 'Sheet1' holds a cell at the impossible position 'A0'.");
  for (const char* ref : {"XFE1", "A1048577", "1A", "AAAA1", "A", "A1x"})
    EXPECT_NE(damaged(std::string(R"(<row><c r=")") + ref + R"("><v>1</v></c></row>)"), "") << ref;
  EXPECT_NE(damaged(R"(<row r="0"><c><v>1</v></c></row>)"), "");
  EXPECT_NE(damaged(R"(<row r="1"><c r="A1"><v>1</v></row>)"), "") << "a cell never closed";
  EXPECT_NE(damaged(R"(<row r="1"><c r="A1" t="s><v>1</v></c></row>)"), "");

  // A sheet whose part is missing.
  TParts parts = PackageParts({SheetXml("")});
  std::erase_if(parts, [](const auto& p) { return p.first == "xl/worksheets/sheet1.xml"; });
  WriteZip(dir.File("nosheet.xlsx"), parts);
  EXPECT_THROW(OpenWorkbook(dir.File("nosheet.xlsx"))->Worksheet(0), WorkbookError);
}

TEST(Workbook, PartsAreReadOnlyUpToTheLimit) {
  TTempFolder dir;
  const TWorkbookLimits small{64 * 1024};
  std::string big = SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" +
                             std::string(200 * 1024, ' ')); // inflates far past the limit
  std::string path = dir.File("bomb.xlsx");
  WriteZip(path, PackageParts({big}));
  EXPECT_EQ(OpenWorkbook(path)->Worksheet(0)->Cell(1, 1), Number(1)) << "within the usual limit";
  std::unique_ptr<TWorkbook> book = OpenWorkbook(path, small);
  EXPECT_THROW(book->Worksheet(0), WorkbookError);

  // A package whose directory understates the part's size: the reading
  // still stops at the limit.
  std::string bytes = ReadFile(path);
  const std::string entry = "xl/worksheets/sheet1.xml";
  for (size_t at = bytes.find(entry); at != std::string::npos; at = bytes.find(entry, at + 1)) {
    // The name follows a local header of 30 bytes or a central record of
    // 46; the inflated size sits 22 or 24 bytes into them.
    for (size_t header : {at - 30, at - 46}) {
      if (header > bytes.size()) continue;
      bool local = bytes.compare(header, 4, "PK\x03\x04") == 0;
      bool central = bytes.compare(header, 4, "PK\x01\x02") == 0;
      if (local) bytes.replace(header + 22, 4, std::string("\x10\x00\x00\x00", 4));
      if (central) bytes.replace(header + 24, 4, std::string("\x10\x00\x00\x00", 4));
    }
  }
  WriteFile(path, bytes);
  bool refused = false;
  try {
    OpenWorkbook(path, small)->Worksheet(0);
  } catch (const Exception&) {
    refused = true;
  }
  EXPECT_TRUE(refused);

  // A workbook part beyond the limit: no workbook at all.
  TParts hugeWorkbook = PackageParts({SheetXml("")});
  for (auto& [name, content] : hugeWorkbook)
    if (name == "xl/workbook.xml") content += std::string(100 * 1024, ' ');
  WriteZip(path, hugeWorkbook);
  EXPECT_THROW(OpenWorkbook(path, small), NotAWorkbookError);
}

TEST(Workbook, ReadsBinaryWorkbooks) {
  TTempFolder dir;
  std::string path = dir.File("prices.xls");
  WriteXls(path, 10, 5);
  std::unique_ptr<TWorkbook> book = OpenWorkbook(path);
  ASSERT_EQ(book->WorksheetCount(), 3);
  EXPECT_EQ(book->WorksheetName(0), "Prices");
  EXPECT_EQ(book->FindWorksheet("wide"), 2);
  EXPECT_TRUE(book->DefinedNames().empty());
  auto s = book->Worksheet(0);
  EXPECT_EQ(s->Cell(1, 1), Number(12.5));
  EXPECT_EQ(s->Cell(2, 2), Text("Widget"));
  // The library gives booleans as the numbers 1 and 0.
  EXPECT_EQ(s->Cell(3, 3), Number(1));
  EXPECT_EQ(s->Cell(4, 4), Number(45306)) << "dates are serial numbers";
  EXPECT_EQ(s->Cell(5, 1), Number(-3));
  EXPECT_EQ(s->Cell(6, 2), Number(0.03125));
  EXPECT_EQ(s->Cell(7, 5), Number(1.5)) << "1900-01-01 12:00";
  EXPECT_EQ(s->Cell(8, 1), TCellValue{});
  EXPECT_THROW(s->Cell(65537, 1), ArgumentOutOfRangeException);
  EXPECT_THROW(s->Cell(1, 257), ArgumentOutOfRangeException);
  EXPECT_EQ(book->Worksheet(1)->CellCount(), 0u);
  auto wide = book->Worksheet(2);
  EXPECT_EQ(wide->LastRow(), 10u);
  EXPECT_EQ(wide->LastColumn(), 5u);
}

TEST(Workbook, ReadsBinaryWorkbooksInEitherKindOfStream) {
  TTempFolder dir;
  std::string path = dir.File("made.xls");
  const std::string cells = BiffDimensions(3, 2) + BiffNumber(2, 1, 42.5);
  // In the mini stream, in sectors of their own, and in the older version.
  WriteFile(path, CompoundDocument({{"Workbook", BiffWorkbook({cells})}}));
  EXPECT_EQ(OpenWorkbook(path)->Worksheet(0)->Cell(3, 2), Number(42.5));
  WriteFile(path, CompoundDocument({{"Workbook", BiffWorkbook({cells}, false, BiffFiller(5000))}}));
  EXPECT_EQ(OpenWorkbook(path)->Worksheet(0)->Cell(3, 2), Number(42.5));
  WriteFile(
      path,
      CompoundDocument(
          {{"Book", BiffWorkbook({BiffDimensions(3, 2, true) + BiffNumber(2, 1, 42.5)}, true)}}));
  EXPECT_EQ(OpenWorkbook(path)->Worksheet(0)->Cell(3, 2), Number(42.5));
  // A cell outside its sheet's grid: the library says it opened the file
  // but gives no handle.
  WriteFile(path, CompoundDocument(
                      {{"Workbook", BiffWorkbook({BiffDimensions(2, 2) + BiffNumber(5, 5, 1)})}}));
  EXPECT_THROW(OpenWorkbook(path), NotAWorkbookError);
  // A broken container is no workbook either.
  std::string cut = CompoundDocument({{"Workbook", BiffWorkbook({cells})}});
  cut.resize(cut.size() - 512);
  WriteFile(path, cut);
  EXPECT_THROW(OpenWorkbook(path), NotAWorkbookError);
}

TEST(Workbook, BinaryWorkbooksDeclaringHugeGridsAreRefusedUnread) {
  TTempFolder dir;
  auto refusal = [](const std::string& path) -> std::string {
    try {
      OpenWorkbook(path);
    } catch (const NotAWorkbookError& e) {
      return e.Message();
    }
    return "opened";
  };
  // Four sheets with one number each in their last row and column: the
  // library would set up a gigabyte for a file of a few kilobytes.
  std::string four = dir.File("four.xls");
  WriteXls(four, 65536, 256, 4);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  ASSERT_EQ(refusal(four), "'" + four + "' has worksheets too large to be read.");
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes more at the peak";
  std::string hundred = dir.File("hundred.xls");
  WriteXls(hundred, 65536, 256, 100);
  EXPECT_EQ(refusal(hundred), "'" + hundred + "' has worksheets too large to be read.");

  // The limit holds at the workbook's own count.
  std::string path = dir.File("prices.xls");
  WriteXls(path, 10, 5);
  TWorkbookLimits limits;
  limits.MaxGridPositions = ScanBinaryWorkbook(path, UINT64_MAX).GridPositions;
  EXPECT_EQ(OpenWorkbook(path, limits)->WorksheetCount(), 3);
  limits.MaxGridPositions -= 1;
  EXPECT_EQ(refusal(path), "opened");
  EXPECT_THROW(OpenWorkbook(path, limits), NotAWorkbookError);
}

TEST(CellReferences, ParseA1DatesAndNames) {
  uint32_t row = 0, column = 0;
  EXPECT_TRUE(ParseA1("B12", row, column));
  EXPECT_EQ(row, 12u);
  EXPECT_EQ(column, 2u);
  EXPECT_TRUE(ParseA1("$xfd$1048576", row, column));
  EXPECT_EQ(row, 1048576u);
  EXPECT_EQ(column, 16384u);
  for (const char* bad : {"", "B", "12", "B0", "B-1", "B1.5", "XFE1", "B1048577", "AAAA1", "B 1"})
    EXPECT_FALSE(ParseA1(bad, row, column)) << bad;
  EXPECT_FALSE(ParseA1("IW1", row, column, BinaryGrid));
  EXPECT_TRUE(ParseA1("IV65536", row, column, BinaryGrid));

  double serial = 0;
  EXPECT_TRUE(DateTextToSerial("1900-01-01", false, serial));
  EXPECT_EQ(serial, 1);
  EXPECT_TRUE(DateTextToSerial("1900-02-28", false, serial));
  EXPECT_EQ(serial, 59);
  EXPECT_TRUE(DateTextToSerial("1900-02-29", false, serial));
  EXPECT_EQ(serial, 60);
  EXPECT_TRUE(DateTextToSerial("1900-03-01", false, serial));
  EXPECT_EQ(serial, 61);
  EXPECT_TRUE(DateTextToSerial("1904-01-02", true, serial));
  EXPECT_EQ(serial, 1);
  EXPECT_TRUE(DateTextToSerial("2024-01-15 18:00:00", false, serial));
  EXPECT_EQ(serial, 45306.75);
  EXPECT_TRUE(DateTextToSerial("06:00:00", false, serial));
  EXPECT_EQ(serial, 0.25);
  for (const char* bad : {"", "2024-13-01", "2024-02-30", "2024/01/15", "2024-01-15X", "25:00:00"})
    EXPECT_FALSE(DateTextToSerial(bad, false, serial)) << bad;

  EXPECT_TRUE(SameNameNoCase("Sheet1", "sHEET1"));
  EXPECT_FALSE(SameNameNoCase("Sheet1", "Sheet 1"));
  EXPECT_FALSE(SameNameNoCase("\xC3\x84", "\xC3\xA4")) << "only ASCII letters fold";
}

TEST(XmlScanner, ExpandsEntitiesAndSkipsDeclarations) {
  TXmlScanner xml(R"(<?xml version="1.0"?><!DOCTYPE a [<!ENTITY e "boom">]><!-- c -->)"
                  R"(<p:a k='1' p:j="x"><b/>&lt;&#x263A;&#0;&e;&amp;<![CDATA[&lt;]]></p:a>)");
  ASSERT_EQ(xml.Next(), TXmlScanner::tkStart);
  EXPECT_EQ(xml.Name(), "a");
  std::string_view v;
  EXPECT_TRUE(xml.Attribute("j", v));
  EXPECT_EQ(v, "x");
  EXPECT_TRUE(xml.Attribute("k", v));
  EXPECT_FALSE(xml.Attribute("m", v));
  ASSERT_EQ(xml.Next(), TXmlScanner::tkStart);
  EXPECT_EQ(xml.Name(), "b");
  ASSERT_EQ(xml.Next(), TXmlScanner::tkEnd);
  EXPECT_EQ(xml.Name(), "b");
  std::string text;
  ASSERT_EQ(xml.Next(), TXmlScanner::tkText);
  xml.AppendText(text);
  ASSERT_EQ(xml.Next(), TXmlScanner::tkText);
  xml.AppendText(text);
  // Undefined entities and the null character stay as written.
  EXPECT_EQ(text, "<\xE2\x98\xBA&#0;&e;&&lt;");
  ASSERT_EQ(xml.Next(), TXmlScanner::tkEnd);
  EXPECT_EQ(xml.Next(), TXmlScanner::tkEof);

  for (const char* bad : {"<a", "<a b>", "<a b='1>", "<!-- x", "<![CDATA[x", "</", "<?x"}) {
    TXmlScanner broken(bad);
    EXPECT_THROW(while (broken.Next() != TXmlScanner::tkEof){}, WorkbookError) << bad;
  }
}
