#include "app/commands/NodeCommands.h"
#include "foundation/Exceptions.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

#include <functional>

using namespace bw;
using namespace bw::test;

namespace {

// The commands on a control in a fake window; the window's undo steps and
// message boxes go into the control's log.
struct Commands : TControl {
  bool Confirm = true; // Yes or No
  int Answer = 1;      // Yes, No, Cancel: 1, 0, -1
  TNodeCommands Cmd{Tree, Host()};

  TNodeCommandHost Host() {
    TNodeCommandHost host;
    host.SaveUndo = [this](const std::string& s) { Log.push_back("undo:" + s); };
    host.AskYesNo = [this](const std::string& s) {
      Log.push_back("confirm:" + s);
      return Confirm;
    };
    host.AskYesNoCancel = [this](const std::string& s) {
      Log.push_back("ask3:" + s);
      return Answer;
    };
    host.Information = [this](const std::string& s) { Log.push_back("info:" + s); };
    host.Warning = [this](const std::string& s) { Log.push_back("warn:" + s); };
    return host;
  }
  // Undo steps, questions, messages and recalculations, in order.
  std::vector<std::string> Seen() const {
    std::vector<std::string> out;
    for (const std::string& e : Log)
      for (const char* prefix : {"undo:", "confirm:", "ask3:", "ask:", "info:", "warn:"})
        if (e.rfind(prefix, 0) == 0 || e == "calculated") {
          out.push_back(e);
          break;
        }
    return out;
  }
  void Recalculate() {
    Tree.Recalculate();
    Log.clear();
  }
  std::vector<double> Probabilities(const TDecTreeNode* n) const {
    std::vector<double> out;
    for (const TDecTreeNode* c : n->Children)
      out.push_back(c->Probability);
    return out;
  }
};

using Events = std::vector<std::string>;

// Captions, types, probabilities, links and shape of the whole tree.
std::string Shape(const TDecTreeNode* n) {
  std::string s = n->Caption + "/" + std::to_string(n->NodeType) + "/" +
                  std::to_string(n->ChanceType) + "/" + std::to_string(n->Probability) + "/" +
                  n->Ref.ToString() + "(";
  for (const TDecTreeNode* c : n->Children)
    s += Shape(c);
  return s + ")";
}

} // namespace

TEST(NodeCommands, MoveUpAndDownExchangeNeighboursAndStopAtTheEnds) {
  Commands t;
  TDecTreeNode* a = t.Add(t.Root(), "A", 100);
  TDecTreeNode* b = t.Add(t.Root(), "B");
  TDecTreeNode* c = t.Add(t.Root(), "C");
  t.Recalculate();
  t.Select({b}, htBox);
  t.Cmd.MoveUp();
  EXPECT_EQ(t.Seen(), (Events{"undo:Move up", "calculated"}));
  EXPECT_EQ(t.Root()->Child(0), b);
  EXPECT_EQ(t.Root()->Child(1), a);
  t.Log.clear();
  t.Cmd.MoveUp(); // b is first now
  t.Select({c}, htBox);
  t.Cmd.MoveDown(); // c is last
  EXPECT_TRUE(t.Seen().empty());
  t.Select({b}, htIndicator);
  t.Cmd.MoveDown();
  EXPECT_EQ(t.Seen(), (Events{"undo:Move down", "calculated"}));
  EXPECT_EQ(t.Root()->Child(0), a);
  EXPECT_EQ(t.Root()->Child(1), b);
  EXPECT_EQ(t.Root()->Child(2), c);
}

