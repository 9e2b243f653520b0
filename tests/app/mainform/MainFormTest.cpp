#include "TestWindow.h"
#include "app/text/LocaleCurrency.h"
#include "model/MultiOptionSolver.h"
#include "model/UIStringsComponent.h"
#include "support/ChildProcess.h"
#include "support/RefusedNumbers.h"
#include "treefile/TreeFile.h"
#include "widgets/StatusHintPanel.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QWidgetAction>

#include <clocale>
#include <sys/resource.h>

using namespace bw;
using bw::test::TestWindow;

TEST(MainForm, StatusBarFollowsEveryRecalculationAndTheMode) {
  TestWindow w;
  w.AddSubnodes(w.Root());
  w.Root()->Child(0)->Payoff = 120000; // 12, taken
  w.Root()->Child(1)->Payoff = -30000; // -3
  w.Tree().Recalculate();
  const QString min = w.Form->StatusPanel(0)->text(), max = w.Form->StatusPanel(2)->text();
  EXPECT_TRUE(min.startsWith("Min ") && min.contains("3")) << min.toStdString();
  EXPECT_TRUE(w.Form->StatusPanel(1)->text().startsWith("Current "));
  EXPECT_TRUE(max.startsWith("Max ") && max.contains("12")) << max.toStdString();
  // Each panel as wide as its text and a margin.
  QLabel* panel = w.Form->StatusPanel(1);
  EXPECT_EQ(panel->width(), panel->fontMetrics().horizontalAdvance(panel->text()) + 8);

  w.Ui().ViewDontshowpayoffMenuItem->trigger();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(w.Form->StatusPanel(i)->text(), "    ");
  EXPECT_EQ(w.UndoText(), "Undo Switch mode");
  // Choosing the mode that is already on takes no step.
  const size_t steps = w.Steps();
  w.Ui().ViewDontshowpayoffMenuItem->trigger();
  EXPECT_EQ(w.Steps(), steps);
  w.Ui().ViewHighlightclonesMenuItem->trigger();
  EXPECT_FALSE(w.Tree().Options.HighlightClones);
  EXPECT_EQ(w.UndoText(), "Undo Toggle Highlight Clones");
  // Undo changes the options behind the menu: it shows them when it opens.
  w.Form->EditUndo();
  w.Form->EditUndo();
  emit w.Ui().ViewMenuItem->aboutToShow();
  EXPECT_TRUE(w.Ui().ViewHighlightclonesMenuItem->isChecked());
  EXPECT_TRUE(w.Ui().ViewBusinessmodeMenuItem->isChecked());
  EXPECT_TRUE(w.Form->StatusPanel(0)->text().startsWith("Min "));
}

TEST(MainForm, UndoAndRedoSwapTreesAndKeepTheSelection) {
  TestWindow w;
  w.AddSubnodes(w.Root());
  EXPECT_TRUE(w.Form->IsModified());
  EXPECT_EQ(w.UndoText(), "Undo Edit Title");
  TDecTreeNode* second = w.Root()->Child(1);
  const Guid secondId = second->Id;
  w.Tree().SelectNode(second, htBox);
  second->Caption = "changed";
  w.Form->SaveUndo("Edit Title");
  w.Root()->Child(1)->Caption = "changed again";

  w.Form->SetModified(false);
  w.Ui().EditUndoMenuItem->trigger();
  EXPECT_TRUE(w.Form->IsModified()); // undo marks modified, always
  EXPECT_EQ(w.Root()->Child(1)->Caption, "changed");
  ASSERT_EQ(w.Tree().GetSelectedNodes().size(), 1u);
  EXPECT_EQ(w.Tree().GetSelectedNodes()[0]->Id, secondId);
  EXPECT_EQ(w.Ui().EditRedoMenuItem->text(), "Redo Edit Title");
  EXPECT_TRUE(w.Ui().RedoToolButton->isEnabled());

  w.Ui().EditRedoMenuItem->trigger();
  EXPECT_EQ(w.Root()->Child(1)->Caption, "changed again");
  w.Ui().EditUndoMenuItem->trigger();
  w.Form->SaveUndo("Something new");
  EXPECT_FALSE(w.Ui().EditRedoMenuItem->isEnabled());
}

