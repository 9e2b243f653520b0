#include "upgrade/AutoUpgrader.h"

#include "foundation/DateTime.h"
#include "foundation/ErrorReport.h"
#include "ui_AutoUpgraderWizardForm.h"
#include "upgrade/PrivateFolder.h"
#include "upgrade/UpgradeUtils.h"
#include "upgrade/helper/HelperBlob.h"
#include "upgrade/helper/HelperCore.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

extern char** environ;

namespace bw {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string BaseName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The progress label's time: hours, minutes and seconds of an estimate,
// negative parts kept as the transfer reports them.
std::string TimeLeftText(int64_t seconds) {
  return FormatUpgraderString(msgEstimatedTime, {static_cast<long long>(seconds / 3600),
                                                 static_cast<long long>((seconds / 60) % 60),
                                                 static_cast<long long>(seconds % 60)});
}

} // namespace

TauAutoUpgrader::TauAutoUpgrader(QObject* parent) : QObject(parent) {
  TauFileAttributes incomplete{atrHidden, atrTemporary};
  OutputFileAttributes.SetIncomplete(incomplete);
  OutputFileAttributes.SetComplete(TauFileAttributes{atrArchive, atrHidden, atrTemporary});

  OnHeaderInfo = [this](TauCustomHTTP*, int, const std::string&, const std::string&,
                        const std::string&, const std::string&, int64_t contentLength,
                        const std::string&, TDateTime, TDateTime lastModified, TDateTime,
                        const std::string&,
                        bool& cont) { HTTPHeaderInfo(contentLength, lastModified, cont); };
  OnDone = [this](TauCustomHTTP*, const std::string&, int64_t, TauStream* data) { HTTPDone(data); };
  OnTransferSkipped = [this](TauCustomHTTP*) { HTTPTransferSkipped(); };
  OnDownloadProgress = [this](TauCustomHTTP*, const std::string&, int64_t size, int64_t bytesRead,
                              uint32_t elapsed, int64_t estimated, uint8_t percent, float rate,
                              TauStream*) {
    HTTPDownloadProgress(size, bytesRead, elapsed, estimated, percent, rate);
  };
  OnConnectionLost = [this](TauCustomHTTP*, const std::string&, int64_t, int64_t, TauStream*) {
    HTTPConnectionLost();
  };
  OnHTTPError = [this](TauCustomHTTP*, int code, TauStream*) { HTTPError(code); };
  OnNoResponse = [this](TauCustomHTTP*) { HTTPNoResponse(); };
  // A listed file that produced nothing is a lost file, never a success.
  OnDoneWithoutData = [this](TauCustomHTTP*) { HTTPDoneWithoutData(); };
  OnServerPasswordRequest = [this](TauCustomHTTP*, const std::string& realm, bool& tryAgain) {
    HTTPPasswordRequest(realm, tryAgain);
  };

  const auto helper = EmbeddedUpgradeHelper();
  RegisterEmbeddedResource("AUUPG", "AUUPG", helper.data(), helper.size());

  const DateTime today = DateTime::Now();
  VersionDate = VersionDateToStr(today.Year(), today.Month(), today.Day());
  FTimer.setSingleShot(false);
  connect(&FTimer, &QTimer::timeout, this, [this] { Guarded([this] { TimerFired(); }); });
}

TauAutoUpgrader::~TauAutoUpgrader() {
  FAutoCheck = false;
  FTimer.stop();
  if (TauAutoUpgraderWizardForm* w = UpgraderWizard(); w && &w->WizardHost() == this) delete w;
  // A started helper keeps the folder's lock until it ends.
}

void TauAutoUpgrader::SetAutoCheck(bool on) {
  FAutoCheck = on;
  UpdateTimer();
}

void TauAutoUpgrader::SetRestartParams(const std::string& params) {
  FRestartParams = params.empty() ? " " : params;
}

std::string TauAutoUpgrader::Folder() const {
  return ProgramFolder.empty() ? CurrentFolder() : ProgramFolder;
}

std::string TauAutoUpgrader::Program() const {
  return ProgramFile.empty() ? ExeName() : ProgramFile;
}

void TauAutoUpgrader::Loaded() {
  const QStringList args = QCoreApplication::arguments();
  if (OnAfterRestart && args.size() > 1 && args.at(1).toStdString() == FRestartParams)
    OnAfterRestart(this);
}

