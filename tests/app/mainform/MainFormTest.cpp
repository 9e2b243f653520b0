#include "app/MainForm.h"
#include "app/dialogs/OverviewExternalDataForm.h"
#include "platform/registry/MemoryRegistry.h"
#include "support/Workbooks.h"
#include "treefile/TreeFile.h"
#include "ui_MainForm.h"
#include "ui_OverviewExternalDataForm.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWidgetAction>

#include <xlsxwriter.h>

#include <gtest/gtest.h>

#include <clocale>
#include <unistd.h>

using namespace bw;

namespace {

// A window whose questions are answered by the test and recorded.
struct Window {
  MemoryRegistryStore Registry;
  std::unique_ptr<TMainForm> Form;
  QStringList Messages;
  int Answer = 0; // of Yes/No/Cancel questions
  QString SaveName;

  explicit Window(const QString& commandLine = {}) {
    Form = std::make_unique<TMainForm>(Registry, commandLine);
    Hook();
    Form->resize(640, 480);
    Form->show();
  }
  void Hook() {
    TMainFormDialogs& d = Form->Dialogs;
    d.AskYesNoCancel = [this](const QString& t) {
      Messages << t;
      return Answer;
    };
    d.AskYesNo = [this](const QString& t) {
      Messages << t;
      return false;
    };
    d.Information = [this](const QString& t) { Messages << t; };
    d.Warning = d.Information;
    d.Error = d.Information;
    d.SaveFileName = [this](const QString&) { return SaveName; };
    d.OpenFileName = [] { return QString(); };
  }
  TDecTree& Tree() { return Form->DecTree(); }
  Ui::TMainForm& Ui() { return Form->Form(); }
};

// Adds two children under the root through the control, as Insert does,
// and closes the caption editor.
void AddTwoChildren(Window& w) {
  w.Tree().SelectNode(w.Tree().TreeRoot(), htBox);
  w.Tree().AddSubnodes(false);
  w.Tree().HideInplaceEditor();
}

} // namespace

TEST(MainForm, StartsWithANewUntitledTree) {
  Window w;
  EXPECT_EQ(w.Form->windowTitle(), "Brantwick by Calverick - New Decision Tree");
  EXPECT_FALSE(w.Ui().FileSaveMenuItem->isEnabled());
  EXPECT_FALSE(w.Ui().SaveToolBarButton->isEnabled());
  EXPECT_TRUE(w.Ui().FileSaveAsMenuItem->isEnabled());
  EXPECT_FALSE(w.Ui().EditUndoMenuItem->isEnabled());
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo");
  EXPECT_EQ(w.Ui().EditRedoMenuItem->text(), "Redo");
  EXPECT_EQ(w.Form->LevelsToolButton()->property("level").toInt(), 1);
  EXPECT_EQ(w.Tree().TreeRoot()->Caption, "New Decision Tree");
  EXPECT_EQ(w.Tree().TreeRoot()->Comment, "Right click for options");
  const TTreeOptions& o = w.Tree().Options;
  EXPECT_TRUE(o.OutlineCodes && o.ShowPayoff && o.HighlightClones);
  EXPECT_EQ(o.StatusDate, 0);
  EXPECT_TRUE(w.Form->StatusPanel(0)->text().startsWith("Min "));
  EXPECT_TRUE(w.Form->StatusPanel(1)->text().startsWith("Current "));
  EXPECT_TRUE(w.Form->StatusPanel(2)->text().startsWith("Max "));
  // The commands of later parts are there, switched off.
  ASSERT_NE(w.Form->findChild<QWidget*>("NewToolButton"), nullptr);
}

TEST(MainForm, StatusBarFollowsEveryRecalculationAndTheMode) {
  Window w;
  AddTwoChildren(w);
  TDecTreeNode* root = w.Tree().TreeRoot();
  root->Child(0)->Payoff = 120000; // 12, taken
  root->Child(1)->Payoff = -30000; // -3
  w.Tree().Recalculate();
  QString min = w.Form->StatusPanel(0)->text(), max = w.Form->StatusPanel(2)->text();
  EXPECT_TRUE(min.startsWith("Min ") && min.contains("3")) << min.toStdString();
  EXPECT_TRUE(max.contains("12")) << max.toStdString();
  QLabel* panel = w.Form->StatusPanel(1);
  EXPECT_EQ(panel->width(), panel->fontMetrics().horizontalAdvance(panel->text()) + 8);

  w.Ui().ViewDontshowpayoffMenuItem->trigger();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(w.Form->StatusPanel(i)->text(), "    ");
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Switch mode");
  // Choosing the mode that is already on takes no step.
  size_t steps = w.Form->UndoHistory().UndoCount();
  w.Ui().ViewDontshowpayoffMenuItem->trigger();
  EXPECT_EQ(w.Form->UndoHistory().UndoCount(), steps);
  w.Ui().EditUndoMenuItem->trigger();
  EXPECT_TRUE(w.Tree().Options.ShowPayoff);
  EXPECT_TRUE(w.Form->StatusPanel(0)->text().startsWith("Min "));
}

