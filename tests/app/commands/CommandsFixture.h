// The node commands on a control in a fake window.
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

} // namespace bw::test