bool TauAutoUpgrader::UpgradeBusy() const {
  return Busy() || Active() || UpgraderWizard() != nullptr;
}

bool TauAutoUpgrader::CheckUpdate(bool wait) {
  // Nothing starts while a transfer or a run is under way, and then
  // nothing would end a wait either: return at once.
  if (UpgradeBusy()) return FUpdateAvailable;
  FSynchronousCheck = wait;
  FAborted = false;
  FStartedByTimer = false;
  SetInfoFileMode(true);
  URL = InfoFileURL;
  OutputFileName.clear();
  const bool started = Read(false);
  if (started && wait) WaitWithMessageLoop(FWaitEvent, 0, true);
  FSynchronousCheck = false;
  return FUpdateAvailable;
}

void TauAutoUpgrader::SetInfoFileMode(bool on) {
  FInfoFileMode = on;
  RequestCacheOptions = on ? CacheOptions + TauCacheOptions{coPragmaNoCache} : CacheOptions;
}

bool TauAutoUpgrader::IsNewerVersion(const std::string& text, bool& valid) const {
  valid = true;
  if (VersionControl == byNumber)
    return IsNewerComparison(
        CompareVersions(ReadInfoValue(text, "#version", false), VersionNumber));
  const std::string remote = ReadInfoValue(text, "#date", false);
  int y, m, d;
  valid = StrToVersionDate(remote, y, m, d) && StrToVersionDate(VersionDate, y, m, d);
  return valid && IsNewerVersionDate(remote, VersionDate);
}

void TauAutoUpgrader::NoInfoFile() {
  SignalEvent(FWaitEvent);
  if (OnNoInfoFile) OnNoInfoFile(this);
  if (ShowMessages.Has(mNoInfoFile)) ShowUpgraderMessageId(msgNoInfoFile, mbOK, miError);
}

void TauAutoUpgrader::ProcessInfoFile(const std::string& bytes) {
  if (static_cast<int64_t>(bytes.size()) > MaxInfoFileSize) {
    NoInfoFile();
    return;
  }
  const std::string text = InfoFileText(bytes);
  FFiles.Clear();
  for (const std::string& line : ReadInfoFileList(text))
    FFiles.Add(line);
  bool valid = true;
  const bool newer = IsNewerVersion(text, valid);
  if (!valid) {
    // A version date that is no date: the file is not one we can read.
    NoInfoFile();
    return;
  }
  if (newer && FFiles.Count() > 0) {
    FUpdateAvailable = true;
    const std::string message = ReadInfoValue(text, "#message", true);
    FUpgradeMethod = ReadUpgradeMethod(text);
    if (OnBeginUpgrade) OnBeginUpgrade(this, message, FUpgradeMethod, FFiles, FUpdateAvailable);
    if (!FSynchronousCheck) {
      if (!FUpdateAvailable) {
        if (OnLaterUpgrade) OnLaterUpgrade(this);
      } else if (ShowMessages.Has(mAskUpgrade) && !AskForUpgrade(message)) {
        if (OnLaterUpgrade) OnLaterUpgrade(this);
      } else if (FUpgradeMethod == umRedirectToURL) {
        // Only web pages are opened, never a file or a program.
        const std::string address = FFiles.GetItemName(0);
        if (IsWebAddress(address))
          OpenURL(address, true);
        else
          ShowUpgraderMessage(FormatUpgraderText(PageRefusedText, {address}), mbOK, miWarning);
      } else {
        DownloadNextFile(true);
      }
    }
    SignalEvent(FWaitEvent);
    return;
  }
  if (OnNoUpdateAvailable) OnNoUpdateAvailable(this);
  if (!FStartedByTimer && ShowMessages.Has(mNoUpdateAvailable))
    ShowUpgraderMessageId(msgNoUpdateAvailable, mbOK, miInformation);
  SignalEvent(FWaitEvent);
}

