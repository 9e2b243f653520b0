#include "platform/workbook/Workbook.h"

#include "foundation/SerialDate.h"
#include "platform/workbook/WorkbookReaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <unordered_map>

namespace bw {

// ---- Budget ----------------------------------------------------------------

std::string SizeText(uint64_t bytes) {
  if (bytes != 0 && bytes % (1 << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes != 0 && bytes % (1 << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string CountText(uint64_t count) {
  const std::string digits = std::to_string(count);
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

void TWorkbookBudget::TooLarge(const std::string& what) const {
  throw WorkbookError(FFile + " is too large to be read: " + what + ".");
}

void TWorkbookBudget::TooManyBytes() const {
  TooLarge("it takes more than " + SizeText(FLimits.MaxWorkbookBytes) + " of data");
}

void TWorkbookBudget::TooManyItems() const {
  TooLarge("it holds more than " + CountText(FLimits.MaxWorkbookItems) + " cells and texts");
}

namespace {

// Grows a full array to twice its size, or less where the budget leaves
// less room, so that what a hostile file makes it hold stays near what the
// budget allows.
template <typename T>
void GrowWithin(TGrowingArray<T>& v, const TWorkbookBudget* budget) {
  if (v.size() < v.capacity()) return;
  size_t room = std::max<size_t>(v.capacity(), 64);
  if (budget) room = static_cast<size_t>(std::min<uint64_t>(room, budget->ItemsLeft()));
  v.reserve(v.size() + std::max<size_t>(room, 1));
}

bool CellBefore(uint32_t rowA, uint32_t colA, uint32_t rowB, uint32_t colB) {
  return rowA < rowB || (rowA == rowB && colA < colB);
}

} // namespace

uint32_t TStringPool::Add(std::string_view text, TWorkbookBudget* budget) {
  if (budget) {
    budget->TakeBytes(text.size());
    budget->TakeItem();
  }
  if (FEnds.size() >= UINT32_MAX || text.size() > UINT32_MAX - FChars.size())
    throw WorkbookError("The workbook holds more text than can be read.");
  GrowWithin(FEnds, budget);
  FChars.append(text.data(), text.size());
  FEnds.push_back(static_cast<uint32_t>(FChars.size()));
  return static_cast<uint32_t>(FEnds.size() - 1);
}

// ---- Worksheet -------------------------------------------------------------

TWorksheet::~TWorksheet() {
  if (FBudget) FBudget->ReturnItems(FCounted);
}

void TWorksheet::SetSharedStrings(std::shared_ptr<const TStringPool> strings) {
  FShared = std::move(strings);
}

void TWorksheet::Add(const TStoredCell& cell) {
  if (FBudget) {
    FBudget->TakeItem();
    ++FCounted;
  }
  if (!FCells.empty()) {
    const TStoredCell& last = FCells.back();
    if (!CellBefore(last.Row, last.Column, cell.Row, cell.Column)) FSorted = false;
  } else {
    FLastRow = FLastColumn = 1;
  }
  FLastRow = std::max(FLastRow, cell.Row);
  FLastColumn = std::max<uint32_t>(FLastColumn, cell.Column);
  GrowWithin(FCells, FBudget);
  FCells.push_back(cell);
}

void TWorksheet::AddEmpty(uint32_t row, uint32_t column) {
  TStoredCell c{row, static_cast<uint16_t>(column), TCellKind::Empty, false, {}};
  c.Number = 0;
  Add(c);
}

void TWorksheet::AddNumber(uint32_t row, uint32_t column, double value) {
  TStoredCell c{row, static_cast<uint16_t>(column), TCellKind::Number, false, {}};
  c.Number = value;
  Add(c);
}

void TWorksheet::AddBoolean(uint32_t row, uint32_t column, bool value) {
  TStoredCell c{row, static_cast<uint16_t>(column), TCellKind::Boolean, false, {}};
  c.Number = value ? 1 : 0;
  Add(c);
}

void TWorksheet::AddText(uint32_t row, uint32_t column, std::string_view text, TCellKind kind) {
  TStoredCell c{row, static_cast<uint16_t>(column), kind, false, {}};
  c.Text = FOwnStrings.Add(text, FBudget);
  if (FBudget) ++FCounted;
  Add(c);
}

void TWorksheet::AddSharedText(uint32_t row, uint32_t column, uint32_t index) {
  TStoredCell c{row, static_cast<uint16_t>(column), TCellKind::Text, true, {}};
  c.Text = index;
  Add(c);
}

void TWorksheet::Finish() {
  FBudget = nullptr;
  if (!FSorted) {
    std::stable_sort(FCells.begin(), FCells.end(), [](const TStoredCell& a, const TStoredCell& b) {
      return CellBefore(a.Row, a.Column, b.Row, b.Column);
    });
    FSorted = true;
  }
  // A position given twice: the later one wins, as it would on reading the
  // file from the top.
  auto out = FCells.begin();
  for (auto in = FCells.begin(); in != FCells.end(); ++in) {
    auto next = in + 1;
    if (next != FCells.end() && next->Row == in->Row && next->Column == in->Column) continue;
    *out++ = *in;
  }
  FCells.Truncate(static_cast<size_t>(out - FCells.begin()));
  FCells.shrink_to_fit();
}

bool TWorksheet::ShowsNothing() const {
  if (FLastRow > 1 || FLastColumn > 1) return false;
  return std::all_of(FCells.begin(), FCells.end(), [this](const TStoredCell& c) {
    return c.Kind == TCellKind::Empty ||
           ((c.Kind == TCellKind::Text || c.Kind == TCellKind::Error) && TextOf(c).empty());
  });
}

size_t TWorksheet::MemoryUsage() const {
  return sizeof(*this) + FCells.capacity() * sizeof(TStoredCell) + FOwnStrings.MemoryUsage();
}

size_t TWorksheet::LowerBound(uint32_t row, uint32_t column) const {
  auto it = std::lower_bound(FCells.begin(), FCells.end(), std::pair{row, column},
                             [](const TStoredCell& c, const std::pair<uint32_t, uint32_t>& key) {
                               return CellBefore(c.Row, c.Column, key.first, key.second);
                             });
  return static_cast<size_t>(it - FCells.begin());
}

std::string_view TWorksheet::TextOf(const TStoredCell& cell) const {
  if (cell.Shared) return FShared && cell.Text < FShared->Size() ? FShared->Get(cell.Text) : "";
  return cell.Text < FOwnStrings.Size() ? FOwnStrings.Get(cell.Text) : "";
}

TCellValue TWorksheet::CellValue(size_t i) const {
  if (i >= FCells.size()) throw ArgumentOutOfRangeException("Cell index out of range.");
  const TStoredCell& c = FCells[i];
  TCellValue v;
  v.Kind = c.Kind;
  switch (c.Kind) {
  case TCellKind::Empty:
    break;
  case TCellKind::Number:
    v.Number = c.Number;
    break;
  case TCellKind::Boolean:
    v.Number = c.Number;
    v.Text = c.Number != 0 ? "True" : "False";
    break;
  case TCellKind::Text:
  case TCellKind::Error:
    v.Text = TextOf(c);
    break;
  }
  return v;
}

TCellValue TWorksheet::Cell(uint32_t row, uint32_t column) const {
  if (row < 1 || row > FGrid.Rows || column < 1 || column > FGrid.Columns)
    throw ArgumentOutOfRangeException("The cell at row " + std::to_string(row) + ", column " +
                                      std::to_string(column) + " lies outside the worksheet.");
  size_t i = LowerBound(row, column);
  if (i < FCells.size() && FCells[i].Row == row && FCells[i].Column == column) return CellValue(i);
  return {};
}

// ---- Names and references --------------------------------------------------

namespace {

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Splits "Sheet!Rest" or "'Sheet name'!Rest" into the sheet (quotes
// undone) and the rest. False when there is no sheet part.
bool SplitSheetQualifier(std::string_view text, std::string& sheet, std::string_view& rest) {
  sheet.clear();
  if (!text.empty() && text[0] == '\'') {
    size_t i = 1;
    for (;;) {
      if (i >= text.size()) return false;
      if (text[i] == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          sheet += '\'';
          i += 2;
          continue;
        }
        break;
      }
      sheet += text[i++];
    }
    if (i + 1 >= text.size() || text[i + 1] != '!') return false;
    rest = text.substr(i + 2);
    return !sheet.empty();
  }
  size_t bang = text.rfind('!');
  if (bang == std::string_view::npos || bang == 0) return false;
  sheet.assign(text.substr(0, bang));
  rest = text.substr(bang + 1);
  return true;
}

// Whether a sheet name must be quoted in front of "!".
bool NeedsQuotes(std::string_view sheet) {
  if (sheet.empty() || IsDigit(sheet[0])) return true;
  for (char c : sheet) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && !IsAsciiLetter(c) && !IsDigit(c) && c != '_' && c != '.') return true;
  }
  uint32_t row, column;
  return ParseA1(sheet, row, column);
}

std::string QualifiedName(std::string_view sheet, std::string_view name) {
  std::string out;
  if (NeedsQuotes(sheet)) {
    out += '\'';
    for (char c : sheet) {
      if (c == '\'') out += '\'';
      out += c;
    }
    out += '\'';
  } else {
    out += sheet;
  }
  out += '!';
  out += name;
  return out;
}

// A whole column ("$A") or row ("$1"), for ranges such as Sheet1!$A:$A.
bool IsColumnOrRow(std::string_view text) {
  if (!text.empty() && text[0] == '$') text.remove_prefix(1);
  if (text.empty()) return false;
  bool letters = std::all_of(text.begin(), text.end(), IsAsciiLetter);
  bool digits = std::all_of(text.begin(), text.end(), IsDigit);
  return (letters && text.size() <= 3) || (digits && text.size() <= 7);
}

} // namespace

bool SameNameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

std::string NameKey(std::string_view name) {
  std::string key(name);
  for (char& c : key)
    c = UpperAscii(c);
  return key;
}

bool ParseA1(std::string_view text, uint32_t& row, uint32_t& column, TGridSize grid) {
  size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  uint32_t col = 0;
  size_t letters = 0;
  while (i < text.size() && IsAsciiLetter(text[i])) {
    if (++letters > 3) return false;
    col = col * 26 + static_cast<uint32_t>(UpperAscii(text[i]) - 'A' + 1);
    ++i;
  }
  if (letters == 0) return false;
  if (i < text.size() && text[i] == '$') ++i;
  if (i >= text.size() || !IsDigit(text[i])) return false;
  uint32_t r = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data() + i, end, r);
  if (ec != std::errc() || p != end) return false;
  if (r < 1 || r > grid.Rows || col > grid.Columns) return false;
  row = r;
  column = col;
  return true;
}

bool DateTextToSerial(std::string_view text, bool date1904, double& serial) {
  auto number = [&](size_t pos, size_t len, int& out) {
    if (pos + len > text.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + len; ++i) {
      if (!IsDigit(text[i])) return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  auto time = [&](size_t pos, double& fraction) {
    int h, m, s = 0;
    if (!number(pos, 2, h) || pos + 2 >= text.size() || text[pos + 2] != ':' ||
        !number(pos + 3, 2, m))
      return false;
    size_t end = pos + 5;
    double seconds = 0;
    if (end < text.size()) {
      if (text[end] != ':' || !number(end + 1, 2, s)) return false;
      seconds = s;
      end += 3;
      if (end < text.size()) {
        if (text[end] != '.') return false;
        double frac = 0, scale = 0.1;
        for (size_t i = end + 1; i < text.size(); ++i, scale /= 10) {
          if (!IsDigit(text[i])) return false;
          frac += (text[i] - '0') * scale;
        }
        seconds += frac;
      }
    }
    if (h > 24 || m > 59 || s > 59) return false;
    fraction = (h * 3600.0 + m * 60.0 + seconds) / 86400.0;
    return true;
  };

  if (text.size() >= 8 && text[2] == ':') {
    double fraction;
    if (!time(0, fraction)) return false;
    serial = fraction;
    return true;
  }
  int y, m, d;
  if (!number(0, 4, y) || text.size() < 10 || text[4] != '-' || !number(5, 2, m) ||
      text[7] != '-' || !number(8, 2, d))
    return false;
  double fraction = 0;
  if (text.size() > 10) {
    if ((text[10] != 'T' && text[10] != ' ') || !time(11, fraction)) return false;
  }
  double days;
  if (y == 1900 && m == 2 && d == 29 && !date1904) {
    days = 60; // the 1900 system's own leap day
  } else {
    TDateTime t;
    if (!TryEncodeDate(y, m, d, t)) return false;
    if (date1904) {
      days = t - 1462; // 1904-01-01 is day 0
    } else {
      days = t;
      // Before the made-up leap day the 1900 system counts one day less.
      if (y < 1900 || (y == 1900 && m < 3)) days -= 1;
    }
  }
  serial = days + fraction;
  return true;
}

// ---- Workbook --------------------------------------------------------------

const std::string& TWorkbook::WorksheetName(int index) const {
  if (index < 0 || index >= WorksheetCount())
    throw ArgumentOutOfRangeException("Worksheet index out of range.");
  return FSheetNames[static_cast<size_t>(index)];
}

int TWorkbook::FindWorksheet(std::string_view name) const {
  for (size_t i = 0; i < FSheetNames.size(); ++i)
    if (SameNameNoCase(FSheetNames[i], name)) return static_cast<int>(i);
  return -1;
}

std::shared_ptr<const TWorksheet> TWorkbook::Worksheet(int index) {
  if (index < 0 || index >= WorksheetCount())
    throw ArgumentOutOfRangeException("Worksheet index out of range.");
  FSheets.resize(FSheetNames.size());
  FSheetErrors.resize(FSheetNames.size());
  auto& sheet = FSheets[static_cast<size_t>(index)];
  auto& error = FSheetErrors[static_cast<size_t>(index)];
  if (error) std::rethrow_exception(error);
  if (!sheet) {
    try {
      sheet = ReadWorksheet(index);
    } catch (const WorkbookError&) {
      error = std::current_exception();
      throw;
    }
  }
  return sheet;
}

bool TWorkbook::WorksheetShowsNothing(int index) {
  if (index < 0 || index >= WorksheetCount())
    throw ArgumentOutOfRangeException("Worksheet index out of range.");
  FSheets.resize(FSheetNames.size());
  FSheetErrors.resize(FSheetNames.size());
  if (const auto& sheet = FSheets[static_cast<size_t>(index)]) return sheet->ShowsNothing();
  if (FSheetErrors[static_cast<size_t>(index)]) return false;
  try {
    return PeekShowsNothing(index);
  } catch (const WorkbookError&) {
    return false; // the damage shows when the sheet is read
  }
}

int TWorkbook::FindDefinedName(std::string_view name) const {
  for (size_t i = 0; i < FNames.size(); ++i)
    if (SameNameNoCase(FNames[i].Name, name)) return static_cast<int>(i);
  std::string sheet;
  std::string_view local;
  if (SplitSheetQualifier(name, sheet, local)) {
    for (size_t i = 0; i < FNames.size(); ++i)
      if (!FNames[i].Scope.empty() && SameNameNoCase(FNames[i].Scope, sheet) &&
          SameNameNoCase(FNames[i].LocalName, local))
        return static_cast<int>(i);
    return -1;
  }
  for (size_t i = 0; i < FNames.size(); ++i)
    if (SameNameNoCase(FNames[i].LocalName, name)) return static_cast<int>(i);
  return -1;
}

void TWorkbook::ResolveNames() {
  // The first sheet of each name, looked up by the hundred thousand.
  std::unordered_map<std::string, int> sheets;
  for (size_t i = 0; i < FSheetNames.size(); ++i)
    sheets.try_emplace(NameKey(FSheetNames[i]), static_cast<int>(i));
  for (TDefinedName& n : FNames) {
    if (n.LocalName.empty()) {
      n.LocalName = n.Name;
      if (n.LocalName.starts_with("_xlnm.")) n.LocalName.erase(0, 6);
      n.Name = n.Scope.empty() ? n.LocalName : QualifiedName(n.Scope, n.LocalName);
    }
    n.Target = TNameTargetKind::NoRange;
    std::string_view formula = n.RefersTo;
    if (formula.starts_with("=")) formula.remove_prefix(1);
    std::string sheet;
    std::string_view area;
    if (!SplitSheetQualifier(formula, sheet, area) || sheet.find('[') != std::string::npos)
      continue;
    auto found = sheets.find(NameKey(sheet));
    if (found == sheets.end()) continue;
    const int index = found->second;
    size_t colon = area.find(':');
    uint32_t row, column;
    if (colon == std::string_view::npos) {
      if (!ParseA1(area, row, column)) continue;
      n.Target = TNameTargetKind::SingleCell;
    } else {
      std::string_view first = area.substr(0, colon), last = area.substr(colon + 1);
      uint32_t row2, column2;
      if (ParseA1(first, row, column) && ParseA1(last, row2, column2)) {
        n.Target = row == row2 && column == column2 ? TNameTargetKind::SingleCell
                                                    : TNameTargetKind::MultiCell;
      } else if (IsColumnOrRow(first) && IsColumnOrRow(last)) {
        n.Target = TNameTargetKind::MultiCell;
      } else {
        continue;
      }
    }
    n.Sheet = index;
    if (n.Target == TNameTargetKind::SingleCell) {
      n.Row = row;
      n.Column = column;
    }
  }
}

// ---- Opening ---------------------------------------------------------------

std::unique_ptr<TWorkbook> OpenWorkbook(const std::string& path, const TWorkbookLimits& limits) {
  const std::string file = "'" + path + "'";
  // Without blocking, so that a FIFO is refused rather than waited on.
  TFileHandle handle(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (handle.Fd < 0)
    throw WorkbookError(file + (errno == ENOENT ? " does not exist." : " cannot be read."));
  struct stat st {};
  if (fstat(handle.Fd, &st) != 0 || !S_ISREG(st.st_mode))
    throw WorkbookError(file + " is not a file.");
  std::array<unsigned char, 8> magic{};
  const ssize_t got = pread(handle.Fd, magic.data(), magic.size(), 0);
  if (got < 0) throw WorkbookError(file + " cannot be read.");
  if (got < 4) throw NotAWorkbookError(file + " is not a workbook.");
  static constexpr std::array<unsigned char, 4> Zip{'P', 'K', 3, 4};
  static constexpr std::array<unsigned char, 8> Compound{0xD0, 0xCF, 0x11, 0xE0,
                                                         0xA1, 0xB1, 0x1A, 0xE1};
  if (std::equal(Zip.begin(), Zip.end(), magic.begin()))
    return OpenPackageFile(std::move(handle), file, limits);
  if (magic == Compound) return OpenBinaryWorkbook(std::move(handle), file, limits);
  throw NotAWorkbookError(file + " is not a workbook.");
}

std::unique_ptr<TWorkbook> OpenWorkbookPackage(std::string bytes, const TWorkbookLimits& limits) {
  return OpenPackageBuffer(std::move(bytes), limits);
}

} // namespace bw