TEST(MainForm, UndoAndRedoSwapTreesAndKeepTheSelection) {
  Window w;
  AddTwoChildren(w);
  EXPECT_TRUE(w.Form->IsModified());
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Edit Title");
  TDecTreeNode* second = w.Tree().TreeRoot()->Child(1);
  const Guid secondId = second->Id;
  w.Tree().SelectNode(second, htBox);
  second->Caption = "changed";
  w.Form->SaveUndo("Edit Title");
  w.Tree().TreeRoot()->Child(1)->Caption = "changed again";

  w.Form->SetModified(false);
  w.Ui().EditUndoMenuItem->trigger();
  EXPECT_TRUE(w.Form->IsModified()); // undo marks modified, always
  EXPECT_EQ(w.Tree().TreeRoot()->Child(1)->Caption, "changed");
  ASSERT_EQ(w.Tree().GetSelectedNodes().size(), 1u);
  EXPECT_EQ(w.Tree().GetSelectedNodes()[0]->Id, secondId);
  EXPECT_EQ(w.Ui().EditRedoMenuItem->text(), "Redo Edit Title");
  EXPECT_TRUE(w.Ui().RedoToolButton->isEnabled());

  w.Ui().EditRedoMenuItem->trigger();
  EXPECT_EQ(w.Tree().TreeRoot()->Child(1)->Caption, "changed again");
  w.Ui().EditUndoMenuItem->trigger();
  w.Form->SaveUndo("Something new");
  EXPECT_FALSE(w.Ui().EditRedoMenuItem->isEnabled());
  EXPECT_EQ(w.Ui().EditRedoMenuItem->text(), "Redo");
}

TEST(MainForm, TheHistoryIsBoundedAt501) {
  Window w;
  for (int i = 0; i < 502; ++i)
    w.Form->SaveUndo("step");
  EXPECT_EQ(w.Form->UndoHistory().UndoCount(), 501u);
  for (int i = 0; i < 501; ++i)
    w.Ui().EditUndoMenuItem->trigger();
  EXPECT_FALSE(w.Ui().EditUndoMenuItem->isEnabled());
  EXPECT_EQ(w.Form->UndoHistory().RedoCount(), 501u);
}

TEST(MainForm, RecentFilesReachTheRegistryWithTheirValueNames) {
  Window w;
  w.Form->SetFileName("/tmp/a.bwk", false);
  w.Form->SetFileName("/tmp/b.bwk", false);
  w.Form->SetFileName("/tmp/c.bwk", false);
  // Opening an older name exchanges it with the top entry.
  w.Form->SetFileName("/tmp/a.bwk", false);
  std::vector<std::string> expected = {"/tmp/a.bwk", "/tmp/b.bwk", "/tmp/c.bwk"};
  EXPECT_EQ(w.Form->RecentFileList().Files(), expected);

  w.Form->UpdateRecentFileMenu();
  QAction* first = w.Form->findChild<QAction*>("FileHistory0");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->text(), "&1 /tmp/a.bwk");
  EXPECT_EQ(first->data().toString(), "/tmp/a.bwk");
  ASSERT_NE(w.Form->findChild<QAction*>("FileHistorySep"), nullptr);

  w.Form->SetModified(false);
  w.Form->close();
  auto key = w.Registry.OpenKey(TRootKeys::CURRENT_USER,
                                "SOFTWARE\\Calverick\\Brantwick\\2\\RecentFiles", false);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("File 0"), "/tmp/a.bwk");
  EXPECT_EQ(key->ReadString("File 1"), "/tmp/b.bwk");
  EXPECT_EQ(key->ReadString("File 2"), "/tmp/c.bwk");

  // A second window finds the list again.
  MemoryRegistryStore& store = w.Registry;
  TMainForm again(store);
  EXPECT_EQ(again.RecentFileList().Files(), expected);
}