std::string TauAutoUpgrader::ResolveTarget(const std::string& address,
                                           const std::string& value) const {
  const std::string folder = Folder();
  std::string target;
  if (value.empty()) {
    target = folder + URLToFileName(address);
  } else {
    // "%current%" is this program's folder; the other macros are the
    // user's folders.
    std::string path = value;
    for (size_t at = Lower(path).find("%current%"); at != std::string::npos;
         at = Lower(path).find("%current%")) {
      size_t end = at + 9;
      if (end < path.size() && (path[end] == '/' || path[end] == '\\')) ++end;
      path.replace(at, end - at, folder);
    }
    target = ExpandPathMacros(path, false);
    if (target.empty()) return {}; // a folder this system does not have
    if (target[0] != '/') target = folder + target;
  }
  std::vector<std::string> allowed{folder};
  for (int kind : {1, 2, 3, 4, 8})
    if (std::string f = GetSpecialFolder(kind); !f.empty()) allowed.push_back(f);
  return CheckUpgradeTarget(target, allowed).value_or(std::string());
}

void TauAutoUpgrader::DownloadNextFile(bool first) {
  if (first) {
    SetInfoFileMode(false);
    // Nothing of another copy's run is touched: not its downloads, nor its
    // helper's.
    if (!FHelper.TakeFolderLock(Folder())) {
      RefuseBusyFolder();
      return;
    }
    FFileIndex = 0;
    FDownloaded = 0;
    FCompleted = false;
    FRunDownloads.clear();
    // A partial or old download never reaches the helper, nor does a helper
    // of an earlier run still waiting install anything of this one.
    StopHelper();
    DeleteTempFiles();
    if (Wizard.Enabled) ShowWizard(*this);
  } else {
    ++FFileIndex;
  }
  while (FFileIndex < FFiles.Count()) {
    const std::string address = FFiles.GetItemName(FFileIndex);
    if (TauAutoUpgraderWizardForm* w = UpgraderWizard()) {
      w->Form().FileURL->setText(Q(address));
      w->Form().AllDownloading->setText(
          Q(FormatUpgraderString(msgDownloadingOf, {static_cast<long long>(FFileIndex + 1),
                                                    static_cast<long long>(FFiles.Count())})));
    }
    URL = address;
    const std::string value = FFiles.GetItemValue(FFileIndex);
    const std::string target = ResolveTarget(address, value);
    // The download is made anew beside the target: a stale one of ours goes
    // first, and anything else under its name (a link, another user's file)
    // refuses the target.
    if (target.empty() || !helper::ClearOwnFile(target + helper::TempSuffix)) {
      // Refused: never downloaded and never named in the queue.
      const int index = FFileIndex;
      FFiles.Delete(index);
      FFiles.Insert(index, address);
      bool cont = false;
      if (OnLostFile) OnLostFile(this, address, 0, cont);
      if (ShowMessages.Has(mLostFile))
        cont = ShowUpgraderMessage(FormatUpgraderText(UnsafeTargetText, {GetURLFileName()}),
                                   mbYesNo, miWarning) == maYes;
      if (!cont) {
        AbortUpgrade(false);
        return;
      }
      ++FFileIndex;
      continue;
    }
    if (!value.empty()) {
      FFiles.SetItemValue(FFileIndex, target);
      ForceFolders(target);
    }
    FCurrentTarget = target + helper::TempSuffix;
    FRunDownloads.push_back(FCurrentTarget);
    OutputFileName = FCurrentTarget;
    FreeDataStream();
    Read(false);
    return;
  }
  if (FDownloaded == 0) {
    // Nothing to hand over: the program is not restarted, and the check
    // does not count as one that found no update.
    if (TauAutoUpgraderWizardForm* w = UpgraderWizard()) {
      w->SetNothingInstalled();
      WaitWithMessageLoop(FWaitEvent, 0, true);
    }
    AbortUpgrade(false);
    return;
  }
  // The helper is started first: completion is told only once it runs.
  FCompleted = true;
  if (!StartHelper("")) {
    FCompleted = false;
    return;
  }
  if (TauAutoUpgraderWizardForm* w = UpgraderWizard()) {
    w->SetCompleted();
    WaitWithMessageLoop(FWaitEvent, 0, true);
    if (FAborted) return;
  }
  bool restart = true;
  if (OnEndUpgrade) OnEndUpgrade(this, restart);
  if (restart) RestartApplication("");
}