TEST(MainForm, RecentFilesReachTheMenuAndTheRegistry) {
  QTemporaryDir dir;
  std::string a = dir.filePath("a.bwk").toStdString(), b = dir.filePath("b.bwk").toStdString(),
              c = dir.filePath("c.bwk").toStdString();
  TestWindow w;
  // The name given up goes into the list as well: opening an older name
  // exchanges it with the top entry.
  for (const std::string& name : {a, b, c, a})
    w.Form->SetFileName(name, false);
  EXPECT_EQ(w.Form->RecentFileList().Files(), (std::vector<std::string>{a, b, c}));

  emit w.Ui().FileMenuItem->aboutToShow();
  EXPECT_EQ(w.Action("FileHistory0")->text(), QString::fromStdString("&1 " + a));
  EXPECT_EQ(w.Action("FileHistory1")->data().toString().toStdString(), b);
  EXPECT_NE(w.Form->findChild<QAction*>("FileHistorySep"), nullptr);
  // An entry opens its file, which is not there.
  w.Action("FileHistory1")->trigger();
  EXPECT_EQ(w.Messages.back().toStdString(), "File '" + b + "' does not exist.");

  w.Form->close();
  auto key = w.Registry.OpenKey(TRootKeys::CURRENT_USER,
                                "SOFTWARE\\Calverick\\Brantwick\\2\\RecentFiles", false);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("File 0"), a);
  // A second window finds the list again.
  TMainForm again(w.Registry);
  EXPECT_EQ(again.RecentFileList().Files(), (std::vector<std::string>{a, c}));
}

TEST(MainForm, ClosingAModifiedTreeAsksAndCancelKeepsIt) {
  TestWindow w;
  w.AddSubnodes(w.Root());
  w.Answer = -1;
  EXPECT_FALSE(w.Form->close());
  EXPECT_EQ(w.Messages, QStringList{"Do you want to save the changes?"});
  // Yes with a cancelled save dialog keeps the window too.
  w.Answer = 1;
  EXPECT_FALSE(w.Form->close());
  w.Answer = 0;
  EXPECT_TRUE(w.Form->close());
}

TEST(MainForm, FilesOpenSaveAndFailWithTheirMessages) {
  QTemporaryDir dir;
  TestWindow w;
  w.AddSubnodes(w.Root());
  w.Root()->Child(0)->Caption = "first";
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

  // A broken file: the error, the tree of before, as modified as it was
  // (File > New then asks nothing), nothing to redo.
  QString broken = dir.filePath("broken.bwk");
  {
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<Tree><OutlineCodes>1</OutlineCodes>");
  }
  w.Form->OpenFile(broken.toStdString());
  EXPECT_TRUE(w.Messages.back().startsWith("Error opening file: " + broken + "\n\n"))
      << w.Messages.back().toStdString();
  EXPECT_EQ(w.Root()->Child(0)->Caption, "first");
  EXPECT_FALSE(w.Form->IsModified());
  EXPECT_FALSE(w.Ui().EditRedoMenuItem->isEnabled());
  EXPECT_EQ(w.Form->FileName(), w.SaveName.toStdString());
  w.Root()->Child(0)->Caption = "changed";
  w.Form->SaveUndo("Edit Title");
  const size_t shown = w.Messages.size();
  w.Form->OpenFile(broken.toStdString());
  EXPECT_EQ(w.Root()->Child(0)->Caption, "changed");
  EXPECT_TRUE(w.Form->IsModified());
  EXPECT_TRUE(w.Ui().EditUndoMenuItem->isEnabled());
  EXPECT_EQ(w.Messages.size(), shown + 1);
  w.Root()->Child(0)->Caption = "first";

  // The saved file opens again, unmodified and with nothing to undo.
  w.Form->FileNew();
  w.Form->OpenFile(w.SaveName.toStdString());
  EXPECT_EQ(w.Root()->Child(0)->Caption, "first");
  EXPECT_FALSE(w.Form->IsModified());
  EXPECT_FALSE(w.Ui().EditUndoMenuItem->isEnabled());
  EXPECT_EQ(w.Tree().GetSelectedNodes()[0], w.Root());
}

// Text typed in place that is no number never reaches a file: Ctrl+S and
// closing the window (saving) take the edit back first.
TEST(MainForm, SaveAndCloseTakeBackAnEditThatIsNoNumber) {
  QTemporaryDir dir;
  for (const auto& [locale, texts] : test::RefusedNumberTexts())
    for (const QString& text : texts)
      for (bool closing : {false, true}) {
        SCOPED_TRACE(locale.name().toStdString() + " " + text.toStdString());
        QLocale::setDefault(locale);
        TestWindow w;
        w.Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.Form.get()));
        w.AddSubnodes(w.Root());
        w.Root()->Child(0)->Payoff = 70000;
        w.Tree().SelectNode(w.Root()->Child(0), htPayoff);
        w.Form->DecTreeWidget().setFocus();
        for (QChar c : text)
          QTest::keyClicks(QApplication::focusWidget(), QString(c));
        w.SaveName = dir.filePath("tree.bwk");
        w.Answer = 1; // save on closing
        closing ? (void)w.Form->close()
                : QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(w.Form->findChild<QLabel*>("StatusPanel3")->text(),
                  "Invalid number: the edit was taken back");
        QFile file(w.SaveName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().count("<Payoff>7</Payoff>"), 1);
      }
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// The status bar keeps one height whatever its last panel shows, so the
// tree above it stays still: a text longer than the panel (a hint of the
// Type items, a note of two lines) is cut, and whole, as plain text, in the
// panel's tool tip.
TEST(MainForm, TheStatusBarKeepsItsHeightAndGivesALongTextWholeAsItsToolTip) {
  TestWindow w;
  w.Form->resize(400, 300);
  QApplication::processEvents();
  const int oneLine = w.Form->statusBar()->height();
  auto* panel = static_cast<TStatusHintPanel*>(w.Form->StatusPanel(3));
  const QString tooMany =
      QString::fromStdString(UIStringsComponent::Str(UIStringsComponent::STooManyOptions));
  for (const QString& text : {w.Action("PopupTypeChanceNumericMenuItem")->statusTip(),
                              tooMany + "\n<b>" + tooMany, QString("short")}) {
    QStatusTipEvent tip(text);
    QApplication::sendEvent(w.Form.get(), &tip);
    for (int i = 0; i < 3; ++i) // the panel, the bar and the window lay out in turn
      QApplication::processEvents();
    EXPECT_EQ(w.Form->statusBar()->height(), oneLine) << text.toStdString();
    const bool cut = text != "short";
    EXPECT_EQ(panel->ShownText().endsWith(QChar(0x2026)), cut);
    QTextDocument whole;
    whole.setHtml(panel->toolTip());
    EXPECT_EQ(whole.toPlainText(), cut ? text : QString());
  }
}

