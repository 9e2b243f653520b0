#include "TestWindow.h"
#include "app/UpdateServer.h"
#include "app/core/Settings.h"
#include "foundation/ErrorReport.h"
#include "foundation/Exceptions.h"
#include "treefile/TreeFile.h"
#include "ui_AutoUpgraderUpgradeMessageForm.h"
#include "ui_AutoUpgraderWizardForm.h"
#include "upgrade/AutoUpgrader.h"
#include "upgrade/LoopbackServer.h"

#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <filesystem>
#include <fstream>

using namespace bw;
using bw::test::TestWindow;

namespace {

// Records the upgrader's message boxes while it lives; the update server is
// the one given, or none.
struct UpgradeBoxes {
  std::vector<std::string> Boxes;
  TauMessageAnswer Answer = maOK;
  TauMessageBoxHandler Previous = SetUpgraderMessageBoxHandler(
      [this](const std::string& text, const std::string&, TauMessageButtons, TauMessageIcon) {
        Boxes.push_back(text);
        return Answer;
      });
  explicit UpgradeBoxes(const std::string& server = {}) { SetUpdateInfoURL(server); }
  ~UpgradeBoxes() {
    SetUpgraderMessageBoxHandler(Previous);
    SetUpdateInfoURL({});
  }
};

} // namespace

TEST(MainFormUpgrade, WithoutAServerNothingIsCheckedAndTheCommandIsOff) {
  UpgradeBoxes boxes;
  // Nothing is made in the temporary folder either.
  QTemporaryDir temp;
  const QByteArray previousTemp = qgetenv("TMPDIR");
  qputenv("TMPDIR", temp.path().toLocal8Bit());
  auto window = std::make_unique<TestWindow>();
  TestWindow& w = *window;
  w.Confirm = true;
  QTest::qWait(20);
  qputenv("TMPDIR", previousTemp);
  EXPECT_TRUE(QDir(temp.path()).isEmpty());
  EXPECT_FALSE(w.Ui().ToolsCheckUpdatesMenuItem->isEnabled());
  EXPECT_TRUE(w.Ui().ToolsOptionsMenuItem->isEnabled());
  EXPECT_TRUE(w.Messages.isEmpty());
  // The greyed command says why in the status bar while the mouse is on it,
  // also when it comes from the enabled item below.
  QMenu* tools = w.Ui().ToolsMenuItem;
  tools->popup(w.Form->mapToGlobal(QPoint(0, 0)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(tools));
  QTest::mouseMove(tools, tools->actionGeometry(w.Ui().ToolsOptionsMenuItem).center());
  QTest::mouseMove(tools, tools->actionGeometry(w.Ui().ToolsCheckUpdatesMenuItem).center());
  EXPECT_EQ(w.Form->StatusPanel(3)->text(),
            "This edition has no update server, so it cannot check for updates.");
  tools->close();
  EXPECT_EQ(w.Form->StatusPanel(3)->text(), "");
}

TEST(MainFormUpgrade, TheStartUpCheckAsksChecksAndRecordsNoUpdate) {
  // An information file that announces no newer version.
  QTemporaryDir dir;
  const std::string info = dir.filePath("info.txt").toStdString();
  std::ofstream(info) << "#version=0.1\r\n#url=http://127.0.0.1:9/a\r\n";
  UpgradeBoxes boxes("file://" + info);
  TestWindow w;
  w.Confirm = true;
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return TSettings(w.Registry).LastUpdateCheck.Ticks != 0; }, 5000));
  EXPECT_EQ(w.Messages, QStringList{"May Brantwick automatically check for updates? (recommended; "
                                    "you can turn this feature off anytime using the Options "
                                    "dialog)"});
  EXPECT_TRUE(w.Ui().ToolsCheckUpdatesMenuItem->isEnabled());
  // The silent start-up check tells nothing.
  EXPECT_TRUE(boxes.Boxes.empty());

  // Check for Updates reports everything from now on (once the first check
  // has let go of its worker: a check during another starts nothing).
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Form->AutoUpgrader().UpgradeBusy(); }, 5000));
  w.Ui().ToolsCheckUpdatesMenuItem->trigger();
  EXPECT_EQ(w.Form->AutoUpgrader().ShowMessages, AllUpgraderMessages);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Boxes.empty(); }, 5000));
  EXPECT_EQ(boxes.Boxes[0], "Newer version not found. You actually are\nusing most recent version "
                            "of this program.");
  EXPECT_EQ(w.Messages.size(), 1);
}

