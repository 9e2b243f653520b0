// Writing a tree file. The serializer is ours so that the bytes are exactly
// the format's: CR LF after every line while comments keep their bare LF,
// "<X/>" for an empty value, and no character references but for a CR
// within a text.
#include "treefile/TreeFile.h"
#include "treefile/TreeFileFormat.h"

#include "foundation/Conversions.h"
#include "foundation/ReplacingFile.h"

#include <vector>

namespace bw {

using namespace treefile;

namespace {

// Collects the document and, when it goes to a file, hands it on in large
// blocks so that a big tree is never held twice.
class TXmlOut {
public:
  TXmlOut() = default;
  explicit TXmlOut(TReplacingFile& file) : FFile(&file) {}

  std::string& Buffer() { return FText; }

  void Line(int level) { FText.append(static_cast<size_t>(2 * level), ' '); }
  void EndLine() {
    FText += "\r\n";
    if (FFile && FText.size() >= FlushSize) Flush();
  }
  void Open(int level, const char* name) {
    Line(level);
    FText += '<';
    FText += name;
    FText += '>';
    EndLine();
  }
  void Close(int level, const char* name) {
    Line(level);
    FText += "</";
    FText += name;
    FText += '>';
    EndLine();
  }
  // One value element on one line; "<X/>" when nothing of the text remains.
  void Value(int level, const char* name, std::string_view text) {
    Line(level);
    size_t start = FText.size();
    FText += '<';
    FText += name;
    FText += '>';
    size_t content = FText.size();
    AppendXmlText(FText, text, false);
    if (FText.size() == content) {
      FText.resize(start);
      FText += '<';
      FText += name;
      FText += "/>";
    } else {
      FText += "</";
      FText += name;
      FText += '>';
    }
    EndLine();
  }