TEST(MainForm, ClosingAModifiedTreeAsksAndCancelKeepsIt) {
  Window w;
  AddTwoChildren(w);
  w.Answer = -1;
  EXPECT_FALSE(w.Form->close());
  ASSERT_EQ(w.Messages.size(), 1);
  EXPECT_EQ(w.Messages[0], "Do you want to save the changes?");
  // Yes with a cancelled save dialog keeps the window too.
  w.Answer = 1;
  w.SaveName.clear();
  EXPECT_FALSE(w.Form->close());
  w.Answer = 0;
  EXPECT_TRUE(w.Form->close());
}

TEST(MainForm, FilesOpenSaveAndFailWithTheirMessages) {
  QTemporaryDir dir;
  Window w;
  AddTwoChildren(w);
  w.Tree().TreeRoot()->Child(0)->Caption = "first";
  w.SaveName = dir.filePath("tree.bwk");
  ASSERT_TRUE(w.Form->SaveFile(false));
  EXPECT_FALSE(w.Form->IsModified());
  EXPECT_EQ(w.Form->windowTitle(), "Brantwick by Calverick - tree.bwk");

  // A file that is not there: a notice, the name leaves the list, nothing else.
  std::string missing = dir.filePath("gone.bwk").toStdString();
  w.Form->RecentFileList().AddFile(missing);
  w.Form->OpenFile(missing);
  EXPECT_EQ(w.Messages.back().toStdString(), "File '" + missing + "' does not exist.");
  EXPECT_EQ(w.Form->RecentFileList().Files().front(), w.SaveName.toStdString());
  EXPECT_FALSE(w.Form->IsModified());

  // A broken file: the error, the tree of before, modified, nothing to redo.
  QString broken = dir.filePath("broken.bwk");
  {
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<Tree><OutlineCodes>1</OutlineCodes>");
  }
  w.Form->OpenFile(broken.toStdString());
  EXPECT_TRUE(w.Messages.back().startsWith("Error opening file: " + broken + "\n\n"))
      << w.Messages.back().toStdString();
  EXPECT_EQ(w.Tree().TreeRoot()->Child(0)->Caption, "first");
  EXPECT_TRUE(w.Form->IsModified());
  EXPECT_FALSE(w.Ui().EditRedoMenuItem->isEnabled());
  EXPECT_EQ(w.Form->FileName(), w.SaveName.toStdString());

  // The saved file opens again, unmodified and with nothing to undo.
  w.Form->FileNew();
  w.Form->OpenFile(w.SaveName.toStdString());
  EXPECT_EQ(w.Tree().TreeRoot()->Child(0)->Caption, "first");
  EXPECT_FALSE(w.Form->IsModified());
  EXPECT_FALSE(w.Ui().EditUndoMenuItem->isEnabled());
  EXPECT_EQ(w.Tree().GetSelectedNodes()[0], w.Tree().TreeRoot());
}

TEST(MainForm, ImportedPayoffsAreCheckedAfterOpeningAndRefreshedInOneStep) {
  QTemporaryDir dir;
  const std::string book = dir.filePath("prices.xlsx").toStdString();
  test::WriteXlsx(book, [](lxw_workbook* b) {
    worksheet_write_number(workbook_add_worksheet(b, "Prices"), 0, 0, 42.5, nullptr);
  });
  Window w;
  AddTwoChildren(w);
  const std::string source = "Import: Excel(\"" + book + "\", \"Prices$A1\")";
  w.Tree().TreeRoot()->Child(0)->PayoffSource = source;
  w.Tree().TreeRoot()->Child(0)->Payoff = 10000;
  w.SaveName = dir.filePath("tree.bwk");
  ASSERT_TRUE(w.Form->SaveFile(false));

  int overviews = 0;
  w.Form->Dialogs.ExternalDataOverview = [&](TDecTree& tree, const auto& saveUndo) {
    ++overviews;
    TOverviewExternalDataForm form(tree);
    form.RefreshExternalData();
    EXPECT_EQ(form.Form().SummaryChangedLabel->text(), "1");
    form.ApplyNewValues(saveUndo);
    tree.Recalculate();
  };
  bool answer = false;
  bool busyOverQuestion = false;
  w.Form->Dialogs.AskYesNo = [&](const QString& t) {
    w.Messages << t;
    busyOverQuestion = QApplication::overrideCursor() != nullptr;
    return answer;
  };
  auto payoff = [&] { return w.Tree().TreeRoot()->Child(0)->Payoff; };

  // No leaves the values as read.
  w.Form->OpenFile(w.SaveName.toStdString());
  EXPECT_EQ(w.Messages.back(),
            "This project contains external data. Do you want to check if this data has been "
            "updated?");
  EXPECT_FALSE(busyOverQuestion);
  EXPECT_EQ(overviews, 0);
  EXPECT_EQ(payoff(), 10000);
  EXPECT_EQ(w.Tree().TreeRoot()->Child(0)->PayoffSource, source);

  // Yes reads the workbook again; the new value comes in one undo step.
  answer = true;
  w.Form->OpenFile(w.SaveName.toStdString());
  EXPECT_EQ(overviews, 1);
  EXPECT_EQ(payoff(), 425000);
  EXPECT_EQ(w.Form->UndoHistory().UndoMessage(), "Refresh external data");
  EXPECT_TRUE(w.Form->IsModified());
  w.Form->EditUndo();
  EXPECT_EQ(payoff(), 10000);

  ASSERT_TRUE(w.Ui().FileExternalDataMenuItem->isEnabled());
  w.Ui().FileExternalDataMenuItem->trigger();
  EXPECT_EQ(overviews, 2);
}