TEST(NodeCommands, ChooseOneTakesTheStrictlyGreatestProbability) {
  Commands t;
  TDecTreeNode* x = t.Add(t.Root(), "X", 100, 0, ntChance);
  for (double p : {30, 50, 20})
    t.Add(x, "", p);
  TDecTreeNode* y = t.Add(t.Root(), "Y", 0, 0, ntChance);
  for (double p : {50, 50})
    t.Add(y, "", p);
  t.Recalculate();
  t.Select({x}, htIndicator);
  t.Cmd.ChangeType(TNodeTypeItem::DecisionChooseOne);
  EXPECT_EQ(t.Seen(), (Events{"undo:Change Chance to Decision (Choose one)", "calculated"}));
  EXPECT_EQ(x->NodeType, ntDecision);
  EXPECT_EQ(t.Probabilities(x), (std::vector<double>{0, 100, 0}));
  t.Select({y}, htIndicatorCaption);
  t.Cmd.ChangeType(TNodeTypeItem::DecisionChooseOne);
  EXPECT_EQ(t.Probabilities(y), (std::vector<double>{100, 0}));
  // Already a decision: the checked item changes nothing.
  t.Log.clear();
  t.Cmd.ChangeType(TNodeTypeItem::DecisionChooseOne);
  EXPECT_TRUE(t.Seen().empty());
}

TEST(NodeCommands, ChooseMultipleTakesEveryOptionOfFiftyOrMore) {
  Commands t;
  TDecTreeNode* x = t.Add(t.Root(), "X", 100, 0, ntChance);
  for (double p : {30, 50, 70})
    t.Add(x, "", p);
  t.Recalculate();
  t.Select({x}, htIndicator);
  t.Cmd.ChangeType(TNodeTypeItem::DecisionChooseMultiple);
  EXPECT_EQ(x->NodeType, ntMultiDecision);
  EXPECT_EQ(t.Probabilities(x), (std::vector<double>{0, 100, 100}));
  // From a decision the caption still names a chance node.
  x->NodeType = ntDecision;
  t.Recalculate();
  t.Cmd.ChangeType(TNodeTypeItem::DecisionChooseMultiple);
  EXPECT_EQ(t.Seen(), (Events{"undo:Change Chance to Decision (Choose multiple)", "calculated"}));
}

TEST(NodeCommands, ChanceTypesLeaveTheProbabilities) {
  Commands t;
  TDecTreeNode* x = t.Add(t.Root(), "X", 100, 0, ntMultiDecision);
  for (double p : {100, 0, 100})
    t.Add(x, "", p);
  t.Recalculate();
  t.Select({x}, htIndicatorFixed);
  t.Cmd.ChangeType(TNodeTypeItem::ChanceNumeric);
  EXPECT_EQ(t.Seen(), (Events{"undo:Change Decision to Chance (numeric)", "calculated"}));
  EXPECT_EQ(x->NodeType, ntChance);
  EXPECT_EQ(x->ChanceType, ctAnySum);
  t.Log.clear();
  t.Cmd.ChangeType(TNodeTypeItem::ChancePercent);
  EXPECT_EQ(t.Seen(), (Events{"undo:Change Decision to Chance (%)", "calculated"}));
  EXPECT_EQ(x->ChanceType, ctPercent);
  EXPECT_EQ(t.Probabilities(x), (std::vector<double>{100, 0, 100}));
  t.Log.clear();
  t.Cmd.ChangeType(TNodeTypeItem::ChancePercent);
  EXPECT_TRUE(t.Seen().empty());
}

TEST(NodeCommands, TakeOptionEditsTheProbabilityAndKeepsTheElement) {
  Commands t;
  TDecTreeNode* a = t.Add(t.Root(), "A", 100);
  TDecTreeNode* b = t.Add(t.Root(), "B");
  TDecTreeNode* u = t.Add(t.Root(), "U", 0, 0, ntMultiDecision);
  TDecTreeNode* u1 = t.Add(u, "U1", 100);
  t.Recalculate();
  t.Select({b}, htBox);
  t.Cmd.TakeOption();
  EXPECT_EQ(t.Seen(), (Events{"undo:Take/Toggle option", "calculated"}));
  EXPECT_EQ(a->Probability, 0);
  EXPECT_EQ(b->Probability, 100);
  EXPECT_EQ(t.Tree.SelectionElementType, htBox);
  EXPECT_FALSE(t.View.EditorShown);
  // Under a multi-decision the option toggles.
  t.Select({u1}, htPayoff);
  t.Cmd.TakeOption();
  EXPECT_EQ(u1->Probability, 0);
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
  // A fixed decision asks first; No changes nothing.
  t.Root()->DecisionFixed = true;
  t.View.Answer = false;
  t.Log.clear();
  t.Select({a}, htBox);
  t.Cmd.TakeOption();
  EXPECT_EQ(t.Seen(), (Events{"ask:This decision has been defined as fixed. Do you still want to "
                              "take a new option?"}));
  EXPECT_EQ(a->Probability, 0);
}

