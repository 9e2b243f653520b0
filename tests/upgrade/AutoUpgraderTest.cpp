#include "upgrade/AutoUpgrader.h"
#include "AnsweredBoxes.h"
#include "ChildProgram.h"
#include "LoopbackServer.h"
#include "ProcessUntil.h"
#include "TestFiles.h"
#include "ui_AutoUpgraderPasswordForm.h"
#include "ui_AutoUpgraderWizardForm.h"
#include "upgrade/PrivateFolder.h"
#include "upgrade/UpgradeUtils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace bw;
using namespace bw::test;
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

bool WriteTo(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  const bool done =
      fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (fd >= 0) close(fd);
  return done;
}

// Runs a part of a test as process 2 of a PID namespace of its own, where
// only the test makes processes; the part's result (0 passed) is the run's.
// Process 1 keeps the namespace: asked for a number, it gives that number to
// a new process of its own that sleeps and answers with the number it got;
// asked for 0, whether that process still lives a moment later.
class PidNamespace {
public:
  // The namespace cannot be made here, or cannot hand a number on.
  static constexpr int NoNamespace = 77, NoNumber = 78;

  long Ask(long number) {
    long got = -1;
    pollfd answer{FAnswer, POLLIN, 0};
    if (write(FRequest, &number, sizeof number) != sizeof number || poll(&answer, 1, 10000) != 1 ||
        read(FAnswer, &got, sizeof got) != sizeof got)
      return -1;
    return got;
  }

  int Run(const std::function<int(PidNamespace&)>& part) {
    int request[2], answer[2];
    if (pipe2(request, O_CLOEXEC) != 0 || pipe2(answer, O_CLOEXEC) != 0) return 1;
    const pid_t outer = fork();
    if (outer == 0) {
      // A user other than root makes a user namespace to hold it.
      const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
      if (unshare(CLONE_NEWPID | (geteuid() == 0 ? 0 : CLONE_NEWUSER)) != 0 ||
          (uid != "0" && !(WriteTo("/proc/self/setgroups", "deny") &&
                           WriteTo("/proc/self/uid_map", uid + " " + uid + " 1") &&
                           WriteTo("/proc/self/gid_map", gid + " " + gid + " 1"))))
        _exit(NoNamespace);
      const pid_t first = fork();
      if (first == 0) _exit(First(part, request, answer));
      for (int fd : {request[0], request[1], answer[0], answer[1]})
        close(fd);
      _exit(ExitCode(first));
    }
    for (int fd : {request[0], request[1], answer[0], answer[1]})
      close(fd);
    return ExitCode(outer);
  }

private:
  int FRequest = -1, FAnswer = -1;

  static int ExitCode(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  }

  int First(const std::function<int(PidNamespace&)>& part, int request[2], int answer[2]) {
    signal(SIGCHLD, SIG_DFL);
    const pid_t second = fork();
    if (second == 0) {
      FRequest = request[1];
      FAnswer = answer[0];
      _exit(part(*this));
    }
    close(request[1]);
    pid_t sleeper = -1;
    pollfd asking{request[0], POLLIN, 0};
    for (long asked;
         poll(&asking, 1, 20000) == 1 && read(request[0], &asked, sizeof asked) == sizeof asked;) {
      long told = -1;
      if (asked > 0 && WriteTo("/proc/sys/kernel/ns_last_pid", std::to_string(asked - 1))) {
        if ((sleeper = fork()) == 0)
          for (;;)
            pause();
        told = sleeper;
      } else if (asked == 0) {
        // Killed, it would be gone within this while.
        for (int i = 0; told != 0 && i < 30; ++i, usleep(10000))
          told = sleeper > 0 && waitpid(sleeper, nullptr, WNOHANG) == 0;
      }
      if (write(answer[1], &told, sizeof told) != sizeof told) break;
    }
    return ExitCode(second);
  }
};

bool HasTemp(const fs::path& folder) {
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.path().extension() == ".uTMP") return true;
  return false;
}

// A process that runs until it is ended, for a helper to wait for: the
// first copy of the program.
struct Waited {
  pid_t Pid = fork();
  Waited() {
    if (Pid == 0) {
      pause();
      _exit(0);
    }
  }
  void End() {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
  }
};