// While the in-place editor is red, its error comes back in the status bar
// when a menu that covered it with its hints closes; once the edit has
// ended, a closing menu leaves the panel empty.
TEST(MainForm, TheEditorsInvalidNumberComesBackWhenAMenuCloses) {
  TestWindow w;
  w.Form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.Form.get()));
  w.AddSubnodes(w.Root());
  w.Tree().SelectNode(w.Root()->Child(0), htPayoff);
  w.Form->DecTreeWidget().setFocus();
  for (QChar c : QString("abc"))
    QTest::keyClicks(QApplication::focusWidget(), QString(c));
  QLabel* panel = w.Form->StatusPanel(3);
  QLineEdit* editor = w.Form->DecTreeWidget().InplaceEdit();
  QMenu* file = w.Ui().FileMenuItem;
  auto hintInMenu = [&] {
    file->popup(w.Form->mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    file->setActiveAction(w.Ui().FileExportPictureMenuItem);
    EXPECT_EQ(panel->text(), "Exports the current decision tree as a picture file");
    file->close();
  };
  EXPECT_EQ(panel->text(), "Invalid number");
  hintInMenu();
  EXPECT_EQ(panel->text(), "Invalid number");
  EXPECT_TRUE(editor->isVisible());
  QTest::keyClick(editor, Qt::Key_Escape);
  hintInMenu();
  EXPECT_EQ(panel->text(), "");
}