namespace {

// Root (a fixed decision) over A (taken) and B; B a chance node that carries
// a fixed flag from an earlier life as a decision, over B1 and B2; B1 a fixed
// decision over D1 (taken) and D2.
struct PathTree : Commands {
  TDecTreeNode *A, *B, *B1, *B2, *D1, *D2;
  PathTree() {
    Root()->DecisionFixed = true;
    A = Add(Root(), "A", 100);
    B = Add(Root(), "B", 0, 0, ntChance);
    B->DecisionFixed = true;
    B1 = Add(B, "B1", 60);
    B2 = Add(B, "B2", 40);
    B1->DecisionFixed = true;
    D1 = Add(B1, "D1", 100);
    D2 = Add(B1, "D2");
    Recalculate();
    Select({D2}, htBox);
  }
};

} // namespace

TEST(NodeCommands, TakeThisPathAsksAboutTheFixedDecisionsItChanges) {
  PathTree t;
  t.Confirm = false;
  t.Cmd.TakeThisPath();
  // The chance node's fixed flag is not counted: nothing there is changed.
  EXPECT_EQ(t.Seen(), (Events{"undo:Take path",
                              "confirm:In order to take the selected path, 2 fixed decisions "
                              "have to be changed. \n\nProceed?"}));
  EXPECT_EQ(t.A->Probability, 100);
  EXPECT_EQ(t.D2->Probability, 0);

  t.Log.clear();
  t.Confirm = true;
  t.Cmd.TakeThisPath();
  EXPECT_EQ(t.Seen().back(), "calculated");
  EXPECT_EQ(t.Probabilities(t.Root()), (std::vector<double>{0, 100}));
  EXPECT_EQ(t.Probabilities(t.B), (std::vector<double>{60, 40}));
  EXPECT_EQ(t.Probabilities(t.B1), (std::vector<double>{0, 100}));

  // One fixed decision on the way: the singular; none: no question.
  t.Root()->DecisionFixed = false;
  t.Select({t.A}, htBox);
  t.Log.clear();
  t.Cmd.TakeThisPath();
  EXPECT_EQ(t.Seen(), (Events{"undo:Take path", "calculated"}));
  t.Select({t.D1}, htPayoff);
  t.Log.clear();
  t.Cmd.TakeThisPath();
  EXPECT_EQ(t.Seen(), (Events{"undo:Take path",
                              "confirm:In order to take the selected path, 1 fixed decision has "
                              "to be changed. \n\nProceed?",
                              "calculated"}));
  EXPECT_EQ(t.Probabilities(t.Root()), (std::vector<double>{0, 100}));
  EXPECT_EQ(t.Probabilities(t.B1), (std::vector<double>{100, 0}));
}

TEST(NodeCommands, TakeThisPathInsideACloneTakesTheClickedPath) {
  // The master lies under option A, its clone under option B: the path to the
  // node clicked inside the clone runs through B.
  Commands t;
  TDecTreeNode* a = t.Add(t.Root(), "A", 100);
  TDecTreeNode* b = t.Add(t.Root(), "B");
  TDecTreeNode* master = t.Add(a, "M", 100);
  master->DecisionFixed = true;
  TDecTreeNode* m1 = t.Add(master, "M1", 100);
  TDecTreeNode* m2 = t.Add(master, "M2");
  TDecTreeNode* clone = t.Add(b, "C", 100);
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  t.Select({clone->Child(1)}, htBox);
  t.Cmd.TakeThisPath();
  // The clone mirrors the master's fixed flag.
  EXPECT_EQ(t.Seen(), (Events{"undo:Take path",
                              "confirm:In order to take the selected path, 1 fixed decision has "
                              "to be changed. \n\nProceed?",
                              "calculated"}));
  EXPECT_EQ(b->Probability, 100);
  EXPECT_EQ(a->Probability, 0);
  EXPECT_EQ(m1->Probability, 0);
  EXPECT_EQ(m2->Probability, 100);
  EXPECT_EQ(clone->Child(1)->Probability, 100);
}