// Whether another holds the program folder's upgrade lock.
bool FolderLocked(const fs::path& folder) {
  bool busy = false;
  const int fd = LockProgramFolder(folder.string(), busy);
  if (fd >= 0) close(fd);
  return busy;
}

class Engine : public ::testing::Test {
protected:
  LoopbackServer& Server = LoopbackServer::Plain();
  fs::path Root;
  fs::path Prog, Served, HandOver;
  std::unique_ptr<TauAutoUpgrader> U = std::make_unique<TauAutoUpgrader>();
  Strings Events;
  bool ContinueAfterLostFile = false;
  bool Ended = false;

  void SetUp() override {
    static int serial = 0;
    // Beside the test program: the temporary folder is one the upgrade may
    // write to, and the hostile targets must land outside every such folder.
    Root = fs::current_path() /
           ("bw-engine-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    Prog = Root / "prog";
    Served = Root / "served";
    fs::create_directories(Prog);
    fs::create_directories(Served);
    HandOver = PrivateUpgradeFolder(Root.string());
    U->ProgramFolder = Prog.string() + "/";
    U->ProgramFile = (Prog / "standin").string();
    U->HandOverFolder = HandOver.string();
    U->VersionControl = byNumber;
    U->VersionNumber = "2.8.0";
    U->ShowMessages = {};
    U->Wizard.Enabled = false;
    U->SetRestartParams(" ");
    auto end = [this](const char* name) {
      return [this, name](TauAutoUpgrader*) {
        Events.push_back(name);
        Ended = true;
      };
    };
    U->OnNoUpdateAvailable = end("no update");
    U->OnNoInfoFile = end("no info file");
    U->OnAborted = end("aborted");
    U->OnLaterUpgrade = end("later");
    U->OnConnLost = end("connection lost");
    U->OnDoOwnCloseAppMethod = end("close");
    U->OnHostUnreachable = [this](TauAutoUpgrader*, const std::string&, const std::string&) {
      Events.push_back("host unreachable");
      Ended = true;
    };
    U->OnBeginUpgrade = [this](TauAutoUpgrader*, const std::string&, TacUpgradeMethod,
                               const TauStringList&, bool&) { Events.push_back("begin"); };
    U->OnLostFile = [this](TauAutoUpgrader*, const std::string&, int, bool& cont) {
      Events.push_back("lost");
      cont = ContinueAfterLostFile;
    };
    U->OnFileDone = [this](TauAutoUpgrader*, const std::string&) { Events.push_back("file done"); };
    U->OnEndUpgrade = [this](TauAutoUpgrader*, bool&) { Events.push_back("end"); };
  }
  void TearDown() override {
    U.reset();
    fs::remove_all(Root);
  }

  // The address of a file the server hands out as written here.
  std::string Serve(const std::string& name, const std::string& content,
                    const std::string& query = {}) {
    Write(Served / name, content);
    return Server.Url("/local" + (Served / name).string() + query);
  }
  void Info(const std::string& text) { U->InfoFileURL = Serve("info.txt", text); }
  void Run() {
    Ended = false;
    U->CheckUpdate(false);
    ASSERT_TRUE(ProcessUntil([this] { return Ended && !U->UpgradeBusy(); }, 10000));
  }
  // Runs a check against this information file; what the engine reported.
  Strings Check(const std::string& info) {
    Events.clear();
    Info(info);
    Run();
    return Events;
  }
  int Count(const std::string& event) const {
    return static_cast<int>(std::count(Events.begin(), Events.end(), event));
  }
};

} // namespace

TEST_F(Engine, VersionNumbersDecide) {
  const std::string file = Serve("a.txt", "a");
  U->OnBeginUpgrade = [this](TauAutoUpgrader*, const std::string& msg, TacUpgradeMethod method,
                             const TauStringList& files, bool& can) {
    Events.push_back("begin " + msg + " " + std::to_string(method) + " " +
                     std::to_string(files.Count()));
    can = false; // later: nothing is downloaded
  };
  EXPECT_EQ(Check("#version=2.8\r\n#url=" + file + "\r\n"), Strings{"no update"});
  // Letters in a version: compared by characters, and newer counts.
  U->VersionNumber = "2.7";
  EXPECT_EQ(Check("#version=2.9b\r\n#method=1\r\n#message={Two\r\nlines}\r\n#url=" + file),
            (Strings{"begin Two\r\nlines 1 1", "later"}));
  // A newer version without files is no update.
  EXPECT_EQ(Check("#version=3.0\r\n"), Strings{"no update"});
}

