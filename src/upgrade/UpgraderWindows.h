// The upgrade's three windows: the question whether to update now (ask
// dialog), the download wizard and the password dialog. Each is made on
// demand, exists at most once and frees itself when it closes. They reach
// the engine only through TauUpgraderWindowsHost.
#pragma once

#include "upgrade/UpgraderMessages.h"
#include "widgets/ParentedForm.h"

#include <QPixmap>
#include <QPointer>

#include <memory>
#include <string>

namespace Ui {
class TauAutoUpgraderUpgradeMessageForm;
class TauAutoUpgraderWizardForm;
class TauAutoUpgraderPasswordForm;
} // namespace Ui

namespace bw {

// The wizard's options.
class TauAutoUpgraderWizard {
public:
  // The download wizard is shown.
  bool Enabled = true;
  // The download address and its label are hidden.
  bool HideFileLocation = false;
  // The 118 x 218 side picture; a null picture keeps the default.
  QPixmap Pic118x218;
  bool StayOnTop = true;

  TauAutoUpgraderLanguage Language() const { return FLanguage; }
  // Acts only on a change: wlAuto detects the language from the locale,
  // any other value sets the texts of every upgrader to that language.
  void SetLanguage(TauAutoUpgraderLanguage language);

private:
  TauAutoUpgraderLanguage FLanguage = wlAuto;
};

// What the windows need of the engine.
class TauUpgraderWindowsHost {
public:
  virtual ~TauUpgraderWindowsHost() = default;
  virtual void AbortUpgrade(bool force) = 0;
  // Ends the engine's wait for the wizard.
  virtual void SignalWizardClosed() = 0;
  virtual std::string& HTTPUsernameRef() = 0;
  virtual std::string& HTTPPasswordRef() = 0;
  virtual const TauAutoUpgraderWizard& WizardOptions() const = 0;
};

class TauAutoUpgraderUpgradeMessageForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TauAutoUpgraderUpgradeMessageForm(QWidget* parent = nullptr);
  ~TauAutoUpgraderUpgradeMessageForm() override;
  Ui::TauAutoUpgraderUpgradeMessageForm& Form() { return *FUi; }

private:
  std::unique_ptr<Ui::TauAutoUpgraderUpgradeMessageForm> FUi;
};

class TauAutoUpgraderWizardForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TauAutoUpgraderWizardForm(TauUpgraderWindowsHost& host, QWidget* parent = nullptr);
  ~TauAutoUpgraderWizardForm() override;
  Ui::TauAutoUpgraderWizardForm& Form() { return *FUi; }

  // The download is complete: the restart step.
  void SetCompleted();
  bool Completed() const { return FCompleted; }
  // No file was downloaded: the wizard says so and closes without a
  // question.
  void SetNothingInstalled();
  TauUpgraderWindowsHost& WizardHost() const { return FHost; }
  // Closes without the abort question (Finish, or the engine stopping).
  void CloseSilently();
  // Cancel, Esc and the close box ask whether to abort.
  void reject() override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  // True when the wizard may close: silently, or the user chose to abort.
  bool ConfirmClose();
  // The last step: its title and note, and OK in place of Next.
  void ShowLastStep(const QString& title, const QString& note);

  std::unique_ptr<Ui::TauAutoUpgraderWizardForm> FUi;
  TauUpgraderWindowsHost& FHost;
  bool FSilent = false;
  bool FCompleted = false;
  bool FNothingInstalled = false;
  bool FAbortAfterClose = false;
};

class TauAutoUpgraderPasswordForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TauAutoUpgraderPasswordForm(TauUpgraderWindowsHost& host, QWidget* parent = nullptr);
  ~TauAutoUpgraderPasswordForm() override;
  Ui::TauAutoUpgraderPasswordForm& Form() { return *FUi; }

private:
  std::unique_ptr<Ui::TauAutoUpgraderPasswordForm> FUi;
};

// The title the ask dialog shows: the program's title, or "<AppTitle>" for
// a title that is the development tools' default.
std::string AskDialogTitle(const std::string& applicationTitle);
// The ask dialog's text: message 23 with the title and the server's
// message, which gets a line break before and after when it is not empty.
std::string AskDialogText(const std::string& applicationTitle, const std::string& upgradeMsg);

// The ask dialog over the main window, modal and on top; true for Yes (the
// close box is Later).
bool AskForUpgrade(const std::string& upgradeMsg);
// Makes (when none is shown), fills and shows the wizard, not modal.
TauAutoUpgraderWizardForm* ShowWizard(TauUpgraderWindowsHost& host);
// The wizard that is shown, or null.
TauAutoUpgraderWizardForm* UpgraderWizard();
// The password dialog for a file; OK stores the typed user name and
// password in the host and gives true.
bool ShowPasswordDialog(TauUpgraderWindowsHost& host, const std::string& fileName);

} // namespace bw