// The node menu, a window of its own, gives the status bar the long hints of
// its items and of its Type submenu's, greyed items' too, as the main menus
// do, and takes them away when it closes. It ends an edit that is no number
// when it opens; an edit red again while it shows has its error back when the
// menu closes.
TEST(MainForm, TheNodeMenuShowsItsItemsHintsInTheStatusBar) {
  TestWindow w;
  w.Form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.Form.get()));
  QLabel* panel = w.Form->StatusPanel(3);
  // A main menu's greyed item, before anything can be undone.
  QMenu* edit = w.Ui().EditMenuItem;
  edit->popup(w.Form->mapToGlobal(QPoint(0, 0)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(edit));
  ASSERT_FALSE(w.Ui().EditUndoMenuItem->isEnabled());
  QTest::mouseMove(edit, edit->actionGeometry(w.Ui().EditUndoMenuItem).center());
  EXPECT_EQ(panel->text(), "Undo");
  edit->close();
  EXPECT_EQ(panel->text(), "");

  w.AddSubnodes(w.Root());
  QMenu* menu = w.Form->NodePopupMenu();
  auto hintOn = [&](QMenu* m, const char* item) {
    QTest::mouseMove(m, m->actionGeometry(w.Action(item)).center());
    return panel->text().toStdString();
  };
  auto typeInvalid = [&] {
    w.Tree().SelectNode(w.Root()->Child(0), htPayoff);
    w.Tree().EditElement(false, 0);
    QTest::keyClicks(w.Form->DecTreeWidget().InplaceEdit(), "abc");
    EXPECT_EQ(panel->text(), "Invalid number");
  };
  w.Form->DecTreeWidget().setFocus();
  typeInvalid();

  // A right click on the last leaf's box.
  const TNodeRect& box = w.Root()->Child(1)->Rect(htBox);
  const QPoint at = w.Form->windowHandle()->mapFromGlobal(w.Form->DecTreeWidget().mapToGlobal(
      QPoint(box.Left + box.Width / 2, box.Top + box.Height / 2)));
  QTest::mousePress(w.Form->windowHandle(), Qt::RightButton, {}, at);
  ASSERT_EQ(QApplication::activePopupWidget(), menu);
  EXPECT_EQ(panel->text(), "Invalid number: the edit was taken back");
  EXPECT_EQ(hintOn(menu, "PopupMoveUpMenuItem"), "Moves the selected node up by one");
  // Greyed, straight from an enabled item, and a hint with a short part.
  ASSERT_FALSE(w.Action("PopupMoveDownMenuItem")->isEnabled());
  EXPECT_EQ(hintOn(menu, "PopupMoveDownMenuItem"), "Moves the selected node down by one");
  ASSERT_FALSE(w.Action("PopupOptimizeSubnodeDecisionsMenuItem")->isEnabled());
  EXPECT_EQ(hintOn(menu, "PopupOptimizeSubnodeDecisionsMenuItem"),
            "Optimizes decisions of this node's subnodes to maximize payoff");
  // The keys go to enabled items, with or without a hint, under the pointer.
  QTest::keyClick(menu, Qt::Key_Up);
  QTest::keyClick(menu, Qt::Key_Up);
  EXPECT_EQ(menu->activeAction(), w.Action("PopupTakeThisPathMenuItem"));
  EXPECT_EQ(panel->text(), "");
  ASSERT_FALSE(w.Action("PopupEditPayoffAdvancedMenuItem")->isEnabled());
  EXPECT_EQ(hintOn(menu, "PopupEditPayoffAdvancedMenuItem"), ""); // it has none
  typeInvalid();
  EXPECT_EQ(hintOn(menu, "PopupMoveDownMenuItem"), "Moves the selected node down by one");
  menu->close();
  QTest::mouseRelease(w.Form->windowHandle(), Qt::RightButton, {}, at);
  EXPECT_EQ(panel->text(), "Invalid number");
  QTest::keyClick(w.Form->DecTreeWidget().InplaceEdit(), Qt::Key_Escape);

  // The menu key on the root's type symbol, and the Type submenu.
  w.Tree().SelectNode(w.Root(), htIndicator);
  w.Form->DecTreeWidget().setFocus();
  QTest::keyClick(&w.Form->DecTreeWidget(), Qt::Key_Menu);
  ASSERT_EQ(QApplication::activePopupWidget(), menu);
  QMenu* type = w.Action("PopupTypeMenuItem")->menu();
  QTest::mouseMove(menu, menu->actionGeometry(type->menuAction()).center());
  QTRY_VERIFY(type->isVisible());
  EXPECT_EQ(hintOn(type, "PopupTypeChancePercentMenuItem"),
            "Changes the node into a chance node using percentages. Chance nodes usually have "
            "several possibilities, each given a probability");
  menu->close();
  EXPECT_EQ(panel->text(), "");
}

// Save as into a folder that cannot take the file: the window keeps the
// name, caption and recent files of the file it has, and a later close asks
// about that file.
TEST(MainForm, AFailedSaveAsKeepsTheWindowsNameCaptionAndRecentFiles) {
  QTemporaryDir dir;
  TestWindow w;
  w.SaveName = dir.filePath("tree.bwk");
  ASSERT_TRUE(w.Form->SaveFile(false));
  w.AddSubnodes(w.Root());
  const QString title = w.Form->windowTitle();
  const std::vector<std::string> recent = w.Form->RecentFileList().Files();

  w.SaveName = dir.filePath("no-folder/new.bwk");
  EXPECT_FALSE(w.Form->SaveFile(true));
  EXPECT_TRUE(w.Messages.back().startsWith("Error saving file: \n\n"))
      << w.Messages.back().toStdString();
  EXPECT_EQ(w.Form->FileName(), dir.filePath("tree.bwk").toStdString());
  EXPECT_EQ(w.Form->windowTitle(), title);
  EXPECT_EQ(w.Form->RecentFileList().Files(), recent);
  EXPECT_TRUE(w.Form->IsModified());
  w.Answer = -1;
  EXPECT_FALSE(w.Form->close());
  EXPECT_EQ(w.Messages.back(), "Do you want to save the changes to tree.bwk?");
}

// A file-size limit (ulimit -f) fails the save with its reason instead of
// ending the program. The limit is set in a child process.
TEST(MainForm, ASaveBeyondAFileSizeLimitIsReportedAndTheProgramGoesOn) {
  QTemporaryDir dir;
  TestWindow w;
  w.SaveName = dir.filePath("tree.bwk");
  const std::string outcome = test::InChildProcess([&]() -> std::string {
    struct rlimit limit {
      100, 100
    };
    setrlimit(RLIMIT_FSIZE, &limit);
    return w.Form->SaveFile(false) ? "saved" : w.Messages.join("|").toStdString();
  });
  EXPECT_EQ(outcome, "Error saving file: \n\nCannot write '" + w.SaveName.toStdString() +
                         "': File too large");
}

