// The main window for tests: shown, with its settings in a registry in
// memory, and its questions and messages answered by the test and recorded.
#pragma once

#include "app/MainForm.h"
#include "platform/registry/MemoryRegistry.h"
#include "ui_MainForm.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

namespace bw::test {

struct TestWindow {
  MemoryRegistryStore Registry;
  std::unique_ptr<TMainForm> Form;
  QStringList Messages;
  int Answer = 0;       // of Yes/No/Cancel questions: 1, 0, -1
  bool Confirm = false; // of Yes/No questions
  QString SaveName;     // what the save dialog gives

  explicit TestWindow(const QString& commandLine = {})
      : Form(std::make_unique<TMainForm>(Registry, commandLine)) {
    TMainFormDialogs& d = Form->Dialogs;
    d.AskYesNoCancel = [this](const QString& t) {
      Messages << t;
      return Answer;
    };
    d.AskYesNo = [this](const QString& t) {
      Messages << t;
      return Confirm;
    };
    d.Information = [this](const QString& t) { Messages << t; };
    d.Warning = d.Error = d.Information;
    d.SaveFileName = [this](const QString&) { return SaveName; };
    d.OpenFileName = [](const QString&) { return QString(); };
    Form->resize(640, 480);
    Form->show();
  }
  TDecTree& Tree() { return Form->DecTree(); }
  TDecTreeNode* Root() { return Tree().TreeRoot(); }
  Ui::TMainForm& Ui() { return Form->Form(); }
  size_t Steps() const { return Form->UndoHistory().UndoCount(); }
  QString UndoText() { return Ui().EditUndoMenuItem->text(); }

  // Adds subnodes as the Add command does (two under a leaf) and closes the
  // caption editor it opens.
  void AddSubnodes(TDecTreeNode* node) {
    Tree().SelectNode(node, htBox);
    Tree().AddSubnodes(false);
    Tree().HideInplaceEditor();
  }
  // An action of the window or of its node menu, by its object name.
  QAction* Action(const char* name) {
    auto* action = Form->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  // Selects a node and opens the node menu's state as a right click would,
  // without showing the menu.
  void OpenNodeMenu(TDecTreeNode* node, TNodeElementType element) {
    Tree().SelectNode(node, element);
    emit Form->NodePopupMenu()->aboutToShow();
  }
};

} // namespace bw::test