TEST_F(Engine, AFileThatWasNotWrittenIsLostNeverDone) {
  // The output file cannot be made: a folder stands in its place.
  fs::create_directories(Prog / "data.bin.uTMP" / "in-the-way");
  Info("#version=9\r\n#url=" + Serve("data.bin", std::string(3000, 'd')) + "=data.bin");
  Run();
  EXPECT_EQ(Count("lost"), 1);
  EXPECT_EQ(Count("aborted"), 1);
  EXPECT_EQ(Count("file done"), 0);
  EXPECT_EQ(Count("end"), 0);
  EXPECT_FALSE(U->HelperLaunched());
}

TEST_F(Engine, PartialAndStaleDownloadsAreDeleted) {
  Write(Prog / "stale.uTMP", "old partial download");
  // What a helper ended while it installed left.
  const fs::path installing = Prog / (std::string(helper::InstallFolderPrefix) + "a1B2c3");
  fs::create_directory(installing);
  Write(installing / "data.bin.uTMP", "a download being installed");
  fs::permissions(installing, fs::perms(0700));
  Info("#version=9\r\n#url=" + Serve("data.bin", std::string(200000, 'd'), "?break"));
  Run();
  EXPECT_EQ(Count("connection lost"), 1);
  EXPECT_FALSE(fs::exists(Prog / "stale.uTMP"));
  EXPECT_FALSE(fs::exists(installing));
  EXPECT_FALSE(fs::exists(Prog / "data.bin.uTMP"));

  // A file skipped for its equal size leaves no download behind.
  Events.clear();
  Write(Prog / "same.txt", "12345");
  U->MiscFilesUpgrade = mfuOnlyIfSizeDifferent;
  Info("#version=9\r\n#url=" + Serve("same.txt", "abcde") + "\r\n#url2=" + Serve("b.txt", "b"));
  Run();
  EXPECT_EQ(Count("close"), 1);
  EXPECT_EQ(Count("file done"), 1);
  EXPECT_EQ(ReadAll(Prog / "same.txt"), "12345");
  EXPECT_FALSE(fs::exists(Prog / "same.txt.uTMP"));
  EXPECT_TRUE(fs::exists(Prog / "b.txt.uTMP"));
}

// The target check refuses every way out of the allowed folders; this covers
// what the engine adds: the folders it allows, a macro that names no folder
// here and an address without a file name.
TEST_F(Engine, HostileTargetsAreRefused) {
  ContinueAfterLostFile = true;
  const std::string ok = Serve("ok.txt", "ok");
  Info("#version=9\r\n#url=" + ok + "=good.txt\r\n#url2=" + ok + "=/etc/bw-hostile-absolute\r\n" +
       "#url3=" + Server.Url("/local/dir/") + "\r\n#url4=" + ok + "=%windows%\\evil.txt\r\n" +
       "#url5=" + ok + "=sub/../sub2/fine.txt\r\n");
  Run();
  EXPECT_EQ(Count("lost"), 3);
  EXPECT_EQ(Count("close"), 1);
  EXPECT_EQ(ReadAll(Prog / "good.txt.uTMP"), "ok");
  EXPECT_EQ(ReadAll(Prog / "sub2" / "fine.txt.uTMP"), "ok");
  EXPECT_FALSE(fs::exists("/etc/bw-hostile-absolute.uTMP"));
  // The queue names only the accepted targets.
  EXPECT_EQ(ReadAll(HandOver / UpgraderQueueFileName),
            (Prog / "good.txt").string() + "\r\n" + (Prog / "sub2" / "fine.txt").string() + "\r\n");
}