void TauAutoUpgrader::HTTPHeaderInfo(int64_t contentLength, TDateTime lastModified, bool& cont) {
  if (FInfoFileMode) {
    // Too large to be an information file: not even fetched.
    if (contentLength > MaxInfoFileSize) cont = false;
    return;
  }
  FFileTime = lastModified;
  if (TauAutoUpgraderWizardForm* w = UpgraderWizard())
    w->Form().LFileSize->setText(
        Q(FormatUpgraderString(msgFileSize, {static_cast<double>(contentLength) / 1024.0})));
  if (MiscFilesUpgrade == mfuOnlyIfSizeDifferent && contentLength != 0 && FFiles.Count() > 1) {
    const std::string target =
        FCurrentTarget.substr(0, FCurrentTarget.size() - std::string(helper::TempSuffix).size());
    if (Lower(BaseName(target)) != Lower(BaseName(Program())) &&
        GetFileSize64(target) == contentLength)
      cont = false;
  }
  if (OnFileStart) OnFileStart(this, URL, contentLength, FFileTime, cont);
}

void TauAutoUpgrader::HTTPDone(TauStream* data) {
  if (FInfoFileMode) {
    ProcessInfoFile(data ? data->ReadToEnd() : std::string());
    return;
  }
  // A listed file must have gone to its file; one kept in memory was not
  // written and is lost, never reported complete.
  if (data || GetFileSize64(FCurrentTarget) < 0) {
    LostFile(StatusCode(), OutputFileRefused());
    return;
  }
  if (FFileTime != 0) SetFileDateTimes(FCurrentTarget, FFileTime, FFileTime, -1);
  ++FDownloaded;
  if (OnFileDone) OnFileDone(this, FCurrentTarget);
  DownloadNextFile(false);
}

void TauAutoUpgrader::HTTPTransferSkipped() {
  if (FInfoFileMode) {
    NoInfoFile();
    return;
  }
  DeleteCurrentDownload();
  DownloadNextFile(false);
}

void TauAutoUpgrader::HTTPDownloadProgress(int64_t size, int64_t bytesRead, uint32_t elapsed,
                                           int64_t estimated, uint8_t percent, float rate) {
  if (FInfoFileMode) {
    // An information file without a length that grows too large.
    if (bytesRead > MaxInfoFileSize) {
      Abort(false, false);
      NoInfoFile();
    }
    return;
  }
  const int count = std::max(FFiles.Count(), 1);
  const auto total = static_cast<uint8_t>(percent / count + GetPercent(FFileIndex, count));
  if (OnProgress) OnProgress(this, URL, size, bytesRead, elapsed, estimated, percent, total, rate);
  if (TauAutoUpgraderWizardForm* w = UpgraderWizard()) {
    w->Form().ProgressCurrentFile->setValue(percent);
    w->Form().ProgressAllFiles->setValue(total);
    w->Form().LTransferRate->setText(Q(FormatUpgraderString(msgTransferRate, {double(rate)})));
    w->Form().LEstimatedTime->setText(Q(TimeLeftText(estimated)));
  }
}

void TauAutoUpgrader::HTTPConnectionLost() {
  if (!FInfoFileMode) DeleteCurrentDownload();
  if (OnConnLost) OnConnLost(this);
  if (ShowMessages.Has(mConnLost)) ShowUpgraderMessageId(msgConnLost, mbOK, miError);
  StopUpgrade(false);
}

void TauAutoUpgrader::HTTPError(int code) {
  if (FInfoFileMode) {
    NoInfoFile();
    return;
  }
  LostFile(code);
}

void TauAutoUpgrader::HTTPDoneWithoutData() {
  if (FInfoFileMode) {
    NoInfoFile();
    return;
  }
  LostFile(StatusCode(), OutputFileRefused());
}

void TauAutoUpgrader::LostFile(int errorCode, const std::string& refused) {
  DeleteCurrentDownload();
  bool cont = false;
  if (OnLostFile) OnLostFile(this, URL, errorCode, cont);
  if (ShowMessages.Has(mLostFile) && !refused.empty()) {
    // The file arrived; the folder it goes to would not take it.
    const std::string target =
        FCurrentTarget.substr(0, FCurrentTarget.size() - std::string(helper::TempSuffix).size());
    cont = ShowUpgraderMessage(
               FormatUpgraderText(FolderRefusedText, {target.substr(0, target.rfind('/') + 1),
                                                      BaseName(target), refused}),
               mbYesNo, miWarning) == maYes;
  } else if (ShowMessages.Has(mLostFile)) {
    cont = ShowUpgraderMessage(
               FormatUpgraderString(msgLostFile, {GetURLFileName()}), mbYesNo, miWarning,
               LoadUpgraderString(msgError) + " #" + std::to_string(errorCode)) == maYes;
  }
  if (cont)
    DownloadNextFile(false);
  else
    AbortUpgrade(false);
}

