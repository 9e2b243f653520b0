#include "app/MainForm.h"
#include "app/UpdateServer.h"
#include "app/core/Settings.h"
#include "platform/registry/MemoryRegistry.h"
#include "ui_MainForm.h"
#include "upgrade/AutoUpgrader.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace bw;

namespace {

// A window whose questions and upgrade boxes the test answers.
struct UpgradeWindow {
  MemoryRegistryStore Registry;
  std::unique_ptr<TMainForm> Form;
  QStringList Questions;
  std::vector<std::string> Boxes;
  TauMessageBoxHandler Previous;

  UpgradeWindow() {
    Previous = SetUpgraderMessageBoxHandler(
        [this](const std::string& text, const std::string&, TauMessageButtons, TauMessageIcon) {
          Boxes.push_back(text);
          return maOK;
        });
  }
  ~UpgradeWindow() {
    Form.reset();
    SetUpgraderMessageBoxHandler(Previous);
    SetUpdateInfoURL({});
  }
  void Open(bool answer) {
    Form = std::make_unique<TMainForm>(Registry);
    Form->Dialogs.AskYesNo = [this, answer](const QString& t) {
      Questions << t;
      return answer;
    };
    Form->show();
  }
};

// An information file on disk that announces no newer version.
std::string NoUpdateInfoFile(const QTemporaryDir& dir) {
  const std::string path = dir.filePath("info.txt").toStdString();
  std::ofstream(path) << "#version=0.1\r\n#url=http://127.0.0.1:9/a\r\n";
  return "file://" + path;
}

} // namespace

TEST(MainFormUpgrade, WithoutAServerNothingIsCheckedAndTheCommandIsOff) {
  UpgradeWindow w;
  w.Open(true);
  QTest::qWait(0);
  EXPECT_FALSE(w.Form->Form().ToolsCheckUpdatesMenuItem->isEnabled());
  EXPECT_TRUE(w.Form->Form().ToolsOptionsMenuItem->isEnabled());
  EXPECT_TRUE(w.Questions.isEmpty());
  // The upgrader knows the program's own version and restarts it without
  // arguments.
  EXPECT_EQ(w.Form->AutoUpgrader().VersionNumber, "2.0.0");
  EXPECT_EQ(w.Form->AutoUpgrader().RestartParams(), " ");
  EXPECT_EQ(w.Form->AutoUpgrader().VersionControl, byNumber);
}

TEST(MainFormUpgrade, TheStartUpCheckAsksChecksAndRecordsNoUpdate) {
  QTemporaryDir dir;
  UpgradeWindow w;
  SetUpdateInfoURL(NoUpdateInfoFile(dir));
  w.Open(true);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return TSettings(w.Registry).LastUpdateCheck.Ticks != 0; }, 5000));
  ASSERT_EQ(w.Questions.size(), 1);
  EXPECT_EQ(w.Questions[0], "May Brantwick automatically check for updates? (recommended; you can "
                            "turn this feature off anytime using the Options dialog)");
  EXPECT_TRUE(w.Form->Form().ToolsCheckUpdatesMenuItem->isEnabled());
  // The silent start-up check tells nothing.
  EXPECT_TRUE(w.Boxes.empty());

  // Check for Updates reports everything from now on (once the first check
  // has let go of its worker: a check during another starts nothing).
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Form->AutoUpgrader().UpgradeBusy(); }, 5000));
  w.Form->Form().ToolsCheckUpdatesMenuItem->trigger();
  EXPECT_EQ(w.Form->AutoUpgrader().ShowMessages, AllUpgraderMessages);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Boxes.empty(); }, 5000));
  EXPECT_EQ(w.Boxes[0], "Newer version not found. You actually are\nusing most recent version "
                        "of this program.");
  EXPECT_EQ(w.Questions.size(), 1);
}
