// The upgrade engine: reads the update-information file, decides whether a
// newer version exists, asks, downloads every listed file beside its target
// (the target's name with ".uTMP" appended) and hands the files to the
// helper program, which waits for the program to end, puts them in place
// and starts the program again. Every event runs on the user-interface
// thread; OnStatusChange, OnRedirect and OnRequestOpened of the HTTP client
// run on its worker and must not touch widgets.
#pragma once

#include "upgrade/HelperProcess.h"
#include "upgrade/HttpClient.h"
#include "upgrade/InfoFile.h"
#include "upgrade/MessageLoopWait.h"
#include "upgrade/PrivateFolder.h"
#include "upgrade/UpgraderWindows.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bw {

enum TauAutoUpgraderVersionControl { byDate, byNumber };
enum TacMiscFilesUpgradeBehavior { mfuAlwaysDownload, mfuOnlyIfSizeDifferent };
enum TauAutoUpgraderShowMessage {
  mAskUpgrade,
  mConnLost,
  mHostUnreachable,
  mLostFile,
  mNoInfoFile,
  mNoUpdateAvailable,
  mPasswordRequest
};
using TauAutoUpgraderShowMessages = TauSet<TauAutoUpgraderShowMessage>;

inline constexpr TauAutoUpgraderShowMessages AllUpgraderMessages{
    mAskUpgrade, mConnLost,          mHostUnreachable, mLostFile,
    mNoInfoFile, mNoUpdateAvailable, mPasswordRequest};

// For whoever publishes an information file: its files, method and
// message. The engine reads nothing from it.
struct TauAutoUpgraderInfo {
  std::vector<std::string> Files;
  TacUpgradeMethod UpgradeMethod = umSelfUpgrade;
  std::string UpgradeMsg;
};

// Information files larger than this are not read.
inline constexpr int64_t MaxInfoFileSize = 1 << 20;

class TauAutoUpgrader : public QObject, public TauCustomHTTP, public TauUpgraderWindowsHost {
  Q_OBJECT
public:
  explicit TauAutoUpgrader(QObject* parent = nullptr);
  ~TauAutoUpgrader() override;

  // Automatic check by timer, AutoCheckDelay milliseconds after arming.
  bool AutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool on);
  int AutoCheckDelay = 10000;
  // Given to every transfer; the information file is fetched with
  // coPragmaNoCache added.
  TauCacheOptions CacheOptions{coReloadIfNoExpireInformation, coReloadUpdatedObjects,
                               coCreateTempFilesIfCantCache};
  TauAutoUpgraderInfo InfoFile;
  std::string InfoFileURL = "http://";
  // Parameters the helper restarts the program with; empty reads as " ".
  const std::string& RestartParams() const { return FRestartParams; }
  void SetRestartParams(const std::string& params);
  TacMiscFilesUpgradeBehavior MiscFilesUpgrade = mfuAlwaysDownload;
  TauAutoUpgraderVersionControl VersionControl = byDate;
  // The running version's date, MM/DD/YYYY; today at construction.
  std::string VersionDate;
  bool VersionDateAutoSet = true;
  std::string VersionNumber;
  TauAutoUpgraderShowMessages ShowMessages{mAskUpgrade, mConnLost, mLostFile, mPasswordRequest};
  TauAutoUpgraderWizard Wizard;

  // Where the program lives and which process the helper waits for; the
  // running program unless set (tests hand over a stand-in).
  std::string ProgramFile;
  std::string ProgramFolder;
  pid_t WaitPid = 0;
  // The folder of the helper and its queue; the user's private folder in
  // the temporary folder unless set.
  std::string HandOverFolder;
  // Opens a descriptor of a process (OpenProcessDescriptor), or gives -1
  // where the system has none or refuses it; tests stand in for such a
  // system.
  std::function<int(pid_t)> OpenPidFd = OpenProcessDescriptor;

  std::function<void(TauAutoUpgrader* Sender, const std::string& UpgradeMsg,
                     TacUpgradeMethod UpgradeMethod, const TauStringList& Files, bool& CanUpgrade)>
      OnBeginUpgrade;
  std::function<void(TauAutoUpgrader* Sender, bool& RestartImediately)> OnEndUpgrade;
  std::function<void(TauAutoUpgrader* Sender)> OnLaterUpgrade;
  std::function<void(TauAutoUpgrader* Sender, const std::string& FileURL, int64_t FileSize,
                     int64_t BytesRead, int64_t ElapsedTime, int64_t EstimatedTimeLeft,
                     uint8_t PercentsDone, uint8_t TotalPercentsDone, float TransferRate)>
      OnProgress;
  std::function<void(TauAutoUpgrader* Sender, const std::string& FileURL, int64_t FileSize,
                     TDateTime FileTime, bool& CanUpgrade)>
      OnFileStart;
  std::function<void(TauAutoUpgrader* Sender, const std::string& FileName)> OnFileDone;
  std::function<void(TauAutoUpgrader* Sender)> OnDoOwnCloseAppMethod;
  std::function<void(TauAutoUpgrader* Sender)> OnAfterRestart;
  std::function<void(TauAutoUpgrader* Sender)> OnAborted;
  std::function<void(TauAutoUpgrader* Sender)> OnConnLost;
  std::function<void(TauAutoUpgrader* Sender, const std::string& URL, const std::string& Hostname)>
      OnHostUnreachable;
  std::function<void(TauAutoUpgrader* Sender)> OnNoUpdateAvailable;
  std::function<void(TauAutoUpgrader* Sender)> OnNoInfoFile;
  std::function<void(TauAutoUpgrader* Sender, const std::string& FileURL, int ErrorCode,
                     bool& ContinueUpgrade)>
      OnLostFile;
  std::function<void(TauAutoUpgrader* Sender, const std::string& Realm, bool& TryAgain)>
      OnPasswordRequest;

  // Fires OnAfterRestart when the first command-line argument equals the
  // restart parameters; call it once the engine is set up.
  void Loaded();
  // Starts a check; with wait, returns when it has ended. Whether a check
  // found a newer version with files. A check while a transfer or an
  // upgrade run is under way starts nothing and returns at once.
  bool CheckUpdate(bool wait);
  // Stops the run and deletes its downloaded files.
  void AbortUpgrade(bool force) override;
  // Hands the downloaded files to the helper and closes the program; when
  // the helper cannot start or has ended, says why and the program stays.
  // While another copy's run holds the program folder, says so instead.
  void RestartApplication(const std::string& params);
  // In the program the helper started again: when the helper left a report
  // that it refused files, says which and why; clears away what the helper
  // left either way.
  void ReportInstall();
  // A transfer or an upgrade run (question, wizard) is under way.
  bool UpgradeBusy() const;
  bool HelperLaunched() const { return FHelperLaunched; }
  // The started helper's process, or -1.
  pid_t HelperPid() const { return FHelper.Pid(); }
  const TauStringList& Files() const { return FFiles; }

  // The windows' view of the engine.
  void SignalWizardClosed() override;
  std::string& HTTPUsernameRef() override { return HTTPUsername; }
  std::string& HTTPPasswordRef() override { return HTTPPassword; }
  const TauAutoUpgraderWizard& WizardOptions() const override { return Wizard; }