TEST(NodeCommands, TakeThisPathTakesAPartWeightedMultiOptionFully) {
  Commands t;
  TDecTreeNode* u = t.Add(t.Root(), "U", 100, 0, ntMultiDecision);
  TDecTreeNode* u1 = t.Add(u, "U1", 50); // as a tree file may hold it
  TDecTreeNode* u2 = t.Add(u, "U2", 100);
  t.Recalculate();
  t.Select({u1}, htBox);
  t.Cmd.TakeThisPath();
  EXPECT_EQ(u1->Probability, 100);
  EXPECT_EQ(u2->Probability, 100);
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
    Select({node}, htIndicator);
    Cmd.DefineAsCloneMaster();
    Log.clear();
  }
  // Define as clone on a node; the events it gave.
  Events DefineAsClone(TDecTreeNode* node) {
    Log.clear();
    Select({node}, htIndicator);
    Cmd.DefineAsCloneOf();
    return Seen();
  }
};

} // namespace

TEST(NodeCommands, DefineAsCloneMasterAndCloneLinkTheNodes) {
  CloneTree t;
  EXPECT_EQ(t.DefineAsClone(t.X), (Events{"info:Clone master not set."}));
  t.Select({t.M}, htIndicator);
  t.Log.clear();
  t.Cmd.DefineAsCloneMaster();
  EXPECT_EQ(t.Seen(), (Events{"info:Clone master set."}));
  EXPECT_EQ(t.Cmd.CloneMasterId, t.M->Id);
  EXPECT_EQ(t.DefineAsClone(t.X), (Events{"undo:Clone", "calculated"}));
  EXPECT_EQ(t.X->Ref, t.M->Id);
  ASSERT_EQ(t.X->ChildCount(), 2);
  EXPECT_EQ(t.X->Child(1)->Caption, "M2");
}

TEST(NodeCommands, DefineAsCloneShowsEveryRefusalAfterItsStep) {
  CloneTree t;
  auto refused = [](const std::string& text) { return Events{"undo:Clone", "warn:" + text}; };
  t.ChooseMaster(t.M);
  EXPECT_EQ(t.DefineAsClone(t.M), refused("Master and cloned node must not be the same."));
  EXPECT_EQ(t.DefineAsClone(t.M1),
            refused("Cloned node must not be a subnode of the master node."));
  t.ChooseMaster(t.M1);
  EXPECT_EQ(t.DefineAsClone(t.M), refused("Master node must not be a subnode of the cloned node."));

  // M is a master already.
  ASSERT_EQ(t.X->SetCloneMaster(t.M->Id), "");
  t.Recalculate();
  t.ChooseMaster(t.A);
  EXPECT_EQ(t.DefineAsClone(t.M),
            refused("Cannot define a node as clone if one of it's descendends is a clone master."));

  // The chosen master became a clone itself, or went away.
  t.ChooseMaster(t.M2);
  ASSERT_EQ(t.M2->SetCloneMaster(t.A->Id), "");
  t.Recalculate();
  EXPECT_EQ(t.DefineAsClone(t.M1), refused("Cannot clone another clone."));
  const Guid gone = t.Root()->Child(0)->Id;
  t.Cmd.CloneMasterId = gone;
  t.Root()->Children.Delete(0);
  t.Recalculate();
  EXPECT_EQ(t.DefineAsClone(t.M1), refused("Clone master not found. Please set it again."));
  EXPECT_EQ(t.M1->Ref, Guid::Empty());

  // Inside a clone the command does not apply: no step, no message.
  t.ChooseMaster(t.M1);
  EXPECT_TRUE(t.DefineAsClone(t.X->Child(0)).empty());
}

