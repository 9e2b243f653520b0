#include "app/commands/CommandsFixture.h"
#include "foundation/Exceptions.h"

#include <sstream>

using namespace bw;
using namespace bw::test;

TEST(NodeCommands, MoveUpAndDownExchangeNeighbours) {
  Commands t;
  t.Add(t.Root(), "A", 100);
  TDecTreeNode* b = t.Add(t.Root(), "B");
  t.Add(t.Root(), "C");
  t.Recalculate();
  // The first and the last stay where they are (EveryCommandTheMenuDisablesIsRefused).
  EXPECT_EQ(t.Run({b}, htBox, &TNodeCommands::MoveUp), Step("Move up"));
  EXPECT_EQ(t.Captions(t.Root()), "B A C");
  EXPECT_EQ(t.Run({b}, htIndicator, &TNodeCommands::MoveDown), Step("Move down"));
  EXPECT_EQ(t.Captions(t.Root()), "A B C");
}

TEST(NodeCommands, TypeChangesNameTheChangeAndSetTheProbabilities) {
  using enum TNodeTypeItem;
  // Each Type item as the node's fields hold it.
  const std::pair<TNodeType, TChanceType> fields[NodeTypeItemCount] = {{ntDecision, ctPercent},
                                                                       {ntMultiDecision, ctPercent},
                                                                       {ntChance, ctPercent},
                                                                       {ntChance, ctAnySum}};
  struct Case {
    TNodeTypeItem From;
    const char* Before;
    TNodeTypeItem To;
    const char *Step, *After; // no step: nothing changes
  };
  // The captions name the change alike whatever the former type.
  const char* one = "Change Chance to Decision (Choose one)";
  const char* multiple = "Change Chance to Decision (Choose multiple)";
  const char* percent = "Change Decision to Chance (%)";
  const char* numeric = "Change Decision to Chance (numeric)";
  const Case cases[] = {
      // Choose one: the strictly greatest probability, the first on ties.
      {ChancePercent, "30 50 20", DecisionChooseOne, one, "0 100 0"},
      {ChanceNumeric, "50 50", DecisionChooseOne, one, "100 0"},
      // Choose multiple: every option of fifty or more.
      {ChancePercent, "30 50 70", DecisionChooseMultiple, multiple, "0 100 100"},
      {DecisionChooseOne, "0 100 0", DecisionChooseMultiple, multiple, "0 100 0"},
      // The chance types leave the probabilities.
      {DecisionChooseMultiple, "100 0 100", ChanceNumeric, numeric, "100 0 100"},
      {ChanceNumeric, "100 0 100", ChancePercent, percent, "100 0 100"},
      // The item that is checked already.
      {DecisionChooseOne, "100 0", DecisionChooseOne, nullptr, "100 0"},
      {ChancePercent, "60 40", ChancePercent, nullptr, "60 40"},
  };
  for (const Case& k : cases) {
    Commands t;
    TDecTreeNode* x = t.Add(t.Root(), "X", 100, 0, fields[int(k.From)].first);
    x->ChanceType = fields[int(k.From)].second;
    std::istringstream before(k.Before);
    for (double p; before >> p;)
      t.Add(x, "", p);
    t.Recalculate();
    const std::string at = k.Before + std::string(" to ") + std::to_string(int(k.To));
    EXPECT_EQ(t.Run({x}, htIndicator, [&k](TNodeCommands& c) { c.ChangeType(k.To); }),
              k.Step ? Step(k.Step) : None)
        << at;
    EXPECT_EQ(x->NodeType, fields[int(k.To)].first) << at;
    if (x->NodeType == ntChance) {
      EXPECT_EQ(x->ChanceType, fields[int(k.To)].second) << at;
    }
    EXPECT_EQ(t.Weights(x), k.After) << at;
  }
}