private:
  void ProcessInfoFile(const std::string& bytes);
  bool IsNewerVersion(const std::string& text, bool& valid) const;
  void DownloadNextFile(bool first);
  // A target as the information file gives it, expanded and checked; empty
  // when it is refused.
  std::string ResolveTarget(const std::string& address, const std::string& value) const;
  void StopUpgrade(bool force);
  // Starts the helper (once per run), or says why it could not and ends
  // the run.
  bool StartHelper(const std::string& params);
  bool LaunchUpgradeHelper(const std::string& params, std::string& why);
  // Ends a started helper of a run abandoned after all, and its hand-over.
  void StopHelper();
  // Ends a run whose files cannot be installed: says why, and deletes what
  // was downloaded and handed over; the program stays as it is.
  void EndRunUninstalled(const std::string& why);
  // Another copy upgrades the folder: says so and changes nothing.
  void RefuseBusyFolder();
  void UpdateTimer();
  void TimerFired();
  void SetInfoFileMode(bool on);
  // Every ".uTMP" of the program's folder and of this run's targets.
  void DeleteTempFiles();
  void DeleteCurrentDownload();
  // A listed file that did not come, or that its folder refused (the
  // system's reason).
  void LostFile(int errorCode, const std::string& refused = {});
  void NoInfoFile();
  std::string Folder() const;
  std::string Program() const;

  void HTTPHeaderInfo(int64_t contentLength, TDateTime lastModified, bool& cont);
  void HTTPDone(TauStream* data);
  void HTTPTransferSkipped();
  void HTTPDownloadProgress(int64_t size, int64_t bytesRead, uint32_t elapsed, int64_t estimated,
                            uint8_t percent, float rate);
  void HTTPConnectionLost();
  void HTTPError(int code);
  void HTTPNoResponse();
  void HTTPDoneWithoutData();
  void HTTPPasswordRequest(const std::string& realm, bool& tryAgain);

  bool FAutoCheck = false;
  std::string FRestartParams = "/afterupgrade";
  QTimer FTimer;
  bool FAborted = false;
  bool FUpdateAvailable = false;
  bool FSynchronousCheck = false;
  bool FTimerSuspended = false;
  bool FStartedByTimer = false;
  bool FInfoFileMode = false;
  bool FCompleted = false;
  TacUpgradeMethod FUpgradeMethod = umSelfUpgrade;
  TauStringList FFiles;
  std::string FCurrentTarget;
  TDateTime FFileTime = 0;
  int FFileIndex = 0;
  // The listed files of this run that came down whole.
  int FDownloaded = 0;
  bool FHelperLaunched = false;
  // The program folder's upgrade lock, shared with the started helper, and
  // the helper's process.
  TauHelperProcess FHelper;
  std::string FHelperFolder;
  TauWaitHandle FWaitEvent;
  // The ".uTMP" files this run may have written.
  std::vector<std::string> FRunDownloads;
};

} // namespace bw
