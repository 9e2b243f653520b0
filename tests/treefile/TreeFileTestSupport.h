// Temporary folders, file contents and small trees for the tree-file tests.
#pragma once

#include "support/Unprivileged.h"
#include "treefile/TreeFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

namespace bw::test {

// A folder of its own for each test, removed afterwards.
class TempFolder {
public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bw-treefile-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    if (!made) throw std::runtime_error("mkdtemp failed");
    FPath = made;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FPath, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return FPath; }
  std::string File(std::string_view name) const { return FPath + "/" + std::string(name); }

private:
  std::string FPath;
};

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines joined as the writer ends them.
inline std::string CrLfLines(std::initializer_list<std::string_view> lines) {
  std::string s;
  for (std::string_view l : lines) {
    s += l;
    s += "\r\n";
  }
  return s;
}

// The options and font lines of a file, with a placeholder for the Branch.
inline std::string TreeXml(std::string_view branch,
                           std::string_view font = "<Font><FontName>Arial</FontName>"
                                                   "<FontSize>9</FontSize></Font>") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Tree><OutlineCodes>0</OutlineCodes>"
         "<StatusDate/><HighlightClones>1</HighlightClones><ShowPayoff>1</ShowPayoff>"
         "<CurrencyDecimals>2</CurrencyDecimals><CurrencyPosFormat>0</CurrencyPosFormat>"
         "<CurrencyNegFormat>1</CurrencyNegFormat><CurrencySymbol>$</CurrencySymbol>" +
         std::string(font) + std::string(branch) + "</Tree>";
}

// One Branch with every required element; `extra` goes before Branches,
// `children` inside it (no Branches element when empty).
inline std::string BranchXml(std::string_view idAttributes, std::string_view type = "Decision",
                             std::string_view children = {}, std::string_view payoff = "0",
                             std::string_view extra = {}) {
  std::string s = "<Branch " + std::string(idAttributes) + "><Caption>c</Caption><Type>" +
                  std::string(type) + "</Type><Probability>100</Probability><Payoff>" +
                  std::string(payoff) +
                  "</Payoff><ChildrenVisible>1</ChildrenVisible><DecisionFixed>0</DecisionFixed>"
                  "<DecisionShowCaption>0</DecisionShowCaption>"
                  "<DecisionShowOwner>0</DecisionShowOwner>"
                  "<DecisionShowDueDate>0</DecisionShowDueDate>"
                  "<DecisionMultiShowBudget>0</DecisionMultiShowBudget>"
                  "<DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>"
                  "<DecisionShowFixed>0</DecisionShowFixed>"
                  "<DecisionMultiBudget>-1</DecisionMultiBudget>" +
                  std::string(extra);
  if (!children.empty()) s += "<Branches>" + std::string(children) + "</Branches>";
  return s + "</Branch>";
}

// The message ReadTreeFile raises for the file, or "" when it reads.
inline std::string ReadError(const std::string& path, TTreeContext& context) {
  try {
    ReadTreeFile(path, &context, TFontSpec{});
  } catch (const Exception& e) {
    return e.Message();
  }
  return {};
}

} // namespace bw::test