TEST(NodeCommands, TakeOptionEditsTheProbabilityAndKeepsTheElement) {
  // The control's own edit of the probability: under a fixed decision it
  // asks first, under a multi-decision it toggles (DecTree and Rollback
  // tests).
  Commands t;
  t.Add(t.Root(), "A", 100);
  TDecTreeNode* b = t.Add(t.Root(), "B");
  t.Recalculate();
  EXPECT_EQ(t.Run({b}, htPayoff, &TNodeCommands::TakeOption), Step("Take/Toggle option"));
  EXPECT_EQ(t.Weights(t.Root()), "0 100");
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
  EXPECT_FALSE(t.View.EditorShown);
}

namespace {

// Root (a fixed decision) over A (taken) and B; B a chance node that carries
// a fixed flag from an earlier life as a decision, over B1 and B2; B1 a fixed
// decision over D1 (taken) and D2.
struct PathTree : Commands {
  TDecTreeNode *A, *B, *B1, *D1, *D2;
  PathTree() {
    Root()->DecisionFixed = true;
    A = Add(Root(), "A", 100);
    B = Add(Root(), "B", 0, 0, ntChance);
    B->DecisionFixed = true;
    B1 = Add(B, "B1", 60);
    Add(B, "B2", 40);
    B1->DecisionFixed = true;
    D1 = Add(B1, "D1", 100);
    D2 = Add(B1, "D2");
    Recalculate();
  }
};

std::string TakePathQuestion(const std::string& count) {
  return "confirm:In order to take the selected path, " + count + " to be changed. \n\nProceed?";
}

} // namespace

TEST(NodeCommands, TakeThisPathAsksAboutTheFixedDecisionsItChanges) {
  PathTree t;
  // The chance node's fixed flag is not counted: nothing there is changed.
  // No leaves the step and the tree.
  t.Confirm = false;
  EXPECT_EQ(t.Run({t.D2}, htBox, &TNodeCommands::TakeThisPath),
            (Events{"undo:Take path", TakePathQuestion("2 fixed decisions have")}));
  EXPECT_EQ(t.A->Probability, 100);
  EXPECT_EQ(t.D2->Probability, 0);

  t.Confirm = true;
  EXPECT_EQ(t.Run({t.D2}, htBox, &TNodeCommands::TakeThisPath).back(), "calculated");
  EXPECT_EQ(t.Weights(t.Root()), "0 100");
  EXPECT_EQ(t.Weights(t.B), "60 40");
  EXPECT_EQ(t.Weights(t.B1), "0 100");

  // One fixed decision on the way: the singular; none: no question.
  t.Root()->DecisionFixed = false;
  EXPECT_EQ(t.Run({t.A}, htBox, &TNodeCommands::TakeThisPath), Step("Take path"));
  EXPECT_EQ(t.Run({t.D1}, htPayoff, &TNodeCommands::TakeThisPath),
            (Events{"undo:Take path", TakePathQuestion("1 fixed decision has"), "calculated"}));
  EXPECT_EQ(t.Weights(t.Root()), "0 100");
  EXPECT_EQ(t.Weights(t.B1), "100 0");
}

TEST(NodeCommands, TakeThisPathInsideACloneTakesTheClickedPath) {
  // The master lies under option A, its clone under option B: the path to the
  // node clicked inside the clone runs through B.
  Commands t;
  TDecTreeNode* a = t.Add(t.Root(), "A", 100);
  TDecTreeNode* b = t.Add(t.Root(), "B");
  TDecTreeNode* master = t.Add(a, "M", 100);
  master->DecisionFixed = true;
  t.Add(master, "M1", 100);
  t.Add(master, "M2");
  TDecTreeNode* clone = t.Add(b, "C", 100);
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  // The clone mirrors the master's fixed flag.
  EXPECT_EQ(t.Run({clone->Child(1)}, htBox, &TNodeCommands::TakeThisPath),
            (Events{"undo:Take path", TakePathQuestion("1 fixed decision has"), "calculated"}));
  EXPECT_EQ(t.Weights(t.Root()), "0 100");
  EXPECT_EQ(t.Weights(master), "0 100");
  EXPECT_EQ(t.Weights(clone), "0 100");
}