// Two windows on one file: a save over what the other window wrote since
// asks first; No keeps the file and the window's tree, modified. A window's
// own saves, and a save to a new name, ask nothing.
TEST(MainForm, ASaveOverAFileChangedSinceItWasReadAsksFirst) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("tree.bwk").toStdString();
  const QString question = QString::fromStdString(
      "'" + path +
      "' has been changed by another program since it was opened or last saved. Overwrite it?");
  TestWindow first, second;
  first.SaveName = QString::fromStdString(path);
  ASSERT_TRUE(first.Form->SaveFile(false));
  second.Form->OpenFile(path);
  first.Root()->Caption = "first's";
  first.Form->SaveUndo("Edit Title");
  ASSERT_TRUE(first.Form->SaveFile(false));
  EXPECT_TRUE(first.Messages.isEmpty());
  auto savedCaption = [&] {
    TTreeContext context;
    return ReadTreeFile(path, &context, {}).Root->Caption;
  };

  second.Root()->Caption = "second's";
  second.Form->SaveUndo("Edit Title");
  second.Confirm = false;
  EXPECT_FALSE(second.Form->SaveFile(false));
  EXPECT_EQ(second.Messages, QStringList{question});
  EXPECT_EQ(savedCaption(), "first's");
  EXPECT_TRUE(second.Form->IsModified());
  EXPECT_EQ(second.Root()->Caption, "second's");
  second.Confirm = true;
  EXPECT_TRUE(second.Form->SaveFile(false));
  EXPECT_EQ(savedCaption(), "second's");

  // The first window's file has changed in turn: Save as to the same name
  // asks as well, to a new name it does not.
  first.Confirm = false;
  EXPECT_FALSE(first.Form->SaveFile(true));
  EXPECT_EQ(first.Messages, QStringList{question});
  first.SaveName = dir.filePath("copy.bwk");
  EXPECT_TRUE(first.Form->SaveFile(true));
  EXPECT_EQ(first.Messages.size(), 1);
}

TEST(MainForm, OpeningRenewsIdsCatchesEveryErrorAndReportsWideMultiDecisions) {
  QTemporaryDir dir;
  TestWindow w;
  w.AddSubnodes(w.Root());
  TDecTreeNode* root = w.Root();
  std::string path = dir.filePath("dup.bwk").toStdString();

  // Two nodes of one id: the copy read gets a fresh id, and the document
  // wants saving so that the file gets it too.
  root->Child(1)->Id = root->Child(0)->Id;
  WriteTreeFile(path, *root, w.Tree().Options, w.Tree().DefaultFont);
  w.Form->OpenFile(path);
  EXPECT_TRUE(w.Form->IsModified());
  root = w.Root();
  EXPECT_NE(root->Child(0)->Id, root->Child(1)->Id);

  // Any exception on the way is reported, not only the program's own.
  root->Child(0)->PayoffSource = "Import: Excel(\"a.xlsx\";\"Sheet1\";\"A1\")";
  WriteTreeFile(path, *root, w.Tree().Options, w.Tree().DefaultFont);
  w.Form->Dialogs.AskYesNo = [](const QString&) -> bool { throw std::runtime_error("boom"); };
  w.Form->OpenFile(path);
  EXPECT_EQ(w.Messages.back().toStdString(), "Error opening file: " + path + "\n\nboom");
  w.Form->Dialogs.AskYesNo = [](const QString&) -> bool { throw std::bad_alloc(); };
  w.Form->OpenFile(path);
  EXPECT_EQ(w.Messages.back().toStdString(),
            "Error opening file: " + path + "\n\nNot enough memory to open the file");

  // A budgeted multi-decision with more options than are searched: the
  // status bar says so after the recalculation.
  root = w.Root();
  root->NodeType = ntMultiDecision;
  root->DecisionMultiBudget = 100;
  while (root->ChildCount() <= MaxSolvedOptions)
    root->AddChild(root->Child(0)->CopySubtree(root, true, nullptr));
  w.Tree().Recalculate();
  EXPECT_EQ(w.Form->StatusPanel(3)->text().toStdString(),
            UIStringsComponent::Str(UIStringsComponent::STooManyOptions));
}

TEST(MainForm, ImportedPayoffsAreCheckedAfterOpeningOnYesOnly) {
  QTemporaryDir dir;
  TestWindow w;
  w.AddSubnodes(w.Root());
  w.Root()->Child(0)->PayoffSource = "Import: Excel(\"prices.xlsx\", \"Prices$A1\")";
  w.SaveName = dir.filePath("tree.bwk");
  ASSERT_TRUE(w.Form->SaveFile(false));
  // The overview gets the window's tree and takes its step in the window's
  // history.
  int overviews = 0;
  w.Form->Dialogs.ExternalDataOverview = [&](TDecTree& tree, const auto& saveUndo) {
    ++overviews;
    EXPECT_EQ(&tree, &w.Tree());
    saveUndo("Refresh external data");
  };
  bool busyOverQuestion = true;
  w.Form->Dialogs.AskYesNo = [&](const QString& t) {
    w.Messages << t;
    busyOverQuestion = QApplication::overrideCursor() != nullptr;
    return w.Confirm;
  };

  w.Form->OpenFile(w.SaveName.toStdString());
  EXPECT_EQ(w.Messages.back(), "This project contains external data. Do you want to check if "
                               "this data has been updated?");
  EXPECT_FALSE(busyOverQuestion);
  EXPECT_EQ(overviews, 0);
  w.Confirm = true;
  w.Form->OpenFile(w.SaveName.toStdString());
  EXPECT_EQ(overviews, 1);
  EXPECT_EQ(w.UndoText(), "Undo Refresh external data");
  ASSERT_TRUE(w.Ui().FileExternalDataMenuItem->isEnabled());
  w.Ui().FileExternalDataMenuItem->trigger();
  EXPECT_EQ(overviews, 2);
}