  void Flush() {
    FFile->Write(FText.data(), FText.size());
    FText.clear();
  }

private:
  static constexpr size_t FlushSize = size_t(1) << 20;
  std::string FText;
  TReplacingFile* FFile = nullptr;
};

void WriteBranchStart(TXmlOut& out, const TDecTreeNode& node, int level) {
  std::string& s = out.Buffer();
  out.Line(level);
  s += "<Branch id=\"";
  AppendXmlText(s, Guid::ToString(node.Id), true);
  if (node.IsClone()) {
    s += "\" ref=\"";
    AppendXmlText(s, Guid::ToString(node.Ref), true);
  }
  s += "\">";
  out.EndLine();

  const int v = level + 1;
  auto name = [](TBranchElement k) { return BranchElementNames[k]; };
  out.Value(v, name(beCaption), node.Caption);
  out.Value(v, name(beComment), CommentToFile(node.Comment));
  out.Value(v, name(beType), NodeTypeToStr(node.NodeType));
  out.Value(v, name(beChanceType), ChanceTypeToStr(node.ChanceType));
  out.Value(v, name(beProbability), FloatToInvariantStr(node.Probability));
  out.Value(v, name(bePayoff), MoneyToStr(node.Payoff));
  out.Value(v, name(beChildrenVisible), FlagToStr(node.ChildrenVisible));
  out.Value(v, name(beDecisionFixed), FlagToStr(node.DecisionFixed));
  // The display flags as they take effect: a chance node shows no owner.
  out.Value(v, name(beDecisionShowCaption), FlagToStr(node.GetDecisionShowCaption()));
  out.Value(v, name(beDecisionShowOwner), FlagToStr(node.GetDecisionShowOwner()));
  out.Value(v, name(beDecisionShowDueDate), FlagToStr(node.GetDecisionShowDueDate()));
  out.Value(v, name(beDecisionMultiShowBudget), FlagToStr(node.GetDecisionMultiShowBudget()));
  out.Value(v, name(beDecisionMultiShowInvestment),
            FlagToStr(node.GetDecisionMultiShowInvestment()));
  out.Value(v, name(beDecisionShowFixed), FlagToStr(node.GetDecisionShowFixed()));
  out.Value(v, name(beDecisionCaption), node.DecisionCaption);
  out.Value(v, name(beDecisionOwner), node.DecisionOwner);
  out.Value(v, name(beDecisionDueDate), DateToYYYYMMDD(node.DecisionDueDate));
  out.Value(v, name(beDecisionMultiBudget), IntegerToStr(node.DecisionMultiBudget));
  out.Value(v, name(bePayoffSource), node.PayoffSource);
}

void WriteDocument(TXmlOut& out, const TDecTreeNode& root, const TTreeOptions& o,
                   const TFontSpec& font) {
  std::string& s = out.Buffer();
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  out.EndLine();
  out.Open(0, tag::Tree);
  auto name = [](TTreeElement k) { return TreeElementNames[k]; };
  out.Value(1, name(teOutlineCodes), FlagToStr(o.OutlineCodes));
  out.Value(1, name(teStatusDate), DateToYYYYMMDD(o.StatusDate));
  out.Value(1, name(teHighlightClones), FlagToStr(o.HighlightClones));
  out.Value(1, name(teShowPayoff), FlagToStr(o.ShowPayoff));
  out.Value(1, name(teCurrencyDecimals), IntegerToStr(o.CurrencyDecimals));
  out.Value(1, name(teCurrencyPosFormat), IntegerToStr(o.CurrencyPosFormat));
  out.Value(1, name(teCurrencyNegFormat), IntegerToStr(o.CurrencyNegFormat));
  out.Value(1, name(teCurrencySymbol), o.CurrencySymbol);
  out.Open(1, tag::Font);
  out.Value(2, FontElementNames[feFontName], font.Name);
  out.Value(2, FontElementNames[feFontSize], IntegerToStr(font.Size));
  out.Value(2, FontElementNames[feFontStyle], FontStylesToStr(font.Style));
  out.Close(1, tag::Font);

  // Depth first with an explicit stack: the tree may be deeper than the
  // call stack allows. A clone is written without its children (copies of
  // its master's), and a leaf without Branches.
  struct Frame {
    const TDecTreeNode* Node;
    int Next;
    int Level;
  };
  auto hasBranches = [](const TDecTreeNode& n) { return !n.IsClone() && n.ChildCount() > 0; };
  std::vector<Frame> stack;
  auto start = [&](const TDecTreeNode& n, int level) {
    WriteBranchStart(out, n, level);
    if (hasBranches(n)) {
      out.Open(level + 1, tag::Branches);
      stack.push_back({&n, 0, level});
    } else {
      out.Close(level, tag::Branch);
    }
  };
  start(root, 1);
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.Next < f.Node->ChildCount()) {
      const TDecTreeNode& child = *f.Node->Child(f.Next++);
      start(child, f.Level + 2); // f may dangle from here on
      continue;
    }
    out.Close(f.Level + 1, tag::Branches);
    out.Close(f.Level, tag::Branch);
    stack.pop_back();
  }
  out.Close(0, tag::Tree);
}

} // namespace

std::string SerializeTree(const TDecTreeNode& root, const TTreeOptions& options,
                          const TFontSpec& font) {
  TXmlOut out;
  WriteDocument(out, root, options, font);
  return std::move(out.Buffer());
}

namespace {

TFileIdentity WriteFile(const std::string& path, const TDecTreeNode& root,
                        const TTreeOptions& options, const TFontSpec& font) {
  TReplacingFile file(path);
  TXmlOut out(file);
  WriteDocument(out, root, options, font);
  out.Flush();
  return file.Commit();
}

} // namespace

TFileIdentity WriteTreeFile(const std::string& path, const TDecTreeNode& root,
                            const TTreeOptions& options, const TFontSpec& font) {
  try {
    return WriteFile(path, root, options, font);
  } catch (const TreeFileError&) {
    throw;
  } catch (const Exception& e) {
    throw TreeFileError(e.Message());
  } catch (const std::bad_alloc&) {
    throw TreeFileError("Not enough memory to write the file");
  } catch (const std::exception& e) {
    throw TreeFileError(e.what());
  }
}

} // namespace bw