TEST(MainForm, ACommandLineNameIsMadeAbsolute) {
  QTemporaryDir dir;
  Window writer;
  std::string path = dir.filePath("start.bwk").toStdString();
  WriteTreeFile(path, *writer.Tree().TreeRoot(), writer.Tree().Options, writer.Tree().DefaultFont);
  QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  Window w("start.bwk");
  QDir::setCurrent(previous);
  EXPECT_EQ(w.Form->FileName(), path);
  EXPECT_TRUE(w.Messages.isEmpty()) << w.Messages.join("|").toStdString();
  EXPECT_EQ(w.Form->RecentFileList().Files().front(), path);
}

TEST(MainForm, LevelsMenuTakesAStepAndDrawsTheDigit) {
  Window w;
  AddTwoChildren(w);
  w.Tree().SelectNode(w.Tree().TreeRoot()->Child(0), htBox);
  w.Tree().AddSubnodes(false);
  w.Tree().HideInplaceEditor();
  QMenu* levels = w.Form->findChild<QMenu*>("LevelsPopupMenu");
  ASSERT_NE(levels, nullptr);
  emit levels->aboutToShow();
  ASSERT_EQ(levels->actions().size(), 3);
  EXPECT_EQ(levels->actions()[2]->text(), "Level 3");
  levels->actions()[1]->trigger();
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Expand/Collapse");
  EXPECT_EQ(w.Form->LevelsToolButton()->property("level").toInt(), 2);
  EXPECT_TRUE(w.Tree().TreeRoot()->ChildrenVisible);
  EXPECT_FALSE(w.Tree().TreeRoot()->Child(0)->ChildrenVisible);
}

TEST(MainForm, WheelScrollsFortyPixelsOnTheBarThatShows) {
  Window w;
  for (int i = 0; i < 40; ++i) {
    w.Tree().SelectNode(w.Tree().TreeRoot(), htBox);
    w.Tree().AddSubnodes(false);
    w.Tree().HideInplaceEditor();
  }
  QScrollArea* box = w.Ui().ScrollBox;
  QApplication::processEvents();
  QScrollBar* vertical = box->verticalScrollBar();
  ASSERT_TRUE(vertical->isVisible());
  // Each new node's editor brought it into view; start from the top.
  vertical->setValue(0);
  auto turn = [&](int delta, Qt::KeyboardModifiers mods) {
    QPoint at(10, 10);
    QWheelEvent wheel(at, box->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box->viewport(), &wheel);
  };
  turn(-1, Qt::NoModifier);
  EXPECT_EQ(vertical->value(), 40);
  turn(-720, Qt::NoModifier);
  EXPECT_EQ(vertical->value(), 80);
  turn(120, Qt::NoModifier);
  EXPECT_EQ(vertical->value(), 40);
  // The tree is narrow: no horizontal bar, Shift does nothing.
  turn(-120, Qt::ShiftModifier);
  EXPECT_EQ(vertical->value(), 40);
  EXPECT_EQ(box->horizontalScrollBar()->value(), 0);
}