TEST(MainForm, ACommandLineNameIsMadeAbsolute) {
  QTemporaryDir dir;
  std::string path = dir.filePath("start.bwk").toStdString();
  {
    TestWindow writer;
    WriteTreeFile(path, *writer.Root(), writer.Tree().Options, writer.Tree().DefaultFont);
  }
  QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  TestWindow w("start.bwk");
  QDir::setCurrent(previous);
  EXPECT_EQ(w.Form->FileName(), path);
  EXPECT_EQ(w.Form->RecentFileList().Files().front(), path);
}

TEST(MainForm, LevelsMenuTakesAStepAndDrawsTheDigit) {
  TestWindow w;
  w.AddSubnodes(w.Root());
  w.AddSubnodes(w.Root()->Child(0));
  QMenu* levels = w.Form->findChild<QMenu*>("LevelsPopupMenu");
  ASSERT_NE(levels, nullptr);
  emit levels->aboutToShow();
  ASSERT_EQ(levels->actions().size(), 3);
  EXPECT_EQ(levels->actions()[2]->text(), "Level 3");
  levels->actions()[1]->trigger();
  EXPECT_EQ(w.UndoText(), "Undo Expand/Collapse");
  EXPECT_EQ(w.Form->LevelsToolButton()->property("level").toInt(), 2);
  EXPECT_FALSE(w.Root()->Child(0)->ChildrenVisible);
}

TEST(MainForm, WheelScrollsFortyPixelsOnTheBarThatShows) {
  TestWindow w;
  for (int i = 0; i < 40; ++i)
    w.AddSubnodes(w.Root());
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
  TestWindow w;
  std::string first = dir.filePath("one.bwk").toStdString();
  w.Root()->Caption = "dropped";
  WriteTreeFile(first, *w.Root(), w.Tree().Options, w.Tree().DefaultFont);
  w.Form->FileNew();
  w.AddSubnodes(w.Root());
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(first)),
                QUrl::fromLocalFile(dir.filePath("two.bwk"))});
  w.Form->OpenDroppedFiles(data); // and do not save
  EXPECT_EQ(w.Messages, QStringList{"Do you want to save the changes?"});
  EXPECT_EQ(w.Form->FileName(), first);
  EXPECT_EQ(w.Root()->Caption, "dropped");
}

