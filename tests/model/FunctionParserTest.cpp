#include "model/FunctionParser.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <unistd.h>

using namespace bw;
using namespace bw::test;

namespace {

// A workbook whose cells the test gives; it records what was asked.
struct FakeWorkbook : IWorkbookReader {
  std::function<std::optional<double>(const std::string&, int, int)> Cell;
  std::function<std::optional<double>(const std::string&)> Named;
  std::optional<double> SheetCellNumber(const std::string& sheet, int row, int column) override {
    return Cell(sheet, row, column);
  }
  std::optional<double> NamedCellNumber(const std::string& name) override { return Named(name); }
};

struct FakeOpener : IWorkbookOpener {
  std::shared_ptr<FakeWorkbook> Book = std::make_shared<FakeWorkbook>();
  bool IsWorkbook = true;
  std::vector<std::string> Opened;
  std::shared_ptr<IWorkbookReader> Open(const std::string& path) override {
    Opened.push_back(path);
    return IsWorkbook ? Book : nullptr;
  }
};

// An existing file, for the check that the workbook exists.
struct ExistingFile {
  std::string Path = (std::filesystem::temp_directory_path() /
                      ("bw-parser-" + std::to_string(::getpid()) + ".xlsx"))
                         .string();
  ExistingFile() { std::ofstream(Path) << "x"; }
  ~ExistingFile() { std::filesystem::remove(Path); }
};

std::vector<std::string> Args(std::string_view text, std::string* name = nullptr) {
  std::string n;
  std::vector<std::string> args;
  SplitFunctionCall(text, n, args);
  if (name) *name = n;
  return args;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(FunctionParser, ColumnLetters) {
  EXPECT_EQ(ColumnToLetters(0), "A");
  EXPECT_EQ(ColumnToLetters(25), "Z");
  EXPECT_EQ(ColumnToLetters(26), "AA");
  EXPECT_EQ(ColumnToLetters(27), "AB");
  EXPECT_EQ(ColumnToLetters(51), "AZ");
  EXPECT_EQ(ColumnToLetters(52), "BA");
  EXPECT_EQ(ColumnToLetters(701), "ZZ");
  EXPECT_THROW(ColumnToLetters(702), AssertionFailure);
  EXPECT_THROW(ColumnToLetters(-1), AssertionFailure);
}

TEST(FunctionParser, CellReferencesAreCaseInsensitiveAndStrict) {
  int column = 0, row = 0;
  ParseCellReference("B12", column, row);
  EXPECT_EQ(column, 2);
  EXPECT_EQ(row, 12);
  ParseCellReference("AB3", column, row);
  EXPECT_EQ(column, 28);
  EXPECT_EQ(row, 3);
  // Lower case is the same cell, never another column.
  ParseCellReference("b12", column, row);
  EXPECT_EQ(column, 2);
  ParseCellReference("zz1", column, row);
  EXPECT_EQ(column, 702);
  for (const char* bad : {"[12", "1B2", "B_2", "@1", "B12x", "B1.5", "B99999999999", "B 1"})
    EXPECT_THROW(ParseCellReference(bad, column, row), ConvertError) << bad;
  for (const char* bad : {"ABC1", "B", "", "1"})
    EXPECT_THROW(ParseCellReference(bad, column, row), AssertionFailure) << bad;
}

TEST(FunctionParser, SplitsCalls) {
  std::string name;
  EXPECT_EQ(Args("Excel", &name), Strings{});
  EXPECT_EQ(name, "Excel");
  EXPECT_EQ(Args(" Excel (\"a\")", &name), Strings{"a"});
  EXPECT_EQ(name, " Excel ") << "the name is not trimmed";
  EXPECT_EQ(Args("Excel()"), Strings{""});
  EXPECT_EQ(Args("Excel("), Strings{""});
  EXPECT_EQ(Args(R"(Excel("a)b"))"), Strings{"a)b"}) << "the last character closes the call";
  EXPECT_EQ(Args(R"(Excel("/d/a,b.xlsx", "Sheet1$B12"])"), (Strings{"/d/a,b.xlsx", "Sheet1$B12"}));
  EXPECT_EQ(Args("Excel( x ,\t y\n)"), (Strings{"x", "y"}));
  EXPECT_EQ(Args(R"(Excel("say ""hi""", "", "ab"""))"), (Strings{"say \"hi\"", "", "ab\""}));
  EXPECT_EQ(Args(R"(Excel("unclosed, x))"), Strings{}) << "an unclosed quote takes the rest";

  const std::string path = R"(/home/ann/"quoted" figures.xlsx)";
  EXPECT_EQ(QuoteArgument(path), R"(/home/ann/""quoted"" figures.xlsx)");
  EXPECT_EQ(Args("Excel(\"" + QuoteArgument(path) + "\", \"" + QuoteArgument("It\"s$A1") + "\")"),
            (Strings{path, "It\"s$A1"}));
}