// A download goes beside its target, also in folders that others share. A
// link or another user's file planted under the download's name there is
// never written through: the target is refused as unsafe. A stale download
// of ours is made anew.
TEST_F(Engine, APlantedLinkAtTheDownloadsNameIsRefused) {
  AnsweredBoxes boxes;
  boxes.Answer = maYes;
  U->ShowMessages = {mLostFile};
  const fs::path temp = GetTempFolder();
  const std::string planted = "planted-" + std::to_string(getpid()) + ".txt";
  const std::string stale = "stale-" + std::to_string(getpid()) + ".txt";
  Write(Root / "victim.txt", "the user's");
  fs::create_symlink(Root / "victim.txt", temp / (planted + ".uTMP"));
  Write(temp / (stale + ".uTMP"), "an old download of ours");
  const std::string file = Serve("new.txt", "downloaded");
  Info("#version=9\r\n#url=" + file + "=%temp%" + planted + "\r\n#url2=" + file + "=%temp%" +
       stale + "\r\n");
  Run();
  EXPECT_EQ(ReadAll(Root / "victim.txt"), "the user's");
  EXPECT_TRUE(fs::is_symlink(temp / (planted + ".uTMP")));
  EXPECT_EQ(ReadAll(temp / (stale + ".uTMP")), "downloaded");
  EXPECT_EQ(boxes.Texts,
            Strings{"File new.txt is refused as unsafe: it would be written outside the "
                    "program's folder and your own folders, or in place of a link or of another "
                    "user's file.\n\nTry to skip this file and continue upgrade?"});
  EXPECT_EQ(Count("close"), 1);
  fs::remove(temp / (planted + ".uTMP"));
  fs::remove(temp / (stale + ".uTMP"));
}

// A redirect that is not followed says so, not that the host is unreachable.
TEST_F(Engine, ARefusedRedirectSaysItWasRefused) {
  AnsweredBoxes boxes;
  U->ShowMessages = {mHostUnreachable};
  U->InfoFileURL = Server.Url("/redirect?to=file:///etc/passwd");
  Run();
  EXPECT_EQ(boxes.Texts, Strings{"The server redirected " + U->InfoFileURL +
                                 " to file:///etc/passwd.\n\nThe redirect was refused: an update "
                                 "is fetched from web addresses only, and never from a secure "
                                 "address on to a plain one."});
}

TEST_F(Engine, HostileInformationFiles) {
  // Too large to be an information file, with a length and without one.
  const std::string file = Serve("a.txt", "a");
  EXPECT_EQ(Check("#version=9\r\n#url=" + file + "\r\n" + std::string(2 << 20, '#')),
            Strings{"no info file"});
  Events.clear();
  U->InfoFileURL += "?nolength";
  Run();
  EXPECT_EQ(Events, Strings{"no info file"});
  // A version date that is no date.
  U->VersionControl = byDate;
  EXPECT_EQ(Check("#date=13/45/2008\r\n#url=" + file), Strings{"no info file"});
}

TEST_F(Engine, ALostFileAsksWithItsStatusAndNoAborts) {
  AnsweredBoxes boxes;
  U->ShowMessages = {mLostFile};
  ContinueAfterLostFile = true; // the question decides
  Info("#version=9\r\n#url=" + Server.Url("/status/404") + "\r\n#url2=" + Serve("b", "b"));
  Run();
  EXPECT_EQ(boxes.Texts, Strings{"File 404 not found or inaccessible.\n\nTry to skip this file and "
                                 "continue upgrade?"});
  EXPECT_EQ(boxes.Captions, Strings{"Error #404"});
  EXPECT_EQ(Count("aborted"), 1);
  EXPECT_EQ(Count("file done"), 0);
}

// The messages of a server that stopped answering, of a folder that refused
// a download, and of a page address that is not a web page.
TEST_F(Engine, StoppedServersRefusingFoldersAndNonWebPagesAreSaidSo) {
  AnsweredBoxes boxes;
  boxes.Answer = maNo;
  U->ShowMessages = {mConnLost, mHostUnreachable, mLostFile};
  U->Timeouts.LowSpeedLimit = 1000;
  U->Timeouts.LowSpeedTime = 1;
  U->InfoFileURL = Server.Url("/file?size=100000&trickle=20");
  Run();
  EXPECT_EQ(Events, Strings{"connection lost"});
  EXPECT_EQ(boxes.Texts, Strings{LoadUpgraderString(msgConnLost) + "\n\n" + U->InfoFileURL});

  // Something takes the download's name once the transfer has begun.
  boxes.Texts.clear();
  U->OnFileStart = [&](TauAutoUpgrader*, const std::string&, int64_t, TDateTime, bool&) {
    fs::create_directory(Prog / "good.txt.uTMP");
  };
  EXPECT_EQ(Check("#version=9\r\n#url=" + Serve("ok.txt", "ok") + "=good.txt\r\n"),
            (Strings{"begin", "lost", "aborted"}));
  EXPECT_EQ(boxes.Texts, Strings{"The folder " + Prog.string() +
                                 "/ refused file good.txt: File exists.\n\nTry to skip this "
                                 "file and continue upgrade?"});

  boxes.Texts.clear();
  Info("#version=9\r\n#method=2\r\n#url=file:///etc/passwd\r\n");
  U->CheckUpdate(false);
  ASSERT_TRUE(ProcessUntil([&] { return !boxes.Texts.empty() && !U->UpgradeBusy(); }, 10000));
  EXPECT_EQ(boxes.Texts, Strings{"The update's page file:///etc/passwd was refused: only web "
                                 "pages are opened, never a file or a program."});
}