TEST(NodeCommands, UnlinkCloneKeepsCopiesWithIdsOfTheirOwnOrNone) {
  CloneTree t;
  ASSERT_EQ(t.X->SetCloneMaster(t.M->Id), "");
  t.Recalculate();
  const std::string linked = Shape(t.Root());
  t.Select({t.X}, htIndicator);

  t.Answer = -1;
  t.Cmd.UnlinkClone();
  const std::string question =
      "ask3:This will unlink this clone and make it independent. Do you want to keep the subnodes?";
  EXPECT_EQ(t.Seen(), (Events{"undo:Unlink Clone", question}));
  EXPECT_EQ(Shape(t.Root()), linked);

  t.Log.clear();
  t.Answer = 1;
  t.Cmd.UnlinkClone();
  EXPECT_EQ(t.Seen(), (Events{"undo:Unlink Clone", question, "calculated"}));
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

  ASSERT_EQ(t.A->SetCloneMaster(t.M->Id), "");
  t.Recalculate();
  t.Select({t.A}, htIndicatorCaption);
  t.Answer = 0;
  t.Cmd.UnlinkClone();
  EXPECT_FALSE(t.A->IsClone());
  EXPECT_EQ(t.A->ChildCount(), 0);

  // A link to a master that is not there, as a tree file may hold: Yes
  // keeps what there is, nothing.
  t.A->Ref = Guid::NewGuid();
  t.Recalculate();
  t.Answer = 1;
  t.Cmd.UnlinkClone();
  EXPECT_FALSE(t.A->IsClone());
  EXPECT_EQ(t.A->ChildCount(), 0);
}

TEST(NodeCommands, OptimisationBelowANodeAndOfTheWholeTree) {
  Commands t;
  TDecTreeNode* p = t.Add(t.Root(), "P", 100);
  TDecTreeNode* p2 = nullptr;
  TDecTreeNode* q = t.Add(t.Root(), "Q");
  t.Add(p, "P1", 100, 1);
  p2 = t.Add(p, "P2", 0, 9);
  t.Add(q, "Q1", 100, 1);
  TDecTreeNode* q2 = t.Add(q, "Q2", 0, 30);
  t.Tree.Options.ShowPayoff = true;
  t.Recalculate();
  t.Select({p}, htBox);
  t.Cmd.OptimizeSubnodeDecisions();
  EXPECT_EQ(t.Seen(), (Events{"undo:Find optimal path", "calculated"}));
  EXPECT_EQ(p2->Probability, 100);
  EXPECT_EQ(q2->Probability, 0);
  EXPECT_EQ(p->Probability, 100);

  // Diagnosis mode: refused, no step.
  t.Tree.Options.ShowPayoff = false;
  t.Log.clear();
  t.Cmd.OptimizeWholeTree();
  const char* refusal = "info:Decision Tree cannot be optimized because payoff values are disabled "
                        "at the moment. Please click 'View|Business mode (Show payoff)' to "
                        "activate payoff values.";
  EXPECT_EQ(t.Seen(), (Events{refusal}));
  t.Log.clear();
  t.Cmd.OptimizeSubnodeDecisions();
  EXPECT_EQ(t.Seen(), (Events{refusal}));
  EXPECT_EQ(q2->Probability, 0);

  // The whole tree, whatever is selected.
  t.Tree.Options.ShowPayoff = true;
  t.Select({}, htBox);
  t.Log.clear();
  t.Cmd.OptimizeWholeTree();
  EXPECT_EQ(t.Seen(), (Events{"undo:Find optimal path", "calculated"}));
  EXPECT_EQ(q2->Probability, 100);
  EXPECT_EQ(q->Probability, 100);
  EXPECT_EQ(p->Probability, 0);
}

