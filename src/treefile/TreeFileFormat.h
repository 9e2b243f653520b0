// The value encodings of the tree file and the mapping of the older integer
// node ids; shared by the reader and the writer.
#pragma once

#include "foundation/Guid.h"
#include "foundation/PrivateArrayList.h"
#include "model/Currency.h"
#include "model/TreeTypes.h"
#include "treefile/TreeFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace bw::treefile {

// Integer-form id numbers above this fail the load.
constexpr int64_t MaxIntId = 100000;

// Element names, as written and as looked up.
namespace tag {
inline constexpr const char* Tree = "Tree";
inline constexpr const char* Font = "Font";
inline constexpr const char* Branch = "Branch";
inline constexpr const char* Branches = "Branches";
} // namespace tag

// The nineteen value elements of a Branch, in the order written.
enum TBranchElement : int {
  beCaption,
  beComment,
  beType,
  beChanceType,
  beProbability,
  bePayoff,
  beChildrenVisible,
  beDecisionFixed,
  beDecisionShowCaption,
  beDecisionShowOwner,
  beDecisionShowDueDate,
  beDecisionMultiShowBudget,
  beDecisionMultiShowInvestment,
  beDecisionShowFixed,
  beDecisionCaption,
  beDecisionOwner,
  beDecisionDueDate,
  beDecisionMultiBudget,
  bePayoffSource,
  beBranches, // not a value: the children
  BranchElementCount
};
extern const char* const BranchElementNames[BranchElementCount];

// The eight option elements, then Font and Branch, in the order written.
enum TTreeElement : int {
  teOutlineCodes,
  teStatusDate,
  teHighlightClones,
  teShowPayoff,
  teCurrencyDecimals,
  teCurrencyPosFormat,
  teCurrencyNegFormat,
  teCurrencySymbol,
  teFont,
  teBranch,
  TreeElementCount
};
extern const char* const TreeElementNames[TreeElementCount];

enum TFontElement : int { feFontName, feFontSize, feFontStyle, FontElementCount };
extern const char* const FontElementNames[FontElementCount];

// integer: decimal digits, "-" for a negative number.
std::string IntegerToStr(int64_t value);
// A decimal integer within 32 bits; ConvertError naming the element when it
// is empty, not a number or out of range.
int StrToInteger(std::string_view text, std::string_view element);
// flag: "1"/"0"; reads any integer, true when not 0.
inline std::string FlagToStr(bool value) {
  return value ? "1" : "0";
}
bool StrToFlag(std::string_view text, std::string_view element);
// money: the value / 10000 written exactly, as a plain decimal with up to
// four decimals (what the 15-digit number form gives for every payoff of 15
// significant digits or fewer). A plain decimal is read exactly, a half of a
// ten-thousandth to the even neighbour; other number forms through Double.
// Out of range or not finite raises ConvertError, never wraps.
std::string MoneyToStr(Currency value);
Currency StrToMoney(std::string_view text);

const char* NodeTypeToStr(TNodeType type);
// Case-sensitive; Exception "Type must be ..." otherwise.
TNodeType StrToNodeType(std::string_view text);
const char* ChanceTypeToStr(TChanceType type);
// Empty gives ctPercent; Exception "ChanceType must be ..." otherwise.
TChanceType StrToChanceType(std::string_view text);

// Comments hold CR LF in memory and LF in the file.
std::string CommentToFile(std::string_view comment);
std::string CommentFromFile(std::string_view text);

bool IsValidUtf8(std::string_view text);
// Text read from the file; Exception naming the element when it is not UTF-8
// (a file in an encoding the parser does not know is read as UTF-8).
std::string CheckedText(std::string text, std::string_view element);

// Appends text as XML character data: & < > (and " when inAttribute)
// escaped, CR as a character reference (a raw one is read as a line feed),
// characters XML 1.0 forbids dropped, byte sequences that are not UTF-8
// replaced by U+FFFD, so that whatever is written can be read again.
void AppendXmlText(std::string& out, std::string_view text, bool inAttribute);

// Character data as the parser leaves it (references not expanded): true
// when AppendDecodedXmlText would change it.
bool NeedsDecoding(std::string_view text);
// Expands the references XML defines (others stay as they stand) and drops
// the characters XML forbids, NUL included, whether they come from a
// reference or stand in the file as bytes.
void AppendDecodedXmlText(std::string& out, std::string_view text);

// Numbers of the older integer ids to GUIDs, consistently within one load:
// the same number always gives the same GUID. Id numbers (0 to MaxIntId) use
// a table; ref numbers above it cannot name a node and go to a hash map, so a
// huge ref costs one entry, not a table of that length.
class TIdMap {
public:
  Guid ForNumber(int64_t number);

private:
  TPrivateArrayList<Guid> FTable{1024, false};
  std::unordered_map<int64_t, Guid> FBeyond;
};

struct TNodeIds {
  Guid Id;
  Guid Ref;
};

// An id with "-" is a GUID text and so is a non-empty ref; otherwise both are
// numbers after their first character, mapped through idMap (a ref that is no
// number means no clone).
TNodeIds ReadNodeIds(std::string_view id, std::string_view ref, TIdMap& idMap);

// The two ways of reading, apart, for tests and the fuzz target: the
// document parser alone, and the stream alone (gaveUp when it does not take
// the file; a fault it meets raises as usual).
TTreeFileContents ReadTreeTextWithDocument(std::string_view bytes, TTreeContext* tree,
                                           const TFontSpec& previousFont);
TTreeFileContents ReadTreeTextByStream(std::string_view bytes, TTreeContext* tree,
                                       const TFontSpec& previousFont, bool& gaveUp);

} // namespace bw::treefile
