// The main window's part of the automatic upgrade: the upgrader with the
// program's own version, the start-up policy, Tools > Check for Updates and
// Tools > Options.
#include "app/MainForm.h"

#include "app/UpdateServer.h"
#include "app/core/UIStrings.h"
#include "app/core/UpdatePolicy.h"
#include "app/dialogs/OptionsForm.h"
#include "foundation/Conversions.h"
#include "foundation/ErrorReport.h"
#include "ui_MainForm.h"
#include "upgrade/AutoUpgrader.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace bw {

void TMainForm::CreateAutoUpgrader() {
  FAutoUpgrader = std::make_unique<TauAutoUpgrader>();
  TauAutoUpgrader& u = *FAutoUpgrader;
  u.InfoFileURL = UpdateInfoURL();
  u.InfoFile.UpgradeMsg =
      "Improved Keyboard Navigation\r\nMicrosoft Windows Vista Support\r\nMany Bugfixes";
  // The program starts again without arguments: a parameter would be
  // taken for a tree file to open.
  u.SetRestartParams(" ");
  u.VersionControl = byNumber;
  u.VersionDate = "02/13/2008";
  u.VersionNumber = GetVersionStr(3);
  u.Wizard.HideFileLocation = true;
  u.Wizard.SetLanguage(wlEnglish);
  u.OnNoUpdateAvailable = [this](TauAutoUpgrader*) {
    RecordNoUpdateAvailable(FStore, DateTime::Now());
  };

  // Without a server the command is off, and says why.
  const bool server = !UpdateInfoURL().empty();
  FUi->ToolsCheckUpdatesMenuItem->setEnabled(server);
  if (!server) {
    const QString why = QString::fromStdString(UIStrings::Str(UIStrings::SNoUpdateServer));
    FUi->ToolsCheckUpdatesMenuItem->setStatusTip(why);
    FUi->ToolsCheckUpdatesMenuItem->setToolTip(why);
    // A menu shows no status text for a greyed item by itself.
    FUi->ToolsMenuItem->installEventFilter(this);
  }
  connect(FUi->ToolsCheckUpdatesMenuItem, &QAction::triggered, this, Command([this] {
            // A check the user asked for reports everything, for the rest of
            // the run.
            FAutoUpgrader->ShowMessages = AllUpgraderMessages;
            FAutoUpgrader->CheckUpdate(false);
          }));
  connect(FUi->ToolsOptionsMenuItem, &QAction::triggered, this,
          Command([this] { TOptionsForm::Execute(FStore, !UpdateInfoURL().empty(), this); }));
}

void TMainForm::AutoCheckForUpdates() {
  if (FAutoUpgrader->InfoFileURL.empty()) return;
  TUpdateCheckHost host;
  host.AskAutoUpdate = [this] {
    const QString text = QString::fromStdString(UIStrings::Str(UIStrings::SAskAutoUpdate));
    if (Dialogs.AskYesNo) return Dialogs.AskYesNo(text);
    return QMessageBox::question(this, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  host.CheckUpdate = [this] { FAutoUpgrader->CheckUpdate(false); };
  bw::AutoCheckForUpdates(FStore, host);
}

namespace {

// Calls back once a window is exposed: by then the window manager has put
// it where it shows, and a box centred over it comes over it.
class ExposeWatcher : public QObject {
public:
  ExposeWatcher(QWindow& window, std::function<void()> exposed)
      : QObject(&window), FExposed(std::move(exposed)) {
    window.installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed() &&
        FExposed) {
      watched->removeEventFilter(this);
      // After this expose is handled: the window paints first.
      QTimer::singleShot(0, parent(), std::exchange(FExposed, {}));
      deleteLater();
    }
    return false;
  }

private:
  std::function<void()> FExposed;
};

} // namespace

void TMainForm::ScheduleStartupUpdateCheck() {
  if (FStartupCheckScheduled) return;
  FStartupCheckScheduled = true;
  // After any question of the file opened at start-up; the check itself
  // runs on the upgrader's worker.
  FStartupCalls.push_back([this] { FAutoUpgrader->ReportInstall(); });
  FStartupCalls.push_back([this] { AutoCheckForUpdates(); });
  QWindow* window = windowHandle();
  if (window && !window->isExposed())
    new ExposeWatcher(*window, [this] { RunStartupCalls(); });
  else
    QTimer::singleShot(0, this, [this] { RunStartupCalls(); });
}

void TMainForm::WhenShown(std::function<void()> call) {
  if (isVisible())
    call();
  else
    FStartupCalls.push_back(std::move(call));
}

void TMainForm::RunStartupCalls() {
  // One after the other: each question waits for the answer to the one
  // before.
  while (!FStartupCalls.empty()) {
    std::function<void()> call = std::move(FStartupCalls.front());
    FStartupCalls.erase(FStartupCalls.begin());
    Guarded(call);
  }
}

} // namespace bw