void TauAutoUpgrader::HTTPNoResponse() {
  if (!FInfoFileMode) DeleteCurrentDownload();
  if (StoppedAnswering()) {
    // Reached, then silent: the connection was lost, not the host.
    if (OnConnLost) OnConnLost(this);
    if (FStartedByTimer) {
      FTimerSuspended = false;
      UpdateTimer();
    } else if (ShowMessages.Has(mConnLost)) {
      ShowUpgraderMessage(LoadUpgraderString(msgConnLost) + "\n\n" + URL, mbOK, miError);
    }
    StopUpgrade(false);
    return;
  }
  const std::string host = GetURLHostName();
  if (OnHostUnreachable) OnHostUnreachable(this, URL, host);
  if (FStartedByTimer) {
    FTimerSuspended = false;
    UpdateTimer();
  } else if (ShowMessages.Has(mHostUnreachable)) {
    const std::string refused = RefusedRedirect();
    ShowUpgraderMessage(refused.empty()
                            ? FormatUpgraderString(msgHostUnreachable, {"http://" + host})
                            : FormatUpgraderText(RedirectRefusedText, {URL, refused}),
                        mbOK, miError);
  }
  StopUpgrade(false);
}

void TauAutoUpgrader::HTTPPasswordRequest(const std::string& realm, bool& tryAgain) {
  if (OnPasswordRequest) OnPasswordRequest(this, realm, tryAgain);
  if (!tryAgain && ShowMessages.Has(mPasswordRequest)) {
    tryAgain = ShowPasswordDialog(*this, GetURLFileName());
    if (!tryAgain) AbortUpgrade(false);
  }
}

void TauAutoUpgrader::StopUpgrade(bool force) {
  SignalEvent(FWaitEvent);
  Abort(false, force);
  if (TauAutoUpgraderWizardForm* w = UpgraderWizard()) w->CloseSilently();
  if (!FHelperLaunched) FHelper.ReleaseFolderLock();
}

void TauAutoUpgrader::AbortUpgrade(bool force) {
  FAborted = true;
  StopUpgrade(force);
  StopHelper();
  DeleteTempFiles();
  FHelper.ReleaseFolderLock();
  if (OnAborted) OnAborted(this);
}

void TauAutoUpgrader::RefuseBusyFolder() {
  FAborted = true;
  StopUpgrade(false);
  ShowUpgraderMessage(UpgradeUnderWayText, mbOK, miWarning);
  if (OnAborted) OnAborted(this);
}

void TauAutoUpgrader::SignalWizardClosed() {
  SignalEvent(FWaitEvent);
}

void TauAutoUpgrader::DeleteCurrentDownload() {
  if (!FCurrentTarget.empty()) unlink(FCurrentTarget.c_str());
}

void TauAutoUpgrader::DeleteTempFiles() {
  const std::string folder = Folder();
  // The folder's downloads only while no other copy's run holds it: what
  // that run downloads is never ours to delete.
  bool busy = false;
  const int held = FHelper.HoldsFolderLock() ? -1 : LockProgramFolder(folder, busy);
  // What a helper ended while it installed left goes too.
  if (!busy) helper::RemoveInstallFolders(folder);
  DIR* dir = busy ? nullptr : opendir(folder.c_str());
  if (dir) {
    const std::string suffix = helper::TempSuffix;
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() >= suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        unlink((folder + name).c_str());
    }
    closedir(dir);
  }
  if (held >= 0) close(held);
  for (const std::string& file : FRunDownloads)
    unlink(file.c_str());
}

void TauAutoUpgrader::RestartApplication(const std::string& params) {
  if (!FHelperLaunched && !FHelper.TakeFolderLock(Folder())) {
    RefuseBusyFolder();
    return;
  }
  if (!FCompleted) DeleteTempFiles();
  // A helper that ended meanwhile would install nothing once the program
  // has closed.
  if (FHelperLaunched && !FHelper.Waits()) {
    EndRunUninstalled("The upgrade helper has ended before the program did.");
    return;
  }
  if (!StartHelper(params)) return;
  if (OnDoOwnCloseAppMethod)
    OnDoOwnCloseAppMethod(this);
  else
    CloseApplication();
}

