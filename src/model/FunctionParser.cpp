#include "model/FunctionParser.h"

#include "foundation/Assert.h"
#include "foundation/Conversions.h"
#include "model/DecTreeNode.h"
#include "model/UIStringsComponent.h"

#include <charconv>
#include <filesystem>

namespace bw {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The column of one letter, A or a being 1; ConvertError for anything else,
// so that a hand-edited reference never silently reads another column.
int LetterValue(char c, std::string_view ref) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c < 'A' || c > 'Z')
    throw ConvertError("'" + std::string(ref) + "' is not a valid cell reference");
  return c - 'A' + 1;
}

const std::string& Argument(const std::vector<std::string>& args, size_t index) {
  if (index >= args.size())
    throw ListError("List index out of bounds (" + std::to_string(index) + ")");
  return args[index];
}

} // namespace

std::string ColumnToLetters(int column) {
  BW_ASSERT(column >= 0 && column <= 701);
  std::string letters;
  if (column >= 26) letters += static_cast<char>('A' + (column - 26) / 26);
  letters += static_cast<char>('A' + column % 26);
  return letters;
}

void ParseCellReference(std::string_view ref, int& column, int& row) {
  size_t digit = 1;
  while (digit < ref.size() && !IsDigit(ref[digit]))
    ++digit;
  BW_ASSERT(digit == 1 || digit == 2);
  BW_ASSERT(digit < ref.size());
  if (digit == 1)
    column = LetterValue(ref[0], ref);
  else
    column = LetterValue(ref[0], ref) * 26 + LetterValue(ref[1], ref);
  std::string_view rowText = ref.substr(digit, 100);
  int value = 0;
  auto [p, ec] = std::from_chars(rowText.data(), rowText.data() + rowText.size(), value);
  if (ec != std::errc() || p != rowText.data() + rowText.size())
    throw ConvertError("'" + std::string(rowText) + "' is not a valid integer value");
  row = value;
}

void SplitFunctionCall(std::string_view text, std::string& name, std::vector<std::string>& args) {
  name.clear();
  args.clear();
  size_t open = text.find('(');
  if (open == std::string_view::npos) {
    name = text;
    return;
  }
  name = text.substr(0, open);
  std::string rest(text.substr(open + 1));
  if (!rest.empty()) rest.pop_back(); // the closing parenthesis, whatever it is
  rest += ',';
  std::string current;
  bool quoted = false;
  for (size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '"') {
      if (quoted && i + 1 < rest.size() && rest[i + 1] == '"') {
        current += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c == ',' && !quoted) {
      args.emplace_back(TrimBlanks(current));
      current.clear();
    } else {
      current += c;
    }
  }
}

std::string QuoteArgument(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out;
}

double EvaluateFunction(const std::string& text, std::string& errorText, IWorkbookOpener& opener) {
  errorText.clear();
  std::string name;
  std::vector<std::string> args;
  SplitFunctionCall(text, name, args);
  const std::string& path = Argument(args, 0);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    errorText = UIStringsComponent::Str(UIStringsComponent::SFileNotFound);
    return 0;
  }
  std::shared_ptr<IWorkbookReader> workbook = opener.Open(path);
  if (!workbook) {
    errorText = UIStringsComponent::Str(UIStringsComponent::SExcelNotInstalled);
    return 0;
  }
  if (name != "Excel") return 0;
  const std::string& address = Argument(args, 1);
  std::optional<double> value;
  size_t dollar = address.find('$');
  if (dollar != std::string::npos) {
    int column = 0, row = 0;
    ParseCellReference(std::string_view(address).substr(dollar + 1), column, row);
    value = workbook->SheetCellNumber(address.substr(0, dollar), row, column);
  } else {
    value = workbook->NamedCellNumber(address);
  }
  return value.value_or(0);
}

std::string PayoffOutOfRangeMessage(double value) {
  return "The value " + FloatToInvariantStr(value) + " lies outside the range of a payoff.";
}

// A member of the node, kept with the evaluator it applies.
Currency TDecTreeNode::ImportPayoff(std::string& errorText, IWorkbookOpener& opener) const {
  errorText.clear();
  std::string source = PayoffSource;
  if (!StartsWith(source, "Import: ", true)) return Payoff;
  double value = EvaluateFunction(source, errorText, opener);
  Currency result = 0;
  // Ties to even, in extended precision; a value no payoff can hold is an
  // error, never a wrapped count.
  if (!TryDoubleToCurrency(value, result)) throw ConvertError(PayoffOutOfRangeMessage(value));
  return result;
}

} // namespace bw