TEST_F(Engine, APasswordFromTheDialogIsSentAgain) {
  U->ShowMessages = {mPasswordRequest};
  U->InfoFileURL = Server.Url("/auth?user=ann&pass=pw");
  std::string realm;
  U->OnPasswordRequest = [&](TauAutoUpgrader*, const std::string& r, bool&) { realm = r; };
  // The user fills in the dialog once it comes up.
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [] {
    auto* form = qobject_cast<TauAutoUpgraderPasswordForm*>(QApplication::activeModalWidget());
    if (!form) return;
    form->Form().UsernameEdit->setText("ann");
    form->Form().PasswordEdit->setText("pw");
    form->Form().OKBtn->click();
  });
  user.start(10);
  Run();
  EXPECT_EQ(realm, "Upgrade area");
  EXPECT_EQ(U->HTTPUsername, "ann");
  // The protected file was read: it announces nothing newer.
  EXPECT_EQ(Events, Strings{"no update"});
}

TEST_F(Engine, AWaitingCheckWhileBusyReturnsAtOnce) {
  U->InfoFileURL = Server.Url("/file?size=100&slow=3000");
  U->CheckUpdate(false);
  ASSERT_TRUE(U->UpgradeBusy());
  EXPECT_FALSE(U->CheckUpdate(true));
  U->Abort(false, true);
}

TEST_F(Engine, AHelperThatCannotBeWrittenKeepsTheProgram) {
  AnsweredBoxes boxes;
  Write(Prog / "x.uTMP", "download");
  U->HandOverFolder = (Root / "missing").string();
  U->RestartApplication("");
  EXPECT_EQ(Events, Strings{"aborted"});
  EXPECT_FALSE(U->HelperLaunched());
  EXPECT_FALSE(fs::exists(Prog / "x.uTMP"));
  EXPECT_EQ(boxes.Texts, Strings{"The update cannot be installed: The upgrade helper could not be "
                                 "written to " +
                                 (Root / "missing" / UpgraderFileName).string() +
                                 ": No such file or directory.\n\nThe program stays as it is."});
}

// Completion is told only once the helper runs: a helper that cannot start
// says why, and the program and its files stay as they are.
TEST_F(Engine, AHelperThatCannotStartIsNeverACompletion) {
  AnsweredBoxes boxes;
  static const unsigned char broken[] = "#!/nonexistent/interpreter\n";
  RegisterEmbeddedResource("AUUPG", "AUUPG", broken, sizeof broken - 1);
  Write(Prog / "data.txt", "old");
  U->Wizard.Enabled = true;
  bool completedShown = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (TauAutoUpgraderWizardForm* w = UpgraderWizard(); w && w->Completed()) {
      completedShown = true;
      w->Form().FinishBtn->click();
    }
  });
  watch.start(5);
  EXPECT_EQ(Check("#version=9\r\n#url=" + Serve("data.txt", "new") + "=data.txt\r\n"),
            (Strings{"begin", "file done", "aborted"}));
  EXPECT_FALSE(completedShown);
  EXPECT_FALSE(U->HelperLaunched());
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0].rfind("The update cannot be installed: The upgrade helper " +
                                     (HandOver / UpgraderFileName).string() +
                                     " could not be started: ",
                                 0),
            0u)
      << boxes.Texts[0];
  EXPECT_EQ(ReadAll(Prog / "data.txt"), "old");
  EXPECT_FALSE(HasTemp(Prog));
  EXPECT_EQ(UpgraderWizard(), nullptr);
}

