// The node commands on a control in a fake window, and a small tree that
// holds every kind of node the node menu tells apart.
#pragma once

#include "app/commands/NodeCommands.h"
#include "foundation/Conversions.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace bw::test {

using Nodes = std::vector<TDecTreeNode*>;
using Events = std::vector<std::string>;
using Command = std::function<void(TNodeCommands&)>;

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
  void Recalculate() {
    Tree.Recalculate();
    Log.clear();
  }
  void SelectNodes(const Nodes& nodes, TNodeElementType element) {
    Tree.Selection.Clear();
    for (TDecTreeNode* n : nodes)
      Tree.Selection.Add(n->Id);
    Tree.SelectionElementType = element;
  }
  // Runs a command on a selection: the undo steps, questions, messages and
  // recalculations it gave, in order.
  Events Run(const Nodes& nodes, TNodeElementType element, const Command& command) {
    SelectNodes(nodes, element);
    Log.clear();
    command(Cmd);
    Events out; // without the window's drawing and editor calls
    for (const std::string& e : Log)
      if (e == "calculated" || e.find(':') != std::string::npos) out.push_back(e);
    return out;
  }
  // The captions or the probabilities of a node's children.
  static std::string Captions(const TDecTreeNode* n) { return Children(n, true); }
  static std::string Weights(const TDecTreeNode* n) { return Children(n, false); }
  static std::string Children(const TDecTreeNode* n, bool captions) {
    std::string out;
    for (const TDecTreeNode* c : n->Children)
      out +=
          (out.empty() ? "" : " ") + (captions ? c->Caption : FloatToInvariantStr(c->Probability));
    return out;
  }
};

inline const Events None;

inline Events Step(const std::string& caption) {
  return {"undo:" + caption, "calculated"};
}

// Captions, types, probabilities, links and shape of the whole tree.
inline std::string Shape(const TDecTreeNode* n) {
  std::string s = n->Caption + "/" + std::to_string(n->NodeType) + "/" +
                  std::to_string(n->ChanceType) + "/" + std::to_string(n->Probability) + "/" +
                  n->Ref.ToString() + "(";
  for (const TDecTreeNode* c : n->Children)
    s += Shape(c);
  return s + ")";
}

// Root with
//   A: a leaf option, taken;
//   B: a chance node over B1 and B2;
//   M: a decision over M1 (itself a decision over M1a, M1b) and M2, master of
//   C: a clone of M, whose copies mirror M's subtree;
//   U: a multi-decision over U1 and U2.
struct PopupTree : Commands {
  TDecTreeNode *A, *B, *B1, *B2, *M, *M1, *M2, *C, *U, *U1, *U2;
  PopupTree() {
    A = Add(Root(), "A", 100);
    B = Add(Root(), "B", 0, 0, ntChance);
    B1 = Add(B, "B1", 50);
    B2 = Add(B, "B2", 50);
    M = Add(Root(), "M");
    M1 = Add(M, "M1", 100);
    Add(M1, "M1a", 100);
    Add(M1, "M1b");
    M2 = Add(M, "M2");
    C = Add(Root(), "C");
    U = Add(Root(), "U", 0, 0, ntMultiDecision);
    U1 = Add(U, "U1", 100);
    U2 = Add(U, "U2");
    EXPECT_EQ(C->SetCloneMaster(M->Id), "");
    Recalculate();
  }
  // The copy of M1 inside the clone: it has children of its own.
  TDecTreeNode* Copy() { return C->Child(0); }
};

} // namespace bw::test