TEST(NodeCommands, TakeThisPathTakesAPartWeightedMultiOptionFully) {
  Commands t;
  TDecTreeNode* u = t.Add(t.Root(), "U", 100, 0, ntMultiDecision);
  TDecTreeNode* u1 = t.Add(u, "U1", 50); // as a tree file may hold it
  t.Add(u, "U2", 100);
  t.Recalculate();
  t.Run({u1}, htBox, &TNodeCommands::TakeThisPath);
  EXPECT_EQ(t.Weights(u), "100 100");
}

namespace {

// Root over A (a leaf), M (a decision over M1 and M2) and X (a leaf).
struct CloneTree : Commands {
  TDecTreeNode *A, *M, *M1, *M2, *X;
  CloneTree() {
    A = Add(Root(), "A", 100);
    M = Add(Root(), "M");
    M1 = Add(M, "M1", 100, 4);
    M2 = Add(M, "M2", 0, 6);
    X = Add(Root(), "X");
    Recalculate();
  }
  void ChooseMaster(TDecTreeNode* node) {
    Run({node}, htIndicator, &TNodeCommands::DefineAsCloneMaster);
  }
  Events DefineAsClone(TDecTreeNode* node) {
    return Run({node}, htIndicator, &TNodeCommands::DefineAsCloneOf);
  }
  // A link made directly, as a tree file holds it.
  void Link(TDecTreeNode* clone, TDecTreeNode* master) {
    ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
    Recalculate();
  }
};

} // namespace

TEST(NodeCommands, DefineAsCloneLinksTheNodesOrShowsEveryRefusalAfterItsStep) {
  CloneTree t;
  EXPECT_EQ(t.DefineAsClone(t.X), (Events{"info:Clone master not set."}));
  EXPECT_EQ(t.Run({t.M}, htIndicator, &TNodeCommands::DefineAsCloneMaster),
            (Events{"info:Clone master set."}));
  EXPECT_EQ(t.Cmd.CloneMasterId, t.M->Id);
  EXPECT_EQ(t.DefineAsClone(t.X), Step("Clone"));
  EXPECT_EQ(t.X->Ref, t.M->Id);
  ASSERT_EQ(t.X->ChildCount(), 2);
  EXPECT_EQ(t.X->Child(1)->Caption, "M2");

  auto refused = [](const std::string& text) { return Events{"undo:Clone", "warn:" + text}; };
  t.ChooseMaster(t.M);
  EXPECT_EQ(t.DefineAsClone(t.M), refused("Master and cloned node must not be the same."));
  EXPECT_EQ(t.DefineAsClone(t.M1),
            refused("Cloned node must not be a subnode of the master node."));
  t.ChooseMaster(t.M1);
  EXPECT_EQ(t.DefineAsClone(t.M), refused("Master node must not be a subnode of the cloned node."));

  // M is a master already.
  t.ChooseMaster(t.A);
  EXPECT_EQ(t.DefineAsClone(t.M),
            refused("Cannot define a node as clone if one of it's descendends is a clone master."));

  // The chosen master became a clone itself, or went away.
  t.ChooseMaster(t.M2);
  t.Link(t.M2, t.A);
  EXPECT_EQ(t.DefineAsClone(t.M1), refused("Cannot clone another clone."));
  t.Cmd.CloneMasterId = t.A->Id;
  t.Root()->Children.Delete(0);
  t.Recalculate();
  EXPECT_EQ(t.DefineAsClone(t.M1), refused("Clone master not found. Please set it again."));
  EXPECT_EQ(t.M1->Ref, Guid::Empty());
}