namespace {
// A main window whose user answers Cancel to the save prompt.
class UnsavedWindow : public QMainWindow {
public:
  int Closes = 0;
  void closeEvent(QCloseEvent* event) override {
    ++Closes;
    event->ignore();
  }
};
} // namespace

TEST_F(Engine, CancelAtTheSavePromptKeepsTheProgramRunning) {
  Write(HandOver / UpgraderQueueFileName, "/stale/queue/entry\r\n");
  UnsavedWindow window;
  window.show();
  U->OnDoOwnCloseAppMethod = nullptr;
  // The helper waits for this test program, then starts a harmless program.
  U->ProgramFile = "/bin/true";
  U->RestartApplication("");
  EXPECT_TRUE(U->HelperLaunched());
  EXPECT_EQ(window.Closes, 1);
  EXPECT_TRUE(window.isVisible());
  // The stale queue is gone, and no new one names anything.
  EXPECT_FALSE(fs::exists(HandOver / UpgraderQueueFileName));
  struct stat st;
  ASSERT_EQ(stat((HandOver / UpgraderFileName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Abandoned, the run ends the helper that waits: it installs and restarts
  // nothing when this program ends.
  auto helperRuns = [&] {
    for (const auto& entry : fs::directory_iterator("/proc")) {
      std::error_code error;
      if (fs::read_symlink(entry.path() / "exe", error) == HandOver / UpgraderFileName) return true;
    }
    return false;
  };
  EXPECT_TRUE(helperRuns());
  U->AbortUpgrade(false);
  EXPECT_FALSE(U->HelperLaunched());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !helperRuns(); }, 5000));
}

