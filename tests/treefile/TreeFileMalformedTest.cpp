// Damaged and hostile files: each one is refused with its reason, and none
// crashes the reader or leaves it half done.
#include "TreeFileTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace bw::test {
namespace {

// A good file: a decision with one chance child.
std::string Good() {
  return TreeXml(BranchXml(R"(id="N0")", "Decision", BranchXml(R"(id="N1")", "Chance")));
}

// The good file with the first occurrence of `from` (after `after`) replaced.
std::string Edit(std::string_view from, std::string_view to, std::string_view after = {}) {
  std::string s = Good();
  size_t at = s.find(from, after.empty() ? 0 : s.find(after));
  if (at == std::string::npos) throw std::logic_error("no " + std::string(from));
  s.replace(at, from.size(), to);
  return s;
}

// The child's copy of an element, not the root's.
std::string EditChild(std::string_view from, std::string_view to) {
  return Edit(from, to, "id=\"N1\"");
}

// Where pugixml places an error, one-based, in a file of one line.
std::string At(size_t offset) {
  return " at line 1, column " + std::to_string(offset + 1);
}
// A file that ends too early is reported at its last byte.
std::string AtEnd(std::string_view bytes) {
  return At(bytes.size() - 1);
}

struct Case {
  const char* Name;
  std::string Bytes;
  std::string Message; // the whole reason
};

TEST(TreeFileMalformed, EachFileIsRefusedWithItsReason) {
  const std::string good = Good();
  const std::string typeMessage = "Type must be 'Decision', 'MultiDecision' or 'Chance'.";
  const std::string notUtf8 = "'Caption' holds bytes that are not UTF-8 text: the file is damaged "
                              "or in an encoding that is not supported";
  const std::string truncatedInTag = good.substr(0, good.find("<ShowPayoff>") + 5);
  const std::string truncatedAfterValue = good.substr(0, good.find("</Caption>"));
  const std::string truncatedAtEnd = good.substr(0, good.size() - 7);
  std::vector<Case> cases = {
      {"empty file", "", "No document element found at line 1, column 1"},
      {"declaration only", "<?xml version=\"1.0\"?>\r\n",
       "No document element found at line 1, column 23"},
      {"binary bytes", std::string("\x89PNG\r\n\x1A\n\0\0\0", 11),
       "No document element found at line 3, column 3"},
      {"truncated in a tag", truncatedInTag,
       "Error parsing start element tag" + AtEnd(truncatedInTag)},
      {"truncated after a value", truncatedAfterValue,
       "Start-end tags mismatch" + AtEnd(truncatedAfterValue)},
      {"truncated before the end", truncatedAtEnd,
       "Start-end tags mismatch" + AtEnd(truncatedAtEnd)},
      {"mismatched tags", Edit("</Caption>", "</Comment>"),
       "Start-end tags mismatch" + At(good.find("</Caption>") + 2)},
      {"unquoted attribute", Edit("id=\"N0\"", "id=N0"),
       "Error parsing element attribute" + At(good.find("id=\"N0\"") + 3)},
      {"stray NUL byte", Edit("<Type>Chance", std::string("<Type>Cha\0nce", 13)),
       "Start-end tags mismatch" + At(good.find("<Type>Chance") + 9)},
      {"wrong document element", "<Trees><Tree/></Trees>",
       "The document element is 'Trees', not 'Tree'"},
      {"empty Tree", "<Tree/>", "Element 'OutlineCodes' is missing or empty"},
      {"missing option", Edit("<OutlineCodes>0</OutlineCodes>", ""),
       "Element 'OutlineCodes' is missing or empty"},
      {"empty flag", Edit("<HighlightClones>1</HighlightClones>", "<HighlightClones/>"),
       "Element 'HighlightClones' is missing or empty"},
      {"word for a flag", Edit("<ShowPayoff>1", "<ShowPayoff>yes"),
       "'yes' is not a valid integer value in 'ShowPayoff'"},
      {"integer beyond 32 bits", Edit("<CurrencyDecimals>2", "<CurrencyDecimals>4294967298"),
       "'4294967298' is not a valid integer value in 'CurrencyDecimals'"},
      {"fraction for an integer", Edit("<CurrencyPosFormat>0", "<CurrencyPosFormat>1.5"),
       "'1.5' is not a valid integer value in 'CurrencyPosFormat'"},
      {"font size missing", Edit("<FontSize>9</FontSize>", ""),
       "Element 'FontSize' is missing or empty"},
      {"font size a word", Edit("<FontSize>9", "<FontSize>big"),
       "'big' is not a valid integer value in 'FontSize'"},
      {"no Branch",
       Edit(good.substr(good.find("<Branch id=\"N0\""),
                        good.rfind("</Tree>") - good.find("<Branch id=\"N0\"")),
            ""),
       typeMessage},
      {"Type in small letters", Edit("<Type>Decision", "<Type>decision"), typeMessage},
      {"Type missing in a child", EditChild("<Type>Chance</Type>", ""), typeMessage},
      {"ChanceType in small letters",
       EditChild("<Caption>", "<ChanceType>percent</ChanceType><Caption>"),
       "ChanceType must be 'Percent', or 'AnySum'."},
      {"id missing", Edit("id=\"N0\"", "name=\"N0\""), "'' is not a valid integer value in 'id'"},
      {"id of one letter", EditChild("id=\"N1\"", "id=\"N\""),
       "'' is not a valid integer value in 'id'"},
      {"id not a number", EditChild("id=\"N1\"", "id=\"Nabc\""),
       "'abc' is not a valid integer value in 'id'"},
      {"id beyond the table", EditChild("id=\"N1\"", "id=\"N100001\""),
       "IntId greater than 100000 not supported"},
      {"id beyond 64 bits", EditChild("id=\"N1\"", "id=\"N99999999999999999999\""),
       "'99999999999999999999' is not a valid integer value in 'id'"},
      // A "-" makes any id a GUID text.
      {"negative id", EditChild("id=\"N1\"", "id=\"N-5\""),
       "Guid should contain 32 digits with 4 dashes (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)"},
      {"ref below -1", EditChild("id=\"N1\"", "id=\"N1\" ref=\"N-2\""),
       "IntRef less than -1 not supported"},
      {"GUID id with a bad digit",
       EditChild("id=\"N1\"", "id=\"1111111g-1111-4111-8111-111111111111\""),
       "Not a valid hexadecimal character: g"},
      {"GUID id too short", EditChild("id=\"N1\"", "id=\"1111-1111\""),
       "Guid should contain 32 digits with 4 dashes (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)"},
      {"probability a word", EditChild("<Probability>100", "<Probability>much"),
       "'much' is not a valid floating point value"},
      {"probability missing", EditChild("<Probability>100</Probability>", ""),
       "'' is not a valid floating point value"},
      {"probability with a comma", EditChild("<Probability>100", "<Probability>1,5"),
       "'1,5' is not a valid floating point value"},
      {"payoff beyond money", EditChild("<Payoff>0", "<Payoff>1E300"),
       "'1E300' is not a valid currency value"},
      {"payoff just beyond money", EditChild("<Payoff>0", "<Payoff>922337203685478"),
       "'922337203685478' is not a valid currency value"},
      {"payoff beyond a double", EditChild("<Payoff>0", "<Payoff>1E400"),
       "'1E400' is not a valid floating point value"},
      {"payoff infinite", EditChild("<Payoff>0", "<Payoff>INF"),
       "'INF' is not a valid floating point value"},
      {"payoff not a number", EditChild("<Payoff>0", "<Payoff>NaN"),
       "'NaN' is not a valid floating point value"},
      {"payoff in hexadecimal", EditChild("<Payoff>0", "<Payoff>0x1p3"),
       "'0x1p3' is not a valid floating point value"},
      {"flag missing", EditChild("<ChildrenVisible>1</ChildrenVisible>", ""),
       "Element 'ChildrenVisible' is missing or empty"},
      {"last flag a word", EditChild("<DecisionFixed>0", "<DecisionFixed>no"),
       "'no' is not a valid integer value in 'DecisionFixed'"},
      {"budget beyond 32 bits",
       EditChild("<DecisionMultiBudget>-1", "<DecisionMultiBudget>-2147483649"),
       "'-2147483649' is not a valid integer value in 'DecisionMultiBudget'"},
      {"Latin-1 byte without a declaration", EditChild("<Caption>c", "<Caption>Caf\xE9"), notUtf8},
      {"declared windows-1252",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" +
           Edit("<Caption>c", "<Caption>Caf\xE9").substr(38),
       notUtf8},
      {"truncated UTF-8 sequence", EditChild("<Caption>c", "<Caption>\xE2\x82"), notUtf8},
      {"overlong UTF-8", EditChild("<Caption>c", "<Caption>\xC0\xAF"), notUtf8},
      {"UTF-8 surrogate", EditChild("<Caption>c", "<Caption>\xED\xA0\x80"), notUtf8},
  };
  ASSERT_GE(cases.size(), 30u);

  TempFolder dir;
  TTreeContext context;
  std::string path = dir.File("bad.bwk");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(path, c.Bytes);
    EXPECT_EQ(ReadError(path, context), c.Message);
  }
  // The good file itself reads, so each refusal is the edit's doing.
  WriteBytes(path, good);
  EXPECT_EQ(ReadError(path, context), "");
}

} // namespace
} // namespace bw::test