TEST(FunctionParser, EvaluatesInItsOrderOfChecks) {
  ExistingFile file;
  FakeOpener opener;
  std::string error = "stale";
  auto call = [&](const std::string& name, const std::string& rest) {
    return name + "(\"" + file.Path + "\"" + rest + ")";
  };

  // No first argument: the list's index error, before anything is opened.
  EXPECT_THROW(EvaluateFunction("Excel", error, opener), ListError);
  EXPECT_TRUE(opener.Opened.empty());
  EXPECT_EQ(EvaluateFunction(R"(Excel("/nowhere/x.xlsx", "S$A1"))", error, opener), 0);
  EXPECT_EQ(error, "File not found");
  EXPECT_TRUE(opener.Opened.empty());

  // The workbook is opened before the name is looked at.
  opener.IsWorkbook = false;
  EXPECT_EQ(EvaluateFunction(call("Foo", ", \"S$A1\""), error, opener), 0);
  EXPECT_EQ(error, "Microsoft Excel not installed");
  ASSERT_EQ(opener.Opened, Strings{file.Path});
  opener.IsWorkbook = true;
  for (const char* other : {"Foo", "excel", "Excel "}) {
    error = "stale";
    EXPECT_EQ(EvaluateFunction(call(other, ", \"S$A1\""), error, opener), 0);
    EXPECT_EQ(error, "") << other;
  }
  // The second argument is taken only now.
  EXPECT_THROW(EvaluateFunction(call("Excel", ""), error, opener), ListError);

  std::string asked;
  opener.Book->Cell = [&](const std::string& sheet, int row, int column) {
    asked = sheet + "/" + std::to_string(row) + "/" + std::to_string(column);
    return std::optional<double>(12.5);
  };
  opener.Book->Named = [&](const std::string& name) -> std::optional<double> {
    asked = name;
    if (name == "Missing") throw InvalidOperationException("no such name");
    return std::nullopt;
  };
  EXPECT_EQ(EvaluateFunction(call("Excel", ", \"My Sheet$ab7\""), error, opener), 12.5);
  EXPECT_EQ(asked, "My Sheet/7/28");
  EXPECT_EQ(EvaluateFunction(call("Excel", ", \"Rate\""), error, opener), 0);
  EXPECT_EQ(asked, "Rate");
  EXPECT_EQ(error, "") << "a value that is no number gives 0 without an error text";
  EXPECT_THROW(EvaluateFunction(call("Excel", ", \"Missing\""), error, opener), Exception);
  EXPECT_THROW(EvaluateFunction(call("Excel", ", \"S$A1B\""), error, opener), ConvertError);
}

TEST(FunctionParser, ImportPayoffRoundsAndRefusesWhatNoPayoffHolds) {
  ExistingFile file;
  FakeOpener opener;
  double cell = 0;
  opener.Book->Cell = [&](const std::string&, int, int) { return std::optional<double>(cell); };
  Tree t(ntDecision, 7.5);
  TDecTreeNode& node = *t.Root;
  std::string error = "stale";

  // Any other source gives the stored payoff and opens nothing.
  for (const char* source : {"", "import: Excel(\"x\")", "Income-Cost: 1:2"}) {
    node.PayoffSource = source;
    EXPECT_EQ(node.ImportPayoff(error, opener), 75000);
    EXPECT_EQ(error, "");
  }
  EXPECT_TRUE(opener.Opened.empty());

  node.PayoffSource = "Import: Excel(\"" + file.Path + "\", \"Sheet1$B2\")";
  const std::pair<double, Currency> cases[] = {
      {12.34567, 123457}, {0.03125, 312}, {0.09375, 938}, {0.00005, 1}, {-2.5, -25000}};
  for (auto [value, raw] : cases) {
    cell = value;
    EXPECT_EQ(node.ImportPayoff(error, opener), raw) << value;
  }
  EXPECT_EQ(node.Payoff, 75000) << "nothing is stored";

  // A value out of the payoff range raises instead of wrapping.
  cell = 1E20;
  try {
    node.ImportPayoff(error, opener);
    ADD_FAILURE() << "1E20 was taken";
  } catch (const ConvertError& e) {
    EXPECT_EQ(e.Message(), "The value 1E20 lies outside the range of a payoff.");
  }

  node.PayoffSource = "Import: Excel(\"/nowhere/x.xlsx\", \"Sheet1$B2\")";
  EXPECT_EQ(node.ImportPayoff(error, opener), 0);
  EXPECT_EQ(error, "File not found");
  node.PayoffSource = "Import: ";
  EXPECT_THROW(node.ImportPayoff(error, opener), ListError);
}