TEST_F(Engine, EndToEndTheHelperReplacesTheFilesAndRestarts) {
  fs::copy_file(BW_STANDIN_OLD, Prog / "standin");
  fs::create_directories(Prog / "docs");
  Write(Prog / "docs" / "readme.txt", "old readme");
  const fs::path record = Root / "record.txt";
  Write(Served / "standin", ReadAll(BW_STANDIN_NEW));
  const std::string standin = Server.Url("/local" + (Served / "standin").string());
  const std::string readme = Serve("readme.txt", "new readme");
  // A link takes the place of the notes while they come down: the helper
  // refuses it, and the restarted program says so and clears it away.
  Write(Prog / "docs" / "notes.txt", "old notes");
  Write(Root / "victim.txt", "the user's", fs::perms(0600));
  const std::string notes = Serve("notes.txt", "new notes");
  U->OnFileDone = [&](TauAutoUpgrader*, const std::string& file) {
    Events.push_back("file done");
    if (file != (Prog / "docs" / "notes.txt.uTMP").string()) return;
    fs::remove(Prog / "docs" / "notes.txt");
    fs::create_symlink(Root / "victim.txt", Prog / "docs" / "notes.txt");
  };

  // The program, and after it the helper and the restarted program, see
  // where to record.
  qputenv("BW_STANDIN_RECORD", QByteArray::fromStdString(record.string()));
  ChildProgram program((Prog / "standin").string());
  ASSERT_TRUE(ProcessUntil([&] { return fs::exists(record) && fs::file_size(record) > 0; }, 5000));

  U->WaitPid = program.Pid();
  U->SetRestartParams("/afterupgrade  --from-test");
  U->Wizard.Enabled = true;
  U->OnDoOwnCloseAppMethod = [&](TauAutoUpgrader*) {
    Events.push_back("close");
    Ended = true;
    program.CloseInput(); // the stand-in ends
  };
  Info("#version=9.0\r\n#url=" + standin + "=%current%standin\r\n#url2=" + readme +
       "=docs/readme.txt\r\n#url3=" + notes + "=docs/notes.txt\r\n");
  // The user presses OK on the completed wizard; the engine waits for that
  // inside its own loop.
  QTimer finish;
  QObject::connect(&finish, &QTimer::timeout, [] {
    TauAutoUpgraderWizardForm* w = UpgraderWizard();
    if (w && w->Completed()) w->Form().FinishBtn->click();
  });
  finish.start(10);
  U->CheckUpdate(false);
  ASSERT_TRUE(ProcessUntil([&] { return Ended; }, 10000));
  EXPECT_EQ(Count("file done"), 3);
  ASSERT_TRUE(program.WaitEnded(5000));
  ASSERT_TRUE(
      ProcessUntil([&] { return ReadAll(record).find("new:") != std::string::npos; }, 10000))
      << ReadAll(record);
  qunsetenv("BW_STANDIN_RECORD");
  EXPECT_EQ(ReadAll(record), "old:\nnew:/afterupgrade|--from-test|\n");
  EXPECT_EQ(ReadAll(Prog / "docs" / "readme.txt"), "new readme");
  struct stat st;
  ASSERT_EQ(stat((Prog / "standin").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0100, 0u);
  EXPECT_FALSE(fs::exists(HandOver / UpgraderQueueFileName));
  EXPECT_FALSE(fs::exists(HandOver / UpgraderFileName));
  EXPECT_TRUE(fs::is_symlink(Prog / "docs" / "notes.txt"));
  EXPECT_EQ(ReadAll(Root / "victim.txt"), "the user's");
  EXPECT_EQ(Mode(Root / "victim.txt"), 0600u);

  // The program started again finds the helper's report in its
  // environment.
  const std::string report = ReadAll(record.string() + ".report");
  EXPECT_EQ(report, (HandOver / helper::ReportFileName).string());
  AnsweredBoxes boxes;
  qputenv(helper::ReportVariable, QByteArray::fromStdString(report));
  U.reset(); // the first program has ended
  TauAutoUpgrader restarted;
  restarted.ProgramFolder = Prog.string() + "/";
  restarted.ReportInstall();
  EXPECT_EQ(boxes.Texts,
            Strings{"The update could not be installed completely: " +
                    (Prog / "docs" / "notes.txt").string() + ": a link stands in its place"});
  EXPECT_FALSE(qEnvironmentVariableIsSet(helper::ReportVariable));
  EXPECT_FALSE(HasTemp(Prog));
  EXPECT_FALSE(fs::exists(HandOver));
}

// Two copies of the program upgrade one folder: the second, while the first
// downloads and while the first's helper waits, says so and changes nothing;
// the folder is free once that helper has ended.
TEST_F(Engine, TwoCopiesUpgradingOneFolderTakeTurns) {
  AnsweredBoxes boxes;
  Waited program;
  U->WaitPid = program.Pid;
  bool downloading = false;
  U->OnFileStart = [&](auto&&...) { downloading = true; };
  const std::string slow(20, 's');
  Info("#version=9\r\n#url=" + Serve("slow.txt", slow, "?trickle") + "=slow.txt\r\n");
  U->CheckUpdate(false);
  ASSERT_TRUE(ProcessUntil([&] { return downloading; }));

  TauAutoUpgrader second;
  second.ProgramFolder = U->ProgramFolder;
  second.ProgramFile = U->ProgramFile;
  second.HandOverFolder = PrivateUpgradeFolder(Root.string());
  second.VersionControl = byNumber;
  second.ShowMessages = {};
  second.Wizard.Enabled = false;
  second.InfoFileURL =
      Serve("second.txt", "#version=9\r\n#url=" + Serve("other.txt", "other") + "=slow.txt\r\n");
  Strings told;
  second.OnAborted = [&](TauAutoUpgrader*) { told.push_back("aborted"); };
  second.OnDoOwnCloseAppMethod = [&](TauAutoUpgrader*) { told.push_back("close"); };
  auto secondRun = [&] {
    told.clear();
    second.CheckUpdate(false);
    return ProcessUntil([&] { return !told.empty() && !second.UpgradeBusy(); });
  };
  ASSERT_TRUE(secondRun());
  EXPECT_EQ(told, Strings{"aborted"});
  EXPECT_EQ(boxes.Texts, Strings{UpgradeUnderWayText});
  // The first copy's download went on whole, and its helper waits.
  ASSERT_TRUE(ProcessUntil([&] { return Ended; }));
  EXPECT_EQ(Events, (Strings{"begin", "file done", "end", "close"}));
  EXPECT_EQ(ReadAll(Prog / "slow.txt.uTMP"), slow);
  // The helper holds the folder beyond the first copy's engine.
  U.reset();
  ASSERT_TRUE(secondRun());
  EXPECT_EQ(told, Strings{"aborted"});
  EXPECT_EQ(boxes.Texts.size(), 2u);
  // The first copy ends: its helper installs the whole download and ends.
  program.End();
  ASSERT_TRUE(ProcessUntil([&] { return !FolderLocked(Prog); }));
  EXPECT_EQ(ReadAll(Prog / "slow.txt"), slow);
}

// The helper ends before the user presses OK on the completed wizard: the
// update cannot be installed, what was downloaded goes, the program stays.
TEST_F(Engine, OkAfterTheHelperEndedKeepsTheProgram) {
  AnsweredBoxes boxes;
  U->Wizard.Enabled = true;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    TauAutoUpgraderWizardForm* w = UpgraderWizard();
    if (!w || !w->Completed()) return;
    user.stop();
    kill(U->HelperPid(), SIGKILL);
    siginfo_t ended;
    waitid(P_PID, U->HelperPid(), &ended, WEXITED | WNOWAIT); // left for the engine to reap
    w->Form().FinishBtn->click();
  });
  user.start(10);
  Write(Prog / "data.txt", "old");
  EXPECT_EQ(Check("#version=9\r\n#url=" + Serve("data.txt", "new") + "=data.txt\r\n"),
            (Strings{"begin", "file done", "end", "aborted"}));
  EXPECT_EQ(boxes.Texts, Strings{"The update cannot be installed: The upgrade helper has ended "
                                 "before the program did.\n\nThe program stays as it is."});
  EXPECT_FALSE(HasTemp(Prog));
  EXPECT_FALSE(fs::exists(HandOver / UpgraderFileName));
  EXPECT_FALSE(FolderLocked(Prog));
}