TEST(MainForm, DroppedFilesOpenTheFirstAfterThePrompt) {
  QTemporaryDir dir;
  Window w;
  std::string first = dir.filePath("one.bwk").toStdString();
  w.Tree().TreeRoot()->Caption = "dropped";
  WriteTreeFile(first, *w.Tree().TreeRoot(), w.Tree().Options, w.Tree().DefaultFont);
  w.Form->FileNew();
  AddTwoChildren(w);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(first)),
                QUrl::fromLocalFile(dir.filePath("two.bwk"))});
  w.Answer = 0; // do not save
  w.Form->OpenDroppedFiles(data);
  ASSERT_EQ(w.Messages.size(), 1);
  EXPECT_EQ(w.Messages[0], "Do you want to save the changes?");
  EXPECT_EQ(w.Form->FileName(), first);
  EXPECT_EQ(w.Tree().TreeRoot()->Caption, "dropped");
}

TEST(MainForm, AnOpenedTreeShowsItsRoot) {
  Window w;
  w.Form->resize(527, 452);
  w.Form->OpenFile(BW_EXAMPLE_TREE);
  QApplication::processEvents();
  ASSERT_TRUE(w.Messages.isEmpty()) << w.Messages.join("|").toStdString();
  const TNodeRect& box = w.Tree().TreeRoot()->Rect(htBox);
  QScrollArea* scroll = w.Ui().ScrollBox;
  QPoint centre = w.Form->DecTreeWidget().mapTo(scroll->viewport(),
                                                QPoint(box.Left + 5, box.Top + box.Height / 2));
  EXPECT_TRUE(scroll->viewport()->rect().contains(centre))
      << centre.x() << "," << centre.y() << " tree " << w.Tree().Height();
  EXPECT_GT(w.Tree().Height(), scroll->viewport()->height()); // a tree taller than the window
}

TEST(MainForm, ToolButtonsHaveIconsOfOneSetWithoutATheme) {
  const QString theme = QIcon::themeName();
  QIcon::setThemeName("no-such-theme");
  Window w;
  for (QAction* a : w.Ui().StandardToolBar->actions()) {
    // The levels button draws its own digit.
    if (a->isSeparator() || qobject_cast<QWidgetAction*>(a)) continue;
    const QImage image = a->icon().pixmap(16, 16).toImage();
    ASSERT_FALSE(image.isNull()) << a->objectName().toStdString();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        ink += qAlpha(image.pixel(x, y)) > 0;
    EXPECT_GT(ink, 40) << a->objectName().toStdString();
    // Drawn for both sizes: sharp on a screen of twice the density.
    EXPECT_TRUE(a->icon().availableSizes().contains(QSize(32, 32)))
        << a->objectName().toStdString();
  }
  QIcon::setThemeName(theme);
}

namespace {

QAction* PopupItem(Window& w, const char* name) {
  QAction* action = w.Form->NodePopupMenu()->findChild<QAction*>(name);
  EXPECT_NE(action, nullptr) << name;
  return action;
}

// Opens the node menu's state as a right click would, without showing it.
void OpenNodeMenu(Window& w) {
  emit w.Form->NodePopupMenu()->aboutToShow();
}

} // namespace