TEST(NodeCommands, GetSelectedNodeWantsExactlyOne) {
  Commands t;
  TDecTreeNode* a = t.Add(t.Root(), "A", 100);
  t.Select({}, htBox);
  try {
    t.Cmd.GetSelectedNode();
    ADD_FAILURE() << "no exception";
  } catch (const InvalidOperationException& e) {
    EXPECT_EQ(e.Message(), "This operation requires a selected node");
  }
  t.Select({a, t.Root()}, htBox);
  try {
    t.Cmd.GetSelectedNode();
    ADD_FAILURE() << "no exception";
  } catch (const InvalidOperationException& e) {
    EXPECT_EQ(e.Message(), "This operation requires only one selected node, but 2 are selected");
  }
  t.Select({a}, htBox);
  EXPECT_EQ(t.Cmd.GetSelectedNode(), a);
}

TEST(NodeCommands, EveryCommandTheMenuDisablesIsRefused) {
  // Root over A (a leaf), B (a chance node over B1 and B2), M (master of C).
  Commands t;
  TDecTreeNode* a = t.Add(t.Root(), "A", 100);
  TDecTreeNode* b = t.Add(t.Root(), "B", 0, 0, ntChance);
  TDecTreeNode* b1 = t.Add(b, "B1", 50);
  t.Add(b, "B2", 50);
  TDecTreeNode* m = t.Add(t.Root(), "M");
  t.Add(m, "M1", 100);
  TDecTreeNode* c = t.Add(t.Root(), "C");
  ASSERT_EQ(c->SetCloneMaster(m->Id), "");
  t.Recalculate();
  t.Cmd.CloneMasterId = m->Id;
  t.Tree.Options.ShowPayoff = true;

  struct Case {
    const char* Name;
    std::vector<TDecTreeNode*> Selection;
    TNodeElementType Element;
    std::function<void()> Run;
  };
  const Case cases[] = {
      {"Edit", {c->Child(0)}, htBox, [&] { t.Cmd.Edit(); }},
      {"Add on a payoff", {a}, htPayoff, [&] { t.Cmd.AddChild(); }},
      {"Add to a clone", {c}, htBox, [&] { t.Cmd.AddChild(); }},
      {"Remove the root", {t.Root()}, htBox, [&] { t.Cmd.Remove(); }},
      {"Move up the first", {a}, htBox, [&] { t.Cmd.MoveUp(); }},
      {"Move down the last", {c}, htBox, [&] { t.Cmd.MoveDown(); }},
      {"Type of a leaf", {a}, htIndicator, [&] { t.Cmd.ChangeType(TNodeTypeItem::ChancePercent); }},
      {"Type on the box", {b}, htBox, [&] { t.Cmd.ChangeType(TNodeTypeItem::DecisionChooseOne); }},
      {"Take a chance branch", {b1}, htBox, [&] { t.Cmd.TakeOption(); }},
      {"Take the root's path", {t.Root()}, htBox, [&] { t.Cmd.TakeThisPath(); }},
      {"Master on the box", {a}, htBox, [&] { t.Cmd.DefineAsCloneMaster(); }},
      {"Clone a clone's copy", {c->Child(0)}, htIndicator, [&] { t.Cmd.DefineAsCloneOf(); }},
      {"Unlink on the box", {c}, htBox, [&] { t.Cmd.UnlinkClone(); }},
      {"Unlink a non-clone", {m}, htIndicator, [&] { t.Cmd.UnlinkClone(); }},
      {"Optimise a leaf", {a}, htBox, [&] { t.Cmd.OptimizeSubnodeDecisions(); }},
      {"Optimise two nodes", {b, m}, htBox, [&] { t.Cmd.OptimizeSubnodeDecisions(); }},
  };
  const std::string before = Shape(t.Root());
  for (const Case& k : cases) {
    t.Tree.Selection.Clear();
    for (TDecTreeNode* n : k.Selection)
      t.Tree.Selection.Add(n->Id);
    t.Tree.SelectionElementType = k.Element;
    t.Log.clear();
    k.Run();
    EXPECT_TRUE(t.Seen().empty()) << k.Name << ": " << t.Seen().front();
    EXPECT_FALSE(t.View.EditorShown) << k.Name;
    EXPECT_EQ(Shape(t.Root()), before) << k.Name;
    EXPECT_EQ(t.Cmd.CloneMasterId, m->Id) << k.Name;
  }
}