TEST(NodeCommands, UnlinkCloneKeepsCopiesWithIdsOfTheirOwnOrNone) {
  CloneTree t;
  t.Link(t.X, t.M);
  const std::string linked = Shape(t.Root());
  const std::string question =
      "ask3:This will unlink this clone and make it independent. Do you want to keep the subnodes?";

  // Cancel: the step stays, the link too.
  t.Answer = -1;
  EXPECT_EQ(t.Run({t.X}, htIndicator, &TNodeCommands::UnlinkClone),
            (Events{"undo:Unlink Clone", question}));
  EXPECT_EQ(Shape(t.Root()), linked);

  t.Answer = 1;
  EXPECT_EQ(t.Run({t.X}, htIndicator, &TNodeCommands::UnlinkClone),
            (Events{"undo:Unlink Clone", question, "calculated"}));
  EXPECT_FALSE(t.X->IsClone());
  ASSERT_EQ(t.X->ChildCount(), 2);
  EXPECT_EQ(t.X->Child(0)->Caption, "M1");
  EXPECT_EQ(t.X->Child(1)->Payoff, t.M2->Payoff);
  EXPECT_NE(t.X->Child(0)->Id, t.M1->Id);
  EXPECT_NE(t.X->Child(1)->Id, t.M2->Id);
  // Independent now: the master's changes stay with the master.
  t.M1->Caption = "changed";
  t.Recalculate();
  EXPECT_EQ(t.X->Child(0)->Caption, "M1");

  t.Link(t.A, t.M);
  t.Answer = 0;
  t.Run({t.A}, htIndicatorCaption, &TNodeCommands::UnlinkClone);
  EXPECT_FALSE(t.A->IsClone());
  EXPECT_EQ(t.A->ChildCount(), 0);

  // A link to a master that is not there, as a tree file may hold: Yes
  // keeps what there is, nothing.
  t.A->Ref = Guid::NewGuid();
  t.Recalculate();
  t.Answer = 1;
  t.Run({t.A}, htIndicator, &TNodeCommands::UnlinkClone);
  EXPECT_FALSE(t.A->IsClone());
  EXPECT_EQ(t.A->ChildCount(), 0);
}

TEST(NodeCommands, OptimisationBelowANodeAndOfTheWholeTree) {
  Commands t;
  TDecTreeNode* p = t.Add(t.Root(), "P", 100);
  TDecTreeNode* q = t.Add(t.Root(), "Q");
  t.Add(p, "P1", 100, 1);
  t.Add(p, "P2", 0, 9);
  t.Add(q, "Q1", 100, 1);
  t.Add(q, "Q2", 0, 30);
  t.Tree.Options.ShowPayoff = true;
  t.Recalculate();
  EXPECT_EQ(t.Run({p}, htBox, &TNodeCommands::OptimizeSubnodeDecisions), Step("Find optimal path"));
  EXPECT_EQ(t.Weights(p), "0 100");
  EXPECT_EQ(t.Weights(q), "100 0");
  EXPECT_EQ(t.Weights(t.Root()), "100 0");

  // Diagnosis mode: refused, no step.
  t.Tree.Options.ShowPayoff = false;
  const Events refused{
      "info:Decision Tree cannot be optimized because payoff values are disabled at the moment. "
      "Please click 'View|Business mode (Show payoff)' to activate payoff values."};
  EXPECT_EQ(t.Run({p}, htBox, &TNodeCommands::OptimizeWholeTree), refused);
  EXPECT_EQ(t.Run({p}, htBox, &TNodeCommands::OptimizeSubnodeDecisions), refused);
  EXPECT_EQ(t.Weights(q), "100 0");

  // The whole tree, whatever is selected.
  t.Tree.Options.ShowPayoff = true;
  EXPECT_EQ(t.Run({}, htBox, &TNodeCommands::OptimizeWholeTree), Step("Find optimal path"));
  EXPECT_EQ(t.Weights(q), "0 100");
  EXPECT_EQ(t.Weights(t.Root()), "0 100");
}

TEST(NodeCommands, GetSelectedNodeWantsExactlyOne) {
  Commands t;
  TDecTreeNode* a = t.Add(t.Root(), "A", 100);
  auto refusal = [&t](const Nodes& nodes) -> std::string {
    t.SelectNodes(nodes, htBox);
    try {
      t.Cmd.GetSelectedNode();
    } catch (const InvalidOperationException& e) {
      return e.Message();
    }
    return "no exception";
  };
  EXPECT_EQ(refusal({}), "This operation requires a selected node");
  EXPECT_EQ(refusal({a, t.Root()}),
            "This operation requires only one selected node, but 2 are selected");
  t.SelectNodes({a}, htBox);
  EXPECT_EQ(t.Cmd.GetSelectedNode(), a);
}