// A run abandoned where the system gives no process descriptors (an older
// kernel, a sandbox): its helper is ended all the same, and nothing is
// installed or started when the program ends.
TEST_F(Engine, AnAbandonedRunWithoutProcessDescriptorsRestartsNothing) {
  U->OpenPidFd = [](pid_t) {
    errno = ENOSYS;
    return -1;
  };
  Waited program;
  U->WaitPid = program.Pid;
  U->ProgramFile = (Prog / "restart").string();
  Write(Prog / "restart", "#!/bin/sh\ntouch \"$0.started\"\n", fs::perms(0755));
  Write(Prog / "data.txt", "old");
  EXPECT_EQ(Check("#version=9\r\n#url=" + Serve("data.txt", "new") + "=data.txt\r\n"),
            (Strings{"begin", "file done", "end", "close"}));
  U->AbortUpgrade(false); // the program stayed open, and the run is abandoned
  program.End();
  EXPECT_FALSE(ProcessUntil([&] { return fs::exists(Prog / "restart.started"); }, 1000));
  EXPECT_EQ(ReadAll(Prog / "data.txt"), "old");
}

// Started with SIGCHLD ignored (as some launchers leave it), the program has
// its dead children reaped by the system at once: a helper that died while
// the run waited gives its number to whatever process comes next. The run
// abandoned then signals nothing, with process descriptors and without.
TEST_F(Engine, AnAbandonedRunSignalsNoProcessThatTookTheHelpersNumber) {
  U->ProgramFile = "/bin/true";
  for (const bool descriptors : {true, false}) {
    SCOPED_TRACE(descriptors ? "with process descriptors" : "without process descriptors");
    if (!descriptors)
      U->OpenPidFd = [](pid_t) {
        errno = ENOSYS;
        return -1;
      };
    const int result = PidNamespace().Run([this](PidNamespace& space) {
      signal(SIGCHLD, SIG_IGN);
      U->RestartApplication("");
      const pid_t helper = U->HelperPid();
      if (!U->HelperLaunched() || helper <= 0) return 1;
      kill(helper, SIGKILL);
      for (int i = 0; i < 500 && kill(helper, 0) == 0; ++i)
        usleep(10000);
      if (space.Ask(helper) != helper) return int(PidNamespace::NoNumber);
      U->AbortUpgrade(false);
      return space.Ask(0) == 1 ? 0 : 2;
    });
    if (result == PidNamespace::NoNamespace) GTEST_SKIP() << "no PID namespace can be made here";
    if (result == PidNamespace::NoNumber)
      GTEST_SKIP() << "a PID namespace here cannot hand a chosen number on (ns_last_pid)";
    EXPECT_NE(result, 1) << "the helper did not start";
    EXPECT_NE(result, 2) << "the process that took the helper's number was killed";
    EXPECT_EQ(result, 0);
  }
}
