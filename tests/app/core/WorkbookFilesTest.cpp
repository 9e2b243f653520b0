#include "app/core/WorkbookFiles.h"
#include "model/FunctionParser.h"
#include "platform/workbook/Workbook.h"
#include "support/TreeBuilder.h"
#include "support/Workbooks.h"

#include <xlsxwriter.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

using namespace bw;
using namespace bw::test;

namespace {

void WritePrices(const std::string& path, double a1) {
  WriteXlsx(path, [a1](lxw_workbook* book) {
    lxw_worksheet* s = workbook_add_worksheet(book, "Prices");
    worksheet_write_number(s, 0, 0, a1, nullptr);
    worksheet_write_string(s, 1, 0, "12", nullptr);
    worksheet_write_number(s, 11, 1, 0.09375, nullptr);
    workbook_define_name(book, "Rate", "=Prices!$A$1");
    workbook_define_name(book, "Prices!Local", "=Prices!$B$12");
    workbook_define_name(book, "TaxRate", "=0.19");
    workbook_define_name(book, "Block", "=Prices!$A$1:$B$12");
  });
}

std::string Reference(const std::string& path, const std::string& address) {
  return "Import: Excel(\"" + QuoteArgument(path) + "\", \"" + QuoteArgument(address) + "\")";
}

} // namespace

TEST(WorkbookFiles, ImportedPayoffsReadRealWorkbooks) {
  TTempFolder dir;
  // A quote in the path survives the reference.
  std::string xlsx = dir.File("prices \"2024\".xlsx");
  WritePrices(xlsx, 12.34567);
  std::string xls = dir.File("prices.xls");
  WriteXls(xls);
  TWorkbookFiles files;
  Tree t;
  TDecTreeNode& node = *t.Root;
  std::string error;
  auto import = [&](const std::string& path, const std::string& address) {
    node.PayoffSource = Reference(path, address);
    return node.ImportPayoff(error, files);
  };

  EXPECT_EQ(import(xlsx, "Prices$A1"), 123457);
  EXPECT_EQ(import(xlsx, "prices$b12"), 938) << "sheet and cell in any case";
  EXPECT_EQ(import(xlsx, "Rate"), 123457);
  EXPECT_EQ(import(xlsx, "Local"), 938);
  EXPECT_EQ(import(xlsx, "Prices!Local"), 938);
  EXPECT_EQ(import(xlsx, "Prices$A2"), 0) << "a text that looks like a number";
  EXPECT_EQ(import(xlsx, "Prices$Z99"), 0) << "an empty cell";
  EXPECT_EQ(import(xlsx, "Block"), 0) << "a range of several cells";
  EXPECT_EQ(error, "");
  EXPECT_EQ(import(xls, "Prices$A1"), 125000);
  EXPECT_EQ(import(xls, "Prices$B6"), 312);
  EXPECT_EQ(import(xls, "Prices$D4"), 453060000) << "a date is its serial number";

  // Failures of the reading raise, with a message the overview can show.
  EXPECT_THROW(import(xlsx, "Renamed$A1"), WorkbookError);
  EXPECT_THROW(import(xlsx, "Deleted"), WorkbookError);
  EXPECT_THROW(import(xlsx, "TaxRate"), WorkbookError);
  EXPECT_THROW(import(xls, "Prices$A65537"), ArgumentOutOfRangeException);
  EXPECT_THROW(import(xlsx, "Prices$A0"), ArgumentOutOfRangeException);
}

// What names no file, a file that is no workbook, or a workbook that cannot
// be read, is told by name.
TEST(WorkbookFiles, WhatCannotBeReadIsToldByName) {
  TTempFolder dir;
  std::string error;
  auto told = [&](const std::string& path, IWorkbookOpener& files) {
    try {
      EvaluateFunction("Excel(\"" + path + "\", \"Prices$A1\")", error, files);
    } catch (const Exception& e) {
      return e.Message();
    }
    return error;
  };
  TWorkbookFiles files(true);
  EXPECT_EQ(told(dir.Path().string(), files), "'" + dir.Path().string() + "' is not a file.");
  std::string notes = dir.File("notes.xlsx");
  std::ofstream(notes) << "not a workbook";
  EXPECT_EQ(told(notes, files), "'" + notes + "' is not a workbook.");
  WriteZip(notes, {{"content.xml", "<office:document-content/>"}});
  EXPECT_EQ(told(notes, files), "'" + notes + "' is not a workbook: it has no workbook part.");
  std::string damaged = dir.File("damaged.xls");
  WriteXls(damaged);
  std::filesystem::resize_file(damaged, std::filesystem::file_size(damaged) - 512);
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(told(damaged, files),
              "'" + damaged + "' is damaged: a chain of its sectors is broken.");
  EXPECT_EQ(files.ReadCount(), 4) << "the damaged workbook read once";
}

TEST(WorkbookFiles, KeptWorkbooksAreReadOncePerFileState) {
  TTempFolder dir;
  std::string path = dir.File("prices.xlsx");
  WritePrices(path, 1);
  std::string error;
  TWorkbookFiles kept(true);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(EvaluateFunction("Excel(\"" + path + "\", \"Rate\")", error, kept), 1);
  EXPECT_EQ(kept.ReadCount(), 1);
  // A changed file is read again; its time is set apart from the first,
  // however coarse the file system's clock.
  const auto written = std::filesystem::last_write_time(path);
  WritePrices(path, 2000.5);
  std::filesystem::last_write_time(path, written + std::chrono::seconds(2));
  EXPECT_EQ(EvaluateFunction("Excel(\"" + path + "\", \"Rate\")", error, kept), 2000.5);
  EXPECT_EQ(kept.ReadCount(), 2);

  TWorkbookFiles fresh;
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(EvaluateFunction("Excel(\"" + path + "\", \"Rate\")", error, fresh), 2000.5);
  EXPECT_EQ(fresh.ReadCount(), 2);
}
