#include "platform/workbook/Workbook.h"
#include "platform/workbook/BinaryScan.h"
#include "platform/workbook/XmlScanner.h"
#include "support/CompoundFiles.h"
#include "support/ChildProcess.h"
#include "support/Unprivileged.h"
#include "support/Workbooks.h"

#include <xlsxwriter.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <thread>

using namespace bw;
using namespace bw::test;
using ::testing::ThrowsMessage;

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
  EXPECT_TRUE(book->WorksheetShowsNothing(1));
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

// Files that are no workbook are told apart from what cannot be used, which
// gets a message of its own.
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
  auto told = [](const std::string& path) {
    try {
      OpenWorkbook(path);
    } catch (const WorkbookError& e) {
      return e.Message();
    }
    return std::string("opened");
  };
  WriteFile(dir.File("text.xlsx"), "Name,Value\nA,1\n");
  EXPECT_TRUE(refused(dir.File("text.xlsx")));
  WriteFile(dir.File("empty.xlsx"), "");
  EXPECT_TRUE(refused(dir.File("empty.xlsx")));
  EXPECT_EQ(told(dir.File("missing.xlsx")), "'" + dir.File("missing.xlsx") + "' does not exist.");
  EXPECT_EQ(told(dir.Path().string()), "'" + dir.Path().string() + "' is not a file.");
  // A FIFO is refused at once, not waited on for a writer.
  ASSERT_EQ(mkfifo(dir.File("fifo.xlsx").c_str(), 0600), 0);
  EXPECT_EQ(told(dir.File("fifo.xlsx")), "'" + dir.File("fifo.xlsx") + "' is not a file.");
  // A compound document that holds no workbook stream, as an encrypted
  // package.
  WriteFile(dir.File("encrypted.xlsx"),
            CompoundDocument({{"EncryptedPackage", std::string(100, 'x')}}));
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
  // Workbooks that are damaged say where.
  TParts malformed = PackageParts({SheetXml("")});
  for (auto& [name, content] : malformed)
    if (name == "xl/workbook.xml") content.resize(content.size() / 2);
  WriteZip(dir.File("malformed.xlsx"), malformed);
  EXPECT_EQ(told(dir.File("malformed.xlsx")),
            "'" + dir.File("malformed.xlsx") +
                "' is damaged: its part 'xl/workbook.xml' is not well-formed XML.");
  std::string cut = ReadFile(dir.File("malformed.xlsx"));
  WriteFile(dir.File("cut.xlsx"), cut.substr(0, cut.size() - 30));
  EXPECT_EQ(told(dir.File("cut.xlsx")).substr(0, dir.File("cut.xlsx").size() + 14),
            "'" + dir.File("cut.xlsx") + "' is damaged:");

  // A file the user may not read.
  std::string locked = dir.File("locked.xlsx");
  WriteZip(locked, PackageParts({SheetXml("")}));
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  EXPECT_EQ(AsOrdinaryUser(dir.Path().string(), [&] { return told(locked); }),
            "'" + locked + "' cannot be read.");
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
  // Each message names the file, as every other workbook message does.
  const std::string isDamaged = "'" + dir.File("damaged.xlsx") + "' is damaged: ";
  const std::string oneString = "<sst><si><t>only</t></si></sst>";
  EXPECT_EQ(damaged(R"(<row r="1"><c r="A1" t="s"><v>1</v></c></row>)", oneString),
            isDamaged + "its worksheet 'Sheet1' refers to a shared string '1' that the workbook "
                        "does not have.");
  EXPECT_NE(damaged(R"(<row r="1"><c r="A1" t="s"><v>-1</v></c></row>)", oneString), "");
  EXPECT_EQ(damaged(R"(<row r="1"><c r="A0"><v>1</v></c></row>)"),
            isDamaged + "its worksheet 'Sheet1' holds a cell at the impossible position 'A0'.");
  EXPECT_EQ(damaged(R"(<row r="1"><c r="A1"><v>1</v></row>)"),
            isDamaged + "its worksheet 'Sheet1' is not well-formed XML.");
  EXPECT_EQ(damaged(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)", "<sst><si><t>cut"),
            isDamaged + "its part 'xl/sharedStrings.xml' is not well-formed XML.");
  for (const char* ref : {"XFE1", "A1048577", "1A", "AAAA1", "A", "A1x"})
    EXPECT_NE(damaged(std::string(R"(<row><c r=")") + ref + R"("><v>1</v></c></row>)"), "") << ref;
  EXPECT_NE(damaged(R"(<row r="0"><c><v>1</v></c></row>)"), "");
  EXPECT_NE(damaged(R"(<row r="1"><c r="A1" t="s><v>1</v></c></row>)"), "");

  // A sheet whose part is missing.
  TParts parts = PackageParts({SheetXml("")});
  std::erase_if(parts, [](const auto& p) { return p.first == "xl/worksheets/sheet1.xml"; });
  WriteZip(dir.File("nosheet.xlsx"), parts);
  EXPECT_THAT([&] { OpenWorkbook(dir.File("nosheet.xlsx"))->Worksheet(0); },
              ThrowsMessage<WorkbookError>("'" + dir.File("nosheet.xlsx") +
                                           "' is damaged: it has no part for the worksheet "
                                           "'Sheet1'."));
}

// A sheet that failed is not read again: a second reading would find the
// data budget spent by the first and give another reason.
TEST(Workbook, ASheetThatFailedGivesTheSameReasonAgain) {
  TTempFolder dir;
  const std::string path = dir.File("big.xlsx");
  std::string rows;
  for (int r = 1; r <= 200; ++r)
    rows += "<row r=\"" + std::to_string(r) + "\"><c><v>1</v></c></row>";
  const std::string sheet = SheetXml(rows);
  WriteZip(path, PackageParts({sheet}));
  TWorkbookLimits limits;
  limits.MaxWorkbookItems = 100;
  limits.MaxWorkbookBytes = sheet.size() * 3 / 2;
  std::unique_ptr<TWorkbook> book = OpenWorkbook(path, limits);
  const std::string reason =
      "'" + path + "' is too large to be read: it holds more than 100 cells and texts.";
  for (int time = 0; time < 2; ++time)
    EXPECT_THAT([&] { book->Worksheet(0); }, ThrowsMessage<WorkbookError>(reason)) << time;
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
  ClaimPartSize(bytes, "xl/worksheets/sheet1.xml", 16);
  WriteFile(path, bytes);
  bool refused = false;
  try {
    OpenWorkbook(path, small)->Worksheet(0);
  } catch (const Exception&) {
    refused = true;
  }
  EXPECT_TRUE(refused);

  // A workbook part beyond its own limit.
  TParts hugeWorkbook = PackageParts({SheetXml("")});
  for (auto& [name, content] : hugeWorkbook)
    if (name == "xl/workbook.xml") content += std::string(100 * 1024, ' ');
  WriteZip(path, hugeWorkbook);
  TWorkbookLimits smallTree;
  smallTree.MaxTreePartSize = 64 * 1024;
  EXPECT_NO_THROW(OpenWorkbook(path));
  try {
    OpenWorkbook(path, smallTree);
    ADD_FAILURE() << "opened";
  } catch (const WorkbookError& e) {
    EXPECT_EQ(e.Message(), "'" + path +
                               "' is too large to be read: its part 'xl/workbook.xml' inflates to "
                               "more than 64 KiB.");
  }
}

// Whether a sheet shows nothing is told from its first cells, without
// reading the sheet: damage further on is seen only when it is read.
TEST(Workbook, TellsAnEmptySheetFromItsFirstCells) {
  TTempFolder dir;
  const std::string damage = R"(<row r="9"><c r="A0"/></row>)";
  auto columns = [](size_t bytes) {
    return "<worksheet><cols>" + Repeat(R"(<col min="1" max="1" width="9"/>)", bytes) +
           "</cols><sheetData/></worksheet>";
  };
  const std::vector<std::pair<std::string, bool>> sheets = {
      {SheetXml(""), true},
      {SheetXml(R"(<row r="1"><c r="A1" s="3"/></row>)"), true},
      {SheetXml(R"(<row r="1"><c r="A1" t="inlineStr"><is><t></t></is></c></row>)"), true},
      {SheetXml(R"(<row r="1"><c r="A1"><v>0</v></c></row>)" + damage), false},
      {SheetXml(R"(<row r="2"><c r="B2" s="1"/></row>)" + damage), false},
      {SheetXml(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"), false},
      // Its data after the first piece read; after the most ever read.
      {columns(64 * 1024), true},
      {columns(512 * 1024), false},
  };
  std::vector<std::string> parts;
  for (const auto& [xml, nothing] : sheets)
    parts.push_back(xml);
  const std::string path = dir.File("sheets.xlsx");
  WriteZip(path, PackageParts(parts, "<sst><si><t>x</t></si></sst>"));
  std::unique_ptr<TWorkbook> book = OpenWorkbook(path);
  for (int i = 0; i < book->WorksheetCount(); ++i)
    EXPECT_EQ(book->WorksheetShowsNothing(i), sheets[static_cast<size_t>(i)].second) << i;
  EXPECT_THROW(book->Worksheet(3), WorkbookError);
}

// Forty sheets that all name one part of two million empty cells: read
// once, it is held once.
TEST(Workbook, APartNamedByManySheetsIsReadOnce) {
  TTempFolder dir;
  const std::string path = dir.File("forty.xlsx");
  WriteZip(path, OnePartSheets(40, SheetXml(EmptyCellRows(size_t{8} << 20))));
  const std::string read = InChildWithin(size_t{512} << 20, [&] {
    std::unique_ptr<TWorkbook> book = OpenWorkbook(path);
    std::set<const TWorksheet*> held;
    for (int i = 0; i < book->WorksheetCount(); ++i)
      held.insert(book->Worksheet(i).get());
    return std::to_string(book->WorksheetCount()) + " sheets, " + std::to_string(held.size()) +
           " held, " + std::to_string((*held.begin())->CellCount()) + " cells";
  });
  EXPECT_EQ(read, "40 sheets, 1 held, " + std::to_string(127 * 16384) + " cells");
}

// One budget for the whole workbook: what all its parts inflate to and the
// cells and texts all its sheets hold. A hostile workbook is refused with
// a message that names the file and the limit before it takes the memory
// of the machine.
TEST(Workbook, AWorkbookIsRefusedBeyondItsBudget) {
  TTempFolder dir;
  auto refusal = [](const std::function<void()>& read) {
    try {
      read();
    } catch (const WorkbookError& e) {
      return e.Message();
    }
    return std::string("read");
  };
  // Twenty million empty shared strings and more, in a file of a few
  // hundred kilobytes.
  const std::string strings = dir.File("strings.xlsx");
  WriteZip(strings, OnePartSheets(1, SheetXml(R"(<row><c t="s"><v>0</v></c></row>)"),
                                  "<sst>" + Repeat("<si/>", 20200000 * 5) + "</sst>"));
  EXPECT_EQ(InChildWithin(size_t{768} << 20,
                          [&] { return refusal([&] { OpenWorkbook(strings)->Worksheet(0); }); }),
            "'" + strings +
                "' is too large to be read: it holds more than 20,000,000 cells and texts.");

  // Two sheets of a thousand cells each, within the limits of one.
  const std::string row = "<row>" + Repeat("<c><v>1</v></c>", 1000 * 15) + "</row>";
  const std::string two = dir.File("two.xlsx");
  WriteZip(two, PackageParts({SheetXml(row), SheetXml(row)}));
  TWorkbookLimits limits;
  limits.MaxWorkbookItems = 1500;
  std::unique_ptr<TWorkbook> book = OpenWorkbook(two, limits);
  EXPECT_EQ(book->Worksheet(0)->CellCount(), 1000u);
  EXPECT_EQ(refusal([&] { book->Worksheet(1); }),
            "'" + two + "' is too large to be read: it holds more than 1,500 cells and texts.");
  limits = {};
  limits.MaxWorkbookBytes = 20 * 1024;
  book = OpenWorkbook(two, limits);
  EXPECT_EQ(book->Worksheet(0)->CellCount(), 1000u);
  EXPECT_EQ(refusal([&] { book->Worksheet(1); }),
            "'" + two + "' is too large to be read: it takes more than 20 KiB of data.");
}

// The size a package's directory gives for a part is never what is
// allocated; a part of another size than it gives is damaged.
TEST(Workbook, APartThatBeliesItsDirectoryIsDamaged) {
  TTempFolder dir;
  const std::string path = dir.File("lying.xlsx");
  WriteZip(path, PackageParts({SheetXml(R"(<row r="1"><c r="A1"><v>1</v></c></row>)")}));
  const std::string good = ReadFile(path);
  const std::string part = "xl/worksheets/sheet1.xml";
  const std::string damaged =
      "'" + path + "' is damaged: its part '" + part + "' inflates to " +
      std::to_string(SheetXml(R"(<row r="1"><c r="A1"><v>1</v></c></row>)").size()) +
      " bytes, not the ";
  for (uint32_t claim : {250000000u, 10u}) {
    std::string bytes = good;
    ClaimPartSize(bytes, part, claim);
    WriteFile(path, bytes);
    EXPECT_EQ(InChildWithin(size_t{64} << 20,
                            [&]() -> std::string {
                              try {
                                OpenWorkbook(path)->Worksheet(0);
                              } catch (const WorkbookError& e) {
                                return e.Message();
                              }
                              return "read";
                            }),
              damaged + std::to_string(claim) + " its directory gives.");
  }
  // Beyond a part's limit, the claim alone makes no part too large: the
  // workbook part of a few hundred bytes, claimed at 250,000,000 (past its
  // 16 MiB), is damaged too.
  std::string workbookPart;
  for (const auto& [name, content] : PackageParts({SheetXml("")}))
    if (name == "xl/workbook.xml") workbookPart = content;
  WriteZip(path, PackageParts({SheetXml("")}));
  std::string bytes = ReadFile(path);
  ClaimPartSize(bytes, "xl/workbook.xml", 250000000u);
  WriteFile(path, bytes);
  EXPECT_THAT([&] { OpenWorkbook(path); },
              ThrowsMessage<WorkbookError>("'" + path +
                                           "' is damaged: its part 'xl/workbook.xml' inflates to " +
                                           std::to_string(workbookPart.size()) +
                                           " bytes, not the 250000000 its directory gives."));
}

// A workbook replaced while it is opened, as when a spreadsheet program
// saves it: what was scanned is what the library reads, never the file
// that took its name in between.
TEST(Workbook, TheBinaryFileScannedIsTheFileRead) {
  TTempFolder dir;
  // One within the limit, one whose grid is beyond it.
  const std::string small =
      CompoundDocument({{"Workbook", BiffWorkbook({BiffDimensions(2, 2) + BiffNumber(0, 0, 1)})}});
  const std::string large = CompoundDocument(
      {{"Workbook", BiffWorkbook({BiffDimensions(100, 100) + BiffNumber(0, 0, 2)})}});
  TWorkbookLimits limits;
  limits.MaxGridPositions = 1000;
  const std::string path = dir.File("book.xls");
  WriteFile(path, small);
  std::atomic<bool> done = false;
  std::thread saver([&] {
    for (int i = 0; !done; ++i) {
      WriteFile(dir.File("saved.xls"), i % 2 ? small : large);
      std::filesystem::rename(dir.File("saved.xls"), path);
    }
  });
  int smallRead = 0, largeRead = 0, refused = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (std::chrono::steady_clock::now() < until && largeRead == 0) {
    try {
      (OpenWorkbook(path, limits)->Worksheet(0)->Cell(1, 1) == Number(1) ? smallRead : largeRead)++;
    } catch (const Exception&) {
      ++refused;
    }
  }
  done = true;
  saver.join();
  EXPECT_EQ(largeRead, 0);
  EXPECT_GT(smallRead, 0);
  EXPECT_GT(refused, 0);
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
  EXPECT_TRUE(book->WorksheetShowsNothing(1));
  EXPECT_FALSE(book->WorksheetShowsNothing(2));
  EXPECT_EQ(book->Worksheet(1)->CellCount(), 0u);
  auto wide = book->Worksheet(2);
  EXPECT_EQ(wide->LastRow(), 10u);
  EXPECT_EQ(wide->LastColumn(), 5u);
}

// Where /proc is mounted the library reads the sealed copy by its name
// there, and nothing is written. Where it is not (a chroot, a container)
// the library reads a private copy in the temporary folder, gone once the
// workbook is open, and so are the copies of reads killed long ago; a
// temporary folder that cannot take the copy makes the workbook unreadable,
// never damaged.
TEST(Workbook, BinaryWorkbooksOpenWithAndWithoutProc) {
  TTempFolder dir; // open to every user: no private copy can be made in it
  const std::string path = dir.File("sane.xls");
  WriteXls(path, 10, 5);
  auto left = [](const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.insert(entry.path().filename().string());
    std::string text;
    for (const std::string& name : names)
      text += " " + name;
    return text;
  };
  // What opening the workbook gives, and what the temporary folder holds
  // while it is open, or after a refusal.
  auto read = [&](const std::string& temp) -> std::string {
    setenv("TMPDIR", temp.c_str(), 1);
    std::string seen;
    try {
      auto book = OpenWorkbook(path);
      seen = std::to_string(book->WorksheetCount()) + " sheets, " +
             book->Worksheet(0)->Cell(2, 2).Text;
      return seen + ";" + left(temp);
    } catch (const Exception& e) {
      seen = e.Message();
    }
    return seen + ";" + left(temp);
  };
  EXPECT_EQ(InChildProcess([&] { return read(dir.Path().string()); }),
            "3 sheets, Widget; sane.xls");
  if (geteuid() != 0) GTEST_SKIP() << "only root can hide /proc from its processes";

  std::string temp = std::string(std::getenv("TMPDIR")) + "/xls-XXXXXX";
  ASSERT_TRUE(mkdtemp(temp.data()));
  const std::string full = temp + "/full";
  for (const char* name : {"/full", "/brantwick-workbook-killed", "/brantwick-workbook-held",
                           "/brantwick-workbook-recent"})
    std::filesystem::create_directory(temp + name);
  WriteFile(temp + "/brantwick-workbook-killed/workbook.xls", ReadFile(path));
  const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  for (const char* name : {"/brantwick-workbook-killed", "/brantwick-workbook-held"})
    std::filesystem::last_write_time(temp + name, hourAgo);
  const std::string withoutProc = InChildProcess([&]() -> std::string {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        umount2("/proc", MNT_DETACH) != 0 || access("/proc/self/fd", F_OK) == 0 ||
        mount("none", full.c_str(), "tmpfs", 0, "size=4k") != 0)
      return "(no namespace without /proc)";
    // A read that holds its folder, as another copy of the program would.
    const int held = open((temp + "/brantwick-workbook-held").c_str(), O_RDONLY | O_DIRECTORY);
    if (held < 0 || flock(held, LOCK_EX) != 0) return "(no lock)";
    std::string seen;
    for (const std::string& folder : {temp, full, dir.Path().string()})
      seen += read(folder) + "\n";
    return seen;
  });
  std::filesystem::remove_all(temp);
  if (withoutProc == "(no namespace without /proc)") GTEST_SKIP() << "cannot hide /proc here";
  const std::string unreadable = "'" + path +
                                 "' cannot be read: with no /proc, it is read from a "
                                 "private copy, which cannot be made in '";
  EXPECT_EQ(withoutProc,
            "3 sheets, Widget; brantwick-workbook-held brantwick-workbook-recent full\n" +
                unreadable + full + "/' (No space left on device).;\n" + unreadable +
                dir.Path().string() + "/' (other users may change '" + dir.Path().string() +
                "').; sane.xls\n");
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
  // A cell outside its sheet's grid (the library would say it opened the
  // file but give no handle), a broken container: damaged.
  WriteFile(path, CompoundDocument(
                      {{"Workbook", BiffWorkbook({BiffDimensions(2, 2) + BiffNumber(5, 5, 1)})}}));
  EXPECT_THROW(OpenWorkbook(path), WorkbookError);
  std::string cut = CompoundDocument({{"Workbook", BiffWorkbook({cells})}});
  cut.resize(cut.size() - 512);
  WriteFile(path, cut);
  try {
    OpenWorkbook(path);
    ADD_FAILURE() << "opened";
  } catch (const WorkbookError& e) {
    EXPECT_EQ(e.Message(), "'" + path + "' is damaged: its allocation table is broken.");
  }
}

TEST(Workbook, BinaryWorkbooksDeclaringHugeGridsAreRefusedUnread) {
  TTempFolder dir;
  auto refusal = [](const std::string& path, const TWorkbookLimits& limits = {}) -> std::string {
    try {
      OpenWorkbook(path, limits);
    } catch (const WorkbookError& e) {
      return e.Message();
    }
    return "opened";
  };
  const std::string tooLarge =
      "' is too large to be read: its worksheets declare more than 16,777,216 cell positions.";
  // Four sheets with one number each in their last row and column: the
  // library would set up a gigabyte for a file of a few kilobytes.
  std::string four = dir.File("four.xls");
  WriteXls(four, 65536, 256, 4);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  ASSERT_EQ(refusal(four), "'" + four + tooLarge);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes more at the peak";
  std::string hundred = dir.File("hundred.xls");
  WriteXls(hundred, 65536, 256, 100);
  EXPECT_EQ(refusal(hundred), "'" + hundred + tooLarge);

  // The limit holds at the workbook's own count.
  std::string path = dir.File("prices.xls");
  WriteXls(path, 10, 5);
  TWorkbookLimits limits;
  const int fd = open(path.c_str(), O_RDONLY);
  limits.MaxGridPositions = ScanBinaryWorkbook(fd, UINT64_MAX).GridPositions;
  close(fd);
  EXPECT_EQ(OpenWorkbook(path, limits)->WorksheetCount(), 3);
  limits.MaxGridPositions -= 1;
  EXPECT_EQ(refusal(path), "opened");
  EXPECT_NE(refusal(path, limits), "opened");
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
