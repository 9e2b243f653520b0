// Spreadsheet references of imported payoffs: a call text such as
// Excel("/data/prices.xlsx", "Sheet1$B12") or Excel("/data/prices.xlsx",
// "Rate") names a workbook file and a sheet's cell or a defined name.
// Splitting the call, column letters and cell references, and the value a
// reference reads now.
#pragma once

#include "model/WorkbookAccess.h"

#include <string>
#include <string_view>
#include <vector>

namespace bw {

// Letters of a column counted from 0: 0 is "A", 25 "Z", 26 "AA", 701 "ZZ".
// Two letters at most; a column outside 0 to 701 is an assertion failure.
std::string ColumnToLetters(int column);

// "B12" gives column 2 and row 12 (columns from 1). One or two letters,
// either case, then the row; the first digit must be the second or third
// character (an assertion failure otherwise), any other character among
// the letters raises ConvertError, and so does a row that is not an
// integer. The row's range is the reader's business.
void ParseCellReference(std::string_view ref, int& column, int& row);

// Splits Name(arg, "quoted, arg", ...) into its name, taken as written up
// to the first "(", and its arguments: the last character closes the call
// whatever it is; inside double quotes a "," belongs to the argument and
// two quotes stand for one; each argument is trimmed of blanks and control
// characters. "()" gives one empty argument; a text without "(" is a name
// without arguments.
void SplitFunctionCall(std::string_view text, std::string& name, std::vector<std::string>& args);

// A reference text with every double quote doubled, as a quoted argument
// of a call carries it.
std::string QuoteArgument(std::string_view text);

// The value a call reads now, in currency units. Checks in this order: the
// call must have a first argument (ListError otherwise); nothing of that
// name gives the error text "File not found"; an opener that gives no
// workbook gives the error text "Microsoft Excel not installed" (the
// program's own opener gives none only by raising, with a message that
// names the file, for a file that is no workbook); a name other than
// "Excel" gives 0 and no error text; then the second argument is read, a
// sheet's cell when it holds "$" (Sheet$B12), a defined name otherwise. A
// value that is no number gives 0 without error text. Failures of the
// opening (a file that is no workbook, a name of a folder, a damaged
// workbook, one beyond the limits) and of the reading (a missing sheet or
// name, a bad cell reference, a missing second argument) raise.
double EvaluateFunction(const std::string& text, std::string& errorText, IWorkbookOpener& opener);

// The message of a value that no payoff can hold.
std::string PayoffOutOfRangeMessage(double value);

} // namespace bw