bool TauAutoUpgrader::StartHelper(const std::string& params) {
  if (FHelperLaunched) return true;
  const std::string p =
      params.empty() ? FRestartParams + static_cast<char>('0' + FUpgradeMethod) : params;
  std::string why;
  if (LaunchUpgradeHelper(p, why)) return true;
  EndRunUninstalled(why);
  return false;
}

void TauAutoUpgrader::EndRunUninstalled(const std::string& why) {
  // Nothing is handed over: the program stays as it is, and so does
  // nothing of this run.
  FAborted = true;
  StopUpgrade(false);
  StopHelper();
  DeleteTempFiles();
  FHelper.ReleaseFolderLock();
  ShowUpgraderMessage(FormatUpgraderText(HelperNotStartedText, {why}), mbOK, miError);
  if (OnAborted) OnAborted(this);
}

void TauAutoUpgrader::StopHelper() {
  if (!FHelperLaunched) return;
  // The helper still waits for this program to end: once it is gone,
  // nothing of the abandoned run is installed.
  FHelper.Stop();
  FHelperLaunched = false;
  // The helper's own file goes with the hand-over: a helper that could not
  // be ended finds it gone and installs and starts nothing.
  if (HandOverFolder.empty()) {
    RemovePrivateUpgradeFolder(FHelperFolder);
  } else {
    unlink((FHelperFolder + UpgraderQueueFileName).c_str());
    unlink((FHelperFolder + UpgraderFileName).c_str());
  }
  FHelperFolder.clear();
}

bool TauAutoUpgrader::LaunchUpgradeHelper(const std::string& params, std::string& why) {
  std::string folder = HandOverFolder;
  if (folder.empty()) {
    folder = PrivateUpgradeFolder(GetTempFolder(), &why);
    if (folder.empty()) return false;
  }
  if (folder.back() != '/') folder += '/';
  const std::string helperFile = folder + UpgraderFileName;
  const std::string queueFile = folder + UpgraderQueueFileName;
  auto fail = [&](std::string text) {
    why = std::move(text);
    if (HandOverFolder.empty())
      RemovePrivateUpgradeFolder(folder);
    else
      unlink(queueFile.c_str());
    return false;
  };
  // A queue of an earlier run is never acted on.
  unlink(queueFile.c_str());
  TauMemoryStream helper;
  if (!ResourceToStream("AUUPG", "AUUPG", &helper))
    return fail("The upgrade helper is missing from this program.");
  if (!WritePrivateFile(helperFile, helper.Data().data(), helper.Data().size(), 0700))
    return fail("The upgrade helper could not be written to " + helperFile + ": " +
                std::strerror(errno) + ".");
  FFiles.SaveValuesToFile(queueFile);

  const std::string waitFor = std::string(helper::WaitPidVariable) + "=";
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, waitFor.c_str(), waitFor.size()) != 0) environment.emplace_back(*e);
  environment.push_back(waitFor + std::to_string(WaitPid > 0 ? WaitPid : getpid()));
  if (const int error =
          FHelper.Start({helperFile, Program(), "+" + params}, environment, folder, OpenPidFd))
    return fail("The upgrade helper " + helperFile +
                " could not be started: " + std::strerror(error) + ".");
  FHelperLaunched = true;
  FHelperFolder = folder;
  return true;
}

void TauAutoUpgrader::ReportInstall() {
  const std::optional<helper::InstallReport> report = TakeInstallReport(Folder());
  if (!report || report->Refused.empty()) return;
  std::string text;
  for (const auto& [file, reason] : report->Refused)
    text += (text.empty() ? "" : "\n") + FormatUpgraderText(IncompleteInstallText, {file, reason});
  ShowUpgraderMessage(text, mbOK, miWarning);
}

void TauAutoUpgrader::UpdateTimer() {
  FTimer.stop();
  if (FAutoCheck && !FTimerSuspended && AutoCheckDelay >= 1) FTimer.start(AutoCheckDelay);
}

void TauAutoUpgrader::TimerFired() {
  if (!IsConnectedToInternet() || !FAutoCheck) return;
  FTimerSuspended = true;
  UpdateTimer();
  CheckUpdate(false);
  FStartedByTimer = true;
}

} // namespace bw