TEST(MainForm, TheNodeMenuTakesItsStateWhenItOpens) {
  Window w;
  AddTwoChildren(w);
  TDecTreeNode* first = w.Tree().TreeRoot()->Child(0);
  first->NodeType = ntChance;
  first->ChanceType = ctAnySum;
  w.Tree().SelectNode(first, htBox);
  w.Tree().AddSubnodes(false);
  w.Tree().HideInplaceEditor();

  w.Tree().SelectNode(first, htIndicator);
  OpenNodeMenu(w);
  EXPECT_EQ(PopupItem(w, "PopupEditMenuItem")->text(), "Edit");
  EXPECT_EQ(PopupItem(w, "PopupAddChildMenuItem")->text(), "Add branch");
  EXPECT_EQ(PopupItem(w, "PopupTakeOptionMenuItem")->text(), "Take this option");
  EXPECT_TRUE(PopupItem(w, "PopupTypeMenuItem")->isEnabled());
  EXPECT_FALSE(PopupItem(w, "PopupMoveUpMenuItem")->isEnabled());
  EXPECT_TRUE(PopupItem(w, "PopupMoveDownMenuItem")->isEnabled());
  EXPECT_TRUE(PopupItem(w, "PopupDefineAsCloneMasterMenuItem")->isEnabled());
  EXPECT_FALSE(PopupItem(w, "PopupCommentMenuItem")->isEnabled());
  // "Chance (numeric)" stands outside the radio group; the marks follow the
  // node all the same.
  EXPECT_TRUE(PopupItem(w, "PopupTypeChanceNumericMenuItem")->isChecked());
  for (const char* name :
       {"PopupTypeDecisionChooseOneMenuItem", "PopupTypeDecisionChooseMultipleMenuItem",
        "PopupTypeChancePercentMenuItem"})
    EXPECT_FALSE(PopupItem(w, name)->isChecked()) << name;
  first->ChanceType = ctPercent;
  OpenNodeMenu(w);
  EXPECT_TRUE(PopupItem(w, "PopupTypeChancePercentMenuItem")->isChecked());
  EXPECT_FALSE(PopupItem(w, "PopupTypeChanceNumericMenuItem")->isChecked());

  // On the box of a leaf: no type; on a probability nothing to add.
  w.Tree().SelectNode(w.Tree().TreeRoot()->Child(1), htProbability);
  OpenNodeMenu(w);
  EXPECT_FALSE(PopupItem(w, "PopupTypeMenuItem")->isEnabled());
  EXPECT_EQ(PopupItem(w, "PopupEditMenuItem")->text(), "Edit Probability");
  EXPECT_EQ(PopupItem(w, "PopupAddChildMenuItem")->text(), "Add");
  EXPECT_FALSE(PopupItem(w, "PopupAddChildMenuItem")->isEnabled());
  EXPECT_TRUE(PopupItem(w, "PopupMoveUpMenuItem")->isEnabled());
}

TEST(MainForm, NodeCommandsRunFromTheirItems) {
  Window w;
  AddTwoChildren(w);
  TDecTree& tree = w.Tree();
  TDecTreeNode* first = tree.TreeRoot()->Child(0);
  TDecTreeNode* second = tree.TreeRoot()->Child(1);
  tree.SelectNode(first, htBox);
  PopupItem(w, "PopupMoveDownMenuItem")->trigger();
  EXPECT_EQ(tree.TreeRoot()->Child(1), first);
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Move down");

  tree.SelectNode(tree.TreeRoot(), htIndicator);
  PopupItem(w, "PopupTypeChancePercentMenuItem")->trigger();
  EXPECT_EQ(tree.TreeRoot()->NodeType, ntChance);
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Change Decision to Chance (%)");

  // A clone whose unlinking is cancelled keeps its step.
  tree.SelectNode(first, htIndicator);
  PopupItem(w, "PopupDefineAsCloneMasterMenuItem")->trigger();
  EXPECT_EQ(w.Messages.back(), "Clone master set.");
  tree.SelectNode(second, htIndicator);
  PopupItem(w, "PopupDefineAsCloneOfMenuItem")->trigger();
  EXPECT_TRUE(second->IsClone());
  w.Answer = -1;
  PopupItem(w, "PopupUnlinkCloneMenuItem")->trigger();
  EXPECT_EQ(w.Messages.back(), "This will unlink this clone and make it independent. Do you "
                               "want to keep the subnodes?");
  EXPECT_TRUE(second->IsClone());
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Unlink Clone");

  // Optimising is there in the Edit menu and the tool bar, and refused in
  // diagnosis mode without a step.
  EXPECT_TRUE(w.Ui().EditOptimizeWholeMenuItem->isEnabled());
  EXPECT_TRUE(w.Ui().OptimizeDecisionsToolButton->isEnabled());
  w.Ui().OptimizeDecisionsToolButton->trigger();
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Find optimal path");
  w.Ui().ViewDontshowpayoffMenuItem->trigger();
  const size_t steps = w.Form->UndoHistory().UndoCount();
  w.Ui().EditOptimizeWholeMenuItem->trigger();
  EXPECT_TRUE(w.Messages.back().startsWith("Decision Tree cannot be optimized"));
  EXPECT_EQ(w.Form->UndoHistory().UndoCount(), steps);
}

