// The comment and advanced payoff commands with the dialog answered by the
// test: the undo step only on OK, before the change, and the recalculation.
#include "app/dialogs/DialogCommands.h"
#include "control/DecTree.h"
#include "foundation/Exceptions.h"

#include <gtest/gtest.h>

using namespace bw;

namespace {

struct Tree {
  TDecTree Control;
  TDecTreeNode* Child;
  std::vector<std::string> Steps;
  std::string CommentAtStep;
  int Recalculations = 0;
  TSaveUndo SaveUndo = [this](const std::string& caption) {
    Steps.push_back(caption);
    CommentAtStep = Control.TreeRoot()->Comment;
  };
  Tree() {
    TDecTreeNode* root = Control.TreeRoot();
    Child = root->AddChild(Control.NewNode(root, {.Id = Guid::NewGuid(),
                                                  .Probability = 100,
                                                  .Payoff = 50000,
                                                  .PayoffSource = "Income-Cost: 6:1"}));
    Control.Options.CurrencyDecimals = 3;
    Control.Recalculate();
    Control.OnCalculated = [this](TDecTree&) { ++Recalculations; };
  }
};

} // namespace

TEST(DialogCommands, CommentChangesOnOkOnlyWithItsUndoStep) {
  Tree t;
  t.Control.TreeRoot()->Comment = "old";
  std::vector<std::string> shown;
  auto dialog = [&](bool ok) {
    return [&shown, ok](const std::string& comment) {
      shown.push_back(comment);
      return TCommentDialogResult{ok, "new\r\nline"};
    };
  };
  ChangeComment(t.Control, t.SaveUndo, dialog(false));
  ChangeComment(t.Control, t.SaveUndo, dialog(true));
  EXPECT_EQ(shown, (std::vector<std::string>{"old", "old"}));
  EXPECT_EQ(t.Steps, std::vector<std::string>{"Change Comment"});
  EXPECT_EQ(t.CommentAtStep, "old");
  EXPECT_EQ(t.Control.TreeRoot()->Comment, "new\r\nline");
  EXPECT_EQ(t.Recalculations, 1);

  // Without one selected node no dialog opens.
  t.Control.SelectElement({nullptr, htOutside}, smReplace);
  EXPECT_THROW(ChangeComment(t.Control, t.SaveUndo, dialog(true)), InvalidOperationException);
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(t.Steps.size(), 1u);
}

TEST(DialogCommands, TheAdvancedPayoffEditWritesPayoffAndSourceOnOk) {
  Tree t;
  int opened = 0;
  t.Control.Options.CurrencySymbol = "\u00A3";
  auto dialog = [&](const std::string& source, int decimals, Currency payoff,
                    const std::string& symbol) {
    ++opened;
    EXPECT_EQ(source, "Income-Cost: 6:1");
    EXPECT_EQ(decimals, 3);
    EXPECT_EQ(symbol, "\u00A3");
    EXPECT_EQ(payoff, 50000);
    return TEditPayoffDialogResult{opened > 1, 70000, "Income-Cost: 8:1"};
  };
  AdvancedEditPayoff(t.Control, t.Child, htBox, t.SaveUndo, dialog);
  EXPECT_EQ(opened, 0);
  AdvancedEditPayoff(t.Control, t.Child, htPayoff, t.SaveUndo, dialog);
  EXPECT_TRUE(t.Steps.empty());
  EXPECT_EQ(t.Child->Payoff, 50000);
  AdvancedEditPayoff(t.Control, t.Child, htPayoff, t.SaveUndo, dialog);
  EXPECT_EQ(t.Steps, std::vector<std::string>{"Edit Payoff (advanced)"});
  EXPECT_EQ(t.Child->Payoff, 70000);
  EXPECT_EQ(t.Child->PayoffSource, "Income-Cost: 8:1");
  EXPECT_EQ(t.Recalculations, 1);
  EXPECT_DOUBLE_EQ(t.Control.TreeRoot()->Value, 7);
}