TEST(MainForm, AnOpenedTreeShowsItsRoot) {
  TestWindow w;
  w.Form->resize(527, 452);
  w.Form->OpenFile(BW_EXAMPLE_TREE);
  QApplication::processEvents();
  ASSERT_TRUE(w.Messages.isEmpty()) << w.Messages.join("|").toStdString();
  const TNodeRect& box = w.Root()->Rect(htBox);
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
  TestWindow w;
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

TEST(MainForm, TheNodeMenuTakesItsStateWhenItOpens) {
  TestWindow w;
  w.AddSubnodes(w.Root());
  w.Root()->NodeType = ntMultiDecision;
  TDecTreeNode* first = w.Root()->Child(0);
  first->NodeType = ntChance;
  first->ChanceType = ctAnySum;
  w.AddSubnodes(first);

  // Captions and enabled items as the menu's state gives them.
  w.OpenNodeMenu(first, htIndicator);
  EXPECT_EQ(w.Action("PopupEditMenuItem")->text(), "Edit");
  EXPECT_EQ(w.Action("PopupAddChildMenuItem")->text(), "Add branch");
  EXPECT_EQ(w.Action("PopupTakeOptionMenuItem")->text(), "Toggle this option");
  EXPECT_TRUE(w.Action("PopupTypeMenuItem")->isEnabled());
  EXPECT_FALSE(w.Action("PopupMoveUpMenuItem")->isEnabled());
  // The four are radio items of one group (no check box among them), and
  // their marks follow the node.
  const QActionGroup* group = w.Action("PopupTypeDecisionChooseOneMenuItem")->actionGroup();
  ASSERT_TRUE(group && group->isExclusive());
  for (const char* name : {"PopupTypeDecisionChooseMultipleMenuItem",
                           "PopupTypeChancePercentMenuItem", "PopupTypeChanceNumericMenuItem"})
    EXPECT_EQ(w.Action(name)->actionGroup(), group) << name;
  auto marked = [&w] {
    QString names;
    for (const char* name :
         {"PopupTypeDecisionChooseOneMenuItem", "PopupTypeDecisionChooseMultipleMenuItem",
          "PopupTypeChancePercentMenuItem", "PopupTypeChanceNumericMenuItem"})
      if (w.Action(name)->isChecked()) names += name;
    return names;
  };
  EXPECT_EQ(marked(), "PopupTypeChanceNumericMenuItem");
  first->ChanceType = ctPercent;
  w.OpenNodeMenu(first, htIndicator);
  EXPECT_EQ(marked(), "PopupTypeChancePercentMenuItem");
}

TEST(MainForm, NodeCommandsRunFromTheirItems) {
  // Each item is enabled when the menu opens on its row's selection and
  // reaches its command, which leaves its mark: its undo steps or its
  // message. The rows act one after the other on the root (-1) and its two
  // children.
  TestWindow w;
  w.AddSubnodes(w.Root());
  w.Form->DecTreeWidget().AskHandler = [](const QString&) { return true; };
  const struct {
    const char* Item;
    int Child;
    TNodeElementType Element;
    const char* Mark;
  } rows[] = {
      {"PopupEditMenuItem", 1, htIndicatorCaption, "step Edit Caption"},
      // Add takes its step, then one for the caption of the new node.
      {"PopupAddChildMenuItem", 1, htBox, "2 steps, the last Edit Title"},
      {"PopupMoveDownMenuItem", 0, htBox, "step Move down"},
      {"PopupMoveUpMenuItem", 1, htBox, "step Move up"},
      {"PopupTakeOptionMenuItem", 1, htBox, "step Take/Toggle option"},
      {"PopupTakeThisPathMenuItem", 0, htBox, "step Take path"},
      {"PopupTypeChancePercentMenuItem", -1, htIndicator, "step Change Decision to Chance (%)"},
      {"PopupTypeDecisionChooseOneMenuItem", -1, htIndicator,
       "step Change Chance to Decision (Choose one)"},
      {"PopupTypeDecisionChooseMultipleMenuItem", -1, htIndicator,
       "step Change Chance to Decision (Choose multiple)"},
      {"PopupTypeChanceNumericMenuItem", -1, htIndicator,
       "step Change Decision to Chance (numeric)"},
      {"PopupOptimizeSubnodeDecisionsMenuItem", -1, htBox, "step Find optimal path"},
      {"EditOptimizeWholeMenuItem", -1, htBox, "step Find optimal path"},
      {"OptimizeDecisionsToolButton", -1, htBox, "step Find optimal path"},
      {"PopupDefineAsCloneMasterMenuItem", 1, htIndicator, "message Clone master set."},
      {"PopupDefineAsCloneOfMenuItem", 0, htIndicator, "step Clone"},
      {"PopupUnlinkCloneMenuItem", 0, htIndicator, "step Unlink Clone"}, // keeping no subnodes
      {"PopupRemoveMenuItem", 0, htBox, "step Remove"},
  };
  for (const auto& row : rows) {
    w.OpenNodeMenu(row.Child < 0 ? w.Root() : w.Root()->Child(row.Child), row.Element);
    QAction* item = w.Action(row.Item);
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->isEnabled()) << row.Item;
    const size_t steps = w.Steps();
    const qsizetype messages = w.Messages.size();
    item->trigger();
    const size_t taken = w.Steps() - steps;
    std::string mark = "nothing";
    if (taken > 0)
      mark = (taken == 1 ? "step " : std::to_string(taken) + " steps, the last ") +
             w.Form->UndoHistory().UndoMessage();
    else if (w.Messages.size() > messages)
      mark = "message " + w.Messages.back().toStdString();
    EXPECT_EQ(mark, row.Mark) << row.Item;
    w.Tree().HideInplaceEditor();
  }
}

