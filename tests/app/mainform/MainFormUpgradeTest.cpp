#include "TestWindow.h"
#include "app/UpdateServer.h"
#include "app/core/Settings.h"
#include "upgrade/AutoUpgrader.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace bw;
using bw::test::TestWindow;

namespace {

// Records the upgrader's message boxes while it lives; the update server is
// the one given, or none.
struct UpgradeBoxes {
  std::vector<std::string> Boxes;
  TauMessageBoxHandler Previous = SetUpgraderMessageBoxHandler(
      [this](const std::string& text, const std::string&, TauMessageButtons, TauMessageIcon) {
        Boxes.push_back(text);
        return maOK;
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
  TestWindow w;
  w.Confirm = true;
  QTest::qWait(0);
  EXPECT_FALSE(w.Ui().ToolsCheckUpdatesMenuItem->isEnabled());
  EXPECT_TRUE(w.Ui().ToolsOptionsMenuItem->isEnabled());
  EXPECT_TRUE(w.Messages.isEmpty());
  // The greyed command says why in the status bar while the mouse is on it.
  QMenu* tools = w.Ui().ToolsMenuItem;
  tools->popup(w.Form->mapToGlobal(QPoint(0, 0)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(tools));
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
