// The main window's part of the automatic upgrade: the upgrader with the
// program's own version, the start-up policy, Tools > Check for Updates and
// Tools > Options, and the start-up's install report and update check.
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

void TMainForm::QueueStartupUpgradeCalls() {
  FStartupUpgradeQueued = true;
  // The check itself runs on the upgrader's worker.
  FStartupQueue.Queue([this] { FAutoUpgrader->ReportInstall(); });
  FStartupQueue.Queue([this] { AutoCheckForUpdates(); });
}

} // namespace bw