TEST(MainForm, StartsAndRenewsWithAFreshUntitledTreeThatForgetsTheCloneMaster) {
  auto isNew = [](TestWindow& w) {
    EXPECT_EQ(w.Form->windowTitle(), "Brantwick by Calverick - New Decision Tree");
    EXPECT_EQ(w.Form->FileName(), "");
    EXPECT_FALSE(w.Ui().FileSaveMenuItem->isEnabled());
    EXPECT_FALSE(w.Ui().SaveToolBarButton->isEnabled());
    EXPECT_TRUE(w.Ui().FileSaveAsMenuItem->isEnabled());
    EXPECT_FALSE(w.Ui().EditUndoMenuItem->isEnabled());
    EXPECT_FALSE(w.Ui().EditRedoMenuItem->isEnabled());
    EXPECT_EQ(w.UndoText(), "Undo");
    EXPECT_EQ(w.Ui().EditRedoMenuItem->text(), "Redo");
    EXPECT_EQ(w.Root()->ChildCount(), 0);
    EXPECT_EQ(w.Root()->Comment, "Right click for options");
  };
  TestWindow w;
  isNew(w);
  EXPECT_EQ(w.Form->LevelsToolButton()->property("level").toInt(), 1);
  // The tool bar's buttons carry the names of their actions.
  EXPECT_NE(w.Form->findChild<QWidget*>("NewToolButton"), nullptr);
  w.Form->OpenFile(BW_EXAMPLE_TREE);
  ASSERT_GT(w.Root()->ChildCount(), 0);
  w.OpenNodeMenu(w.Root()->Child(0), htIndicator);
  w.Action("PopupDefineAsCloneMasterMenuItem")->trigger();
  w.Form->SaveUndo("Change");
  w.Form->SaveUndo("Change again");
  w.Form->EditUndo();

  // The currency comes from the C library's monetary locale.
  const std::string monetary = std::setlocale(LC_MONETARY, nullptr);
  std::setlocale(LC_MONETARY, "C");
  w.Ui().FileNewMenuItem->trigger(); // and do not save
  std::setlocale(LC_MONETARY, monetary.c_str());
  isNew(w);
  const TTreeOptions& o = w.Tree().Options;
  EXPECT_EQ((TLocaleCurrency{o.CurrencySymbol, o.CurrencyDecimals, o.CurrencyPosFormat,
                             o.CurrencyNegFormat}),
            (TLocaleCurrency{"", 2, 0, 1}));

  w.Messages.clear();
  w.OpenNodeMenu(w.Root(), htIndicator);
  w.Action("PopupDefineAsCloneOfMenuItem")->trigger();
  EXPECT_EQ(w.Messages, QStringList{"Clone master not set."});
}

TEST(MainForm, ARightClickOpensTheNodeMenuAndItsItemsAct) {
  TestWindow w;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.Form.get()));
  w.AddSubnodes(w.Root());
  TDecTreeNode* second = w.Root()->Child(1);
  const TNodeRect& box = second->Rect(htBox);
  const QPoint at = w.Form->windowHandle()->mapFromGlobal(w.Form->DecTreeWidget().mapToGlobal(
      QPoint(box.Left + box.Width / 2, box.Top + box.Height / 2)));
  QTest::mousePress(w.Form->windowHandle(), Qt::RightButton, {}, at);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_EQ(menu, w.Form->NodePopupMenu());
  EXPECT_EQ(w.Action("PopupEditMenuItem")->text(), "Edit Title");
  w.Action("PopupMoveUpMenuItem")->trigger();
  menu->close();
  QTest::mouseRelease(w.Form->windowHandle(), Qt::RightButton, {}, at);
  EXPECT_EQ(w.Root()->Child(0), second);
}

TEST(MainForm, PictureCommandsAreOnAndTakeTheWholeTreeWithItsMargin) {
  QTemporaryDir dir;
  TestWindow w;
  w.AddSubnodes(w.Root());
  const TNodeRect& bounds = w.Root()->Bounds;
  const QSize size(bounds.Width + 20, bounds.Height + 20);

  w.Ui().CopyPictureToolButton->trigger();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data && data->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), size);
  QGuiApplication::clipboard()->clear();
  w.Ui().EditCopyPictureMenuItem->trigger();
  data = QGuiApplication::clipboard()->mimeData();
  EXPECT_TRUE(data && data->hasImage());

  QString name = dir.filePath("tree.png");
  w.Form->Dialogs.PictureFileName = [&](const QString&) { return name; };
  w.Ui().ExportPictureToolButton->trigger();
  EXPECT_EQ(w.Messages, QStringList{"Unknown image file extension: .PNG"});
  name = dir.filePath("tree.gif");
  w.Ui().FileExportPictureMenuItem->trigger();
  EXPECT_EQ(QImage(name).size(), size);
  EXPECT_EQ(w.Messages.size(), 1);

  // A tree wider than any bitmap can be: a plain message, as for a file.
  w.Root()->Bounds.Width = 100000000;
  w.Ui().EditCopyPictureMenuItem->trigger();
  EXPECT_EQ(w.Messages.mid(1), QStringList{QString("Not enough memory for a picture of "
                                                   "100000020 x %1 pixels.")
                                               .arg(size.height())});
}

TEST(MainForm, HelpThatCannotBeOpenedSaysWhichFile) {
  TestWindow w;
  const QString file = QCoreApplication::applicationDirPath() + "/Brantwick.chm";
  ASSERT_FALSE(QFileInfo::exists(file));
  const QString message = "The help file '" + file + "' could not be opened.";
  w.Ui().HelpHelpMenuItem->trigger();
  EXPECT_EQ(w.Messages, QStringList{message});
  w.Form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.Form.get()));
  QTest::keyClick(&w.Form->DecTreeWidget(), Qt::Key_F1);
  EXPECT_EQ(w.Messages, QStringList({message, message}));
}
