// What a node needs of the tree it belongs to: the options, the selection and
// the texts of money, numbers and dates in the user's locale. The tree
// control derives from it; tests use it as it is.
#pragma once

#include "foundation/PrivateArrayList.h"
#include "model/Currency.h"
#include "model/MoneyText.h"
#include "model/TreeTypes.h"

#include <functional>
#include <string>

namespace bw {

class TTreeContext {
public:
  TTreeContext() = default;
  TTreeContext(const TTreeContext&) = delete;
  TTreeContext& operator=(const TTreeContext&) = delete;
  virtual ~TTreeContext() = default;

  TTreeOptions Options;
  // Ids of the selected nodes, in the order in which they were selected.
  TPrivateArrayList<Guid> Selection{32, true};
  // Which element of the selected nodes is selected; one for all of them.
  TNodeElementType SelectionElementType = htBox;
  // The font of all node texts.
  TFontSpec DefaultFont;
  // The user's separators; the widget fills them from the system locale.
  TMoneyLocale Locale;
  // Today's date, against which a decision without status date is overdue;
  // tests pin it.
  std::function<TDateTime()> Clock = [] { return Today(); };
  // The user's short date; empty gives the C library's "%x".
  std::function<std::string(TDateTime)> ShortDateFormatter;

  std::string FormatMoney(Currency value) const { return bw::FormatMoney(value, Options, Locale); }
  std::string FloatText(double value) const { return bw::FloatToText(value, Locale); }
  std::string ShortDateText(TDateTime date) const;

  // How many nodes made for this tree are clones: counted when a node is
  // made, linked or unlinked through SetCloneMaster, recounted with
  // RecountClones, and uncounted when it is freed. While it is 0 no node of
  // the tree can be a clone, and the recalculation skips the clone
  // synchronisation.
  int CloneCount() const { return FCloneCount; }

private:
  friend class TDecTreeNode;
  int FCloneCount = 0;
};

} // namespace bw