// The questions and messages of the start-up (of the file opened: that it
// is missing or unreadable, or the external-data check and its failure;
// then the update question) come over the main window once it is on the
// screen, never before it. A failing check is the open's failure, not an
// error report.
TEST(MainFormUpgrade, StartUpQuestionsComeOverTheShownWindow) {
  QTemporaryDir dir;
  const std::string tree = dir.filePath("tree.bwk").toStdString(),
                    missing = dir.filePath("missing.bwk").toStdString(),
                    broken = dir.filePath("broken.bwk").toStdString();
  {
    TestWindow writer;
    writer.AddSubnodes(writer.Root());
    writer.Root()->Child(0)->PayoffSource = "Import: Excel(\"prices.xlsx\", \"Prices$A1\")";
    WriteTreeFile(tree, *writer.Root(), writer.Tree().Options, writer.Tree().DefaultFont);
  }
  std::ofstream(broken) << "<no tree";
  const std::string info = dir.filePath("info.txt").toStdString();
  std::ofstream(info) << "#version=0.1\r\n";
  UpgradeBoxes boxes("file://" + info);
  // A question asked before the window shows has no answer set yet: a real
  // box, closed here.
  QStringList early;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      early << box->text();
      box->reject();
    }
  });
  user.start(10);
  std::vector<std::string> reports;
  const TExceptionReporter previous =
      SetExceptionReporter([&](std::exception_ptr e) { reports.push_back(ExceptionMessage(e)); });
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {tree,
       {"This project contains external data. Do you want to check if this data has been updated?",
        "Error opening file: " + tree + "\n\nthe workbook is locked"}},
      {missing, {"File '" + missing + "' does not exist."}},
      {broken, {"Error opening file: " + broken + "\n\n"}}};
  for (const auto& [file, said] : cases) {
    TestWindow w(QString::fromStdString(file));
    std::vector<bool> overWindow;
    auto answer = [&](const QString& text) {
      w.Messages << text;
      QWindow* window = w.Form->windowHandle();
      overWindow.push_back(w.Form->isVisible() && window && window->isExposed());
      return true;
    };
    w.Form->Dialogs.AskYesNo = answer;
    w.Form->Dialogs.Information = w.Form->Dialogs.Error = answer;
    w.Form->Dialogs.ExternalDataOverview = [](TDecTree&, const auto&) {
      throw Exception("the workbook is locked");
    };
    const qsizetype count = static_cast<qsizetype>(said.size()) + 1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Messages.size() == count; }, 5000)) << file;
    for (size_t i = 0; i < said.size(); ++i)
      EXPECT_EQ(w.Messages[static_cast<qsizetype>(i)].toStdString().substr(0, said[i].size()),
                said[i]);
    EXPECT_EQ(w.Messages.back().left(43), "May Brantwick automatically check for updat");
    EXPECT_EQ(overWindow, std::vector<bool>(said.size() + 1, true));
  }
  SetExceptionReporter(previous);
  EXPECT_TRUE(early.isEmpty()) << early.join("|").toStdString();
  EXPECT_TRUE(reports.empty());
}

// An update whose every file is refused for where it would go installs
// nothing: the wizard says so, and the program neither closes for a restart
// (which would only offer the same update again) nor counts the check as
// one that found nothing new.
TEST(MainFormUpgrade, AnUpdateWhoseFilesAreAllRefusedEndsWithoutARestart) {
  namespace fs = std::filesystem;
  QTemporaryDir dir;
  const fs::path root = dir.path().toStdString();
  fs::create_directories(root / "prog");
  fs::create_directory_symlink("/etc", root / "prog" / "out");
  std::ofstream(root / "payload") << "payload";
  const test::LoopbackServer& server = test::LoopbackServer::Plain();
  const std::string payload = server.Url("/local" + (root / "payload").string());
  std::ofstream(root / "info.txt")
      << "#version=99.0\r\n#url=" << payload
      << "=../../../../../../../../../../../../../../../../etc/bw-refused-1\r\n#url2=" << payload
      << "=/etc/bw-refused-2\r\n#url3=" << payload << "=out/bw-refused-3\r\n";
  UpgradeBoxes boxes(server.Url("/local" + (root / "info.txt").string()));
  boxes.Answer = maYes; // skip each refused file
  TestWindow w;
  w.Confirm = true;
  TauAutoUpgrader& upgrader = w.Form->AutoUpgrader();
  upgrader.Proxy.AccessType = atDirect;
  upgrader.ProgramFolder = (root / "prog").string() + "/";
  // Should a restart be tried after all, it finds no folder to hand over in.
  upgrader.HandOverFolder = (root / "missing").string();
  bool aborted = false;
  upgrader.OnAborted = [&](TauAutoUpgrader*) { aborted = true; };
  // The user answers Yes to the update and OK at the wizard's last step,
  // which the upgrader waits for inside its own loop.
  std::string title, note;
  bool completed = true;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (auto* ask =
            qobject_cast<TauAutoUpgraderUpgradeMessageForm*>(QApplication::activeModalWidget()))
      ask->Form().YesBtn->click();
    TauAutoUpgraderWizardForm* wizard = UpgraderWizard();
    if (!wizard || !wizard->Form().FinishBtn->isEnabled()) return;
    title = wizard->Form().WizardTitle->text().toStdString();
    note = wizard->Form().AfterNote->text().toStdString();
    completed = wizard->Completed();
    wizard->Form().FinishBtn->click();
  });
  user.start(10);
  ASSERT_TRUE(QTest::qWaitFor([&] { return aborted; }, 10000));
  EXPECT_EQ(title, "Error");
  EXPECT_EQ(note, NothingInstalledText);
  EXPECT_FALSE(completed);
  EXPECT_EQ(boxes.Boxes.size(), 3u);
  EXPECT_EQ(UpgraderWizard(), nullptr);
  EXPECT_FALSE(upgrader.HelperLaunched());
  EXPECT_TRUE(w.Form->isVisible());
  EXPECT_EQ(TSettings(w.Registry).LastUpdateCheck.Ticks, 0);
}