TEST(MainForm, FileNewGivesAFreshRootAndForgetsTheCloneMaster) {
  Window w;
  w.Form->OpenFile(BW_EXAMPLE_TREE);
  ASSERT_GT(w.Tree().TreeRoot()->ChildCount(), 0);
  TDecTreeNode* root = w.Tree().TreeRoot();
  const Guid id = root->Id;
  w.Tree().SelectNode(root->Child(0), htIndicator);
  PopupItem(w, "PopupDefineAsCloneMasterMenuItem")->trigger();
  w.Form->SaveUndo("Change");

  // The currency comes from the C library's monetary locale.
  const std::string monetary = std::setlocale(LC_MONETARY, nullptr);
  std::setlocale(LC_MONETARY, "C");
  w.Answer = 0; // do not save
  w.Ui().FileNewMenuItem->trigger();
  std::setlocale(LC_MONETARY, monetary.c_str());

  EXPECT_EQ(w.Tree().TreeRoot()->Id, id);
  EXPECT_EQ(w.Tree().TreeRoot()->ChildCount(), 0);
  const TTreeOptions& o = w.Tree().Options;
  EXPECT_EQ(o.CurrencySymbol, "");
  EXPECT_EQ(o.CurrencyDecimals, 2);
  EXPECT_EQ(o.CurrencyPosFormat, 0);
  EXPECT_EQ(o.CurrencyNegFormat, 1);
  EXPECT_FALSE(w.Ui().EditUndoMenuItem->isEnabled());
  EXPECT_FALSE(w.Ui().EditRedoMenuItem->isEnabled());
  EXPECT_FALSE(w.Form->IsModified());
  EXPECT_EQ(w.Form->FileName(), "");

  w.Tree().SelectNode(w.Tree().TreeRoot(), htIndicator);
  w.Messages.clear();
  PopupItem(w, "PopupDefineAsCloneOfMenuItem")->trigger();
  EXPECT_EQ(w.Messages, QStringList{"Clone master not set."});
}

TEST(MainForm, ARightClickOpensTheNodeMenuAndItsItemsAct) {
  Window w;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.Form.get()));
  AddTwoChildren(w);
  TDecTree& tree = w.Tree();
  TDecTreeNode* second = tree.TreeRoot()->Child(1);
  const TNodeRect& box = second->Rect(htBox);
  TDecTreeWidget& widget = w.Form->DecTreeWidget();
  const QPoint at = w.Form->windowHandle()->mapFromGlobal(
      widget.mapToGlobal(QPoint(box.Left + box.Width / 2, box.Top + box.Height / 2)));
  QTest::mousePress(w.Form->windowHandle(), Qt::RightButton, {}, at);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_EQ(menu, w.Form->NodePopupMenu());
  EXPECT_EQ(PopupItem(w, "PopupEditMenuItem")->text(), "Edit Title");
  EXPECT_EQ(PopupItem(w, "PopupAddChildMenuItem")->text(), "Add subnodes");
  EXPECT_TRUE(PopupItem(w, "PopupMoveUpMenuItem")->isEnabled());
  EXPECT_TRUE(PopupItem(w, "PopupCommentMenuItem")->isEnabled());
  PopupItem(w, "PopupMoveUpMenuItem")->trigger();
  menu->close();
  QTest::mouseRelease(w.Form->windowHandle(), Qt::RightButton, {}, at);
  EXPECT_EQ(tree.TreeRoot()->Child(0), second);
  EXPECT_EQ(w.Ui().EditUndoMenuItem->text(), "Undo Move up");
}

TEST(MainForm, PictureCommandsAreOnAndTakeTheWholeTreeWithItsMargin) {
  QTemporaryDir dir;
  Window w;
  AddTwoChildren(w);
  for (QAction* a : {w.Ui().FileExportPictureMenuItem, w.Ui().ExportPictureToolButton,
                     w.Ui().EditCopyPictureMenuItem, w.Ui().CopyPictureToolButton})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  const TNodeRect& bounds = w.Tree().TreeRoot()->Bounds;
  const QSize size(bounds.Width + 20, bounds.Height + 20);

  w.Ui().CopyPictureToolButton->trigger();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data && data->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), size);
  EXPECT_TRUE(data->hasFormat("image/x-emf"));

  QString name = dir.filePath("tree.png");
  w.Form->Dialogs.PictureFileName = [&] { return name; };
  w.Ui().ExportPictureToolButton->trigger();
  EXPECT_EQ(w.Messages, QStringList{"Unknown image file extension: .PNG"});
  name = dir.filePath("tree.gif");
  w.Ui().FileExportPictureMenuItem->trigger();
  EXPECT_EQ(QImage(name).size(), size);
  EXPECT_EQ(w.Messages.size(), 1);
}
