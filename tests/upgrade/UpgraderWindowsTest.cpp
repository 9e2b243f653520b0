#include "AnsweredBoxes.h"

#include "ui_AutoUpgraderPasswordForm.h"
#include "ui_AutoUpgraderUpgradeMessageForm.h"
#include "ui_AutoUpgraderWizardForm.h"
#include "upgrade/UpgraderWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bw;
using bw::test::AnsweredBoxes;

namespace {

struct FakeHost : TauUpgraderWindowsHost {
  int Aborts = 0, Signals = 0;
  std::string User = "alice", Password = "old";
  TauAutoUpgraderWizard Options;
  void AbortUpgrade(bool force) override {
    EXPECT_FALSE(force);
    ++Aborts;
  }
  void SignalWizardClosed() override { ++Signals; }
  std::string& HTTPUsernameRef() override { return User; }
  std::string& HTTPPasswordRef() override { return Password; }
  const TauAutoUpgraderWizard& WizardOptions() const override { return Options; }
};

// Acts on the dialog once it has come up modally.
template <typename Form, typename Act>
void WhileModal(Act act) {
  QTimer::singleShot(0, [act] {
    auto* form = qobject_cast<Form*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    act(*form);
  });
}

void Settle() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

} // namespace

TEST(AskDialog, TextTitleAndAnswers) {
  EXPECT_EQ(AskDialogText("Brantwick", ""),
            "A newer version of Brantwick was released.\n\nDo you want to update your version with "
            "the latest one?");
  EXPECT_EQ(AskDialogText("Brantwick", "Faster"),
            "A newer version of Brantwick was released.\n\nFaster\n\nDo you want to update your "
            "version with the latest one?");
  EXPECT_EQ(AskDialogTitle("untitled"), "<AppTitle>");
  EXPECT_EQ(AskDialogTitle("Brantwick"), "Brantwick");

  using Ask = TauAutoUpgraderUpgradeMessageForm;
  int labelBottom = 0;
  WhileModal<Ask>([&](Ask& f) {
    EXPECT_TRUE(f.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(f.Form().Label1->width(), 318 - 45 - 11);
    EXPECT_EQ(f.Form().Label1->textFormat(), Qt::PlainText);
    labelBottom = f.Form().Label1->geometry().bottom() + 1;
    EXPECT_EQ(f.height(), labelBottom + 45);
    f.Form().YesBtn->click();
  });
  EXPECT_TRUE(AskForUpgrade("<b>New</b>"));
  EXPECT_GT(labelBottom, 5);

  WhileModal<Ask>([](Ask& f) { f.Form().LaterBtn->click(); });
  EXPECT_FALSE(AskForUpgrade(""));
  // The close box means Later.
  WhileModal<Ask>([](Ask& f) { f.close(); });
  EXPECT_FALSE(AskForUpgrade(""));
}

// Shown once, without blocking; on request the address is hidden, the file
// size takes its place and the group closes up.
TEST(Wizard, ShowsOnceAndHidesTheAddressWhenAsked) {
  FakeHost host;
  host.Options.HideFileLocation = true;
  QPointer<TauAutoUpgraderWizardForm> w = ShowWizard(host);
  ASSERT_TRUE(w);
  EXPECT_EQ(UpgraderWizard(), w.data());
  Ui::TauAutoUpgraderWizardForm& ui = w->Form();
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(ui.LCurrentFile->title(), " Current file ");
  EXPECT_FALSE(ui.FinishBtn->isEnabled());
  EXPECT_TRUE(ui.CancelBtn->isDefault());
  EXPECT_TRUE(ui.AboutLabel->text().startsWith(' ') && ui.AboutLabel->text().endsWith(' '));
  EXPECT_TRUE(ui.FileURL->isHidden());
  EXPECT_TRUE(ui.LDownloadingFileFrom->isHidden());
  EXPECT_EQ(ui.LFileSize->y(), ui.LDownloadingFileFrom->y());
  EXPECT_EQ(ui.LCurrentFile->geometry(), QRect(136, 44, 319, 95));
  // A second call fills the same window and moves nothing again.
  EXPECT_EQ(ShowWizard(host), w.data());
  EXPECT_EQ(ui.LCurrentFile->geometry(), QRect(136, 44, 319, 95));
  // The address takes no keys.
  ui.FileURL->setText("http://host/file");
  QTest::keyClick(ui.FileURL, Qt::Key_Backspace);
  EXPECT_EQ(ui.FileURL->text(), "http://host/file");
  w->CloseSilently();
  Settle();
  EXPECT_TRUE(w.isNull());
}

TEST(Wizard, CancelAsksAndNoKeepsTheDownloadGoing) {
  FakeHost host;
  AnsweredBoxes boxes;
  QPointer<TauAutoUpgraderWizardForm> w = ShowWizard(host);
  boxes.Answer = maNo;
  w->Form().CancelBtn->click();
  QTest::keyClick(w.data(), Qt::Key_Escape);
  QCloseEvent closeBox;
  QApplication::sendEvent(w.data(), &closeBox);
  EXPECT_FALSE(closeBox.isAccepted());
  ASSERT_EQ(boxes.Texts.size(), 3u);
  EXPECT_EQ(boxes.Texts[0], "The update is not completed.\nWould you like to abort upgrading?");
  // Asked in the program's name, not the upgrade's.
  EXPECT_EQ(boxes.Captions[0], "Brantwick");
  EXPECT_TRUE(w && w->isVisible());
  EXPECT_EQ(host.Aborts, 0);
  EXPECT_EQ(host.Signals, 0);

  boxes.Answer = maYes;
  w->Form().CancelBtn->click();
  Settle();
  EXPECT_TRUE(w.isNull());
  EXPECT_EQ(UpgraderWizard(), nullptr);
  EXPECT_EQ(host.Aborts, 1);
  EXPECT_EQ(host.Signals, 1);
}

TEST(Wizard, CompletedStateAndFinishClosesWithoutAQuestion) {
  FakeHost host;
  AnsweredBoxes boxes;
  QPointer<TauAutoUpgraderWizardForm> w = ShowWizard(host);
  w->SetCompleted();
  Ui::TauAutoUpgraderWizardForm& ui = w->Form();
  EXPECT_EQ(ui.WizardTitle->text(), "Upgrade completed!");
  EXPECT_EQ(ui.AfterNote->text(), "The update of Brantwick has been successfully completed.\n\n"
                                  "Press the OK button to restart program.");
  EXPECT_FALSE(ui.AfterNote->isHidden());
  EXPECT_TRUE(ui.LCurrentFile->isHidden() && ui.LAllFiles->isHidden());
  EXPECT_FALSE(ui.CancelBtn->isEnabled());
  EXPECT_TRUE(ui.FinishBtn->isEnabled());
  EXPECT_EQ(ui.FinishBtn->text(), "&OK");
  ui.FinishBtn->click();
  Settle();
  EXPECT_TRUE(w.isNull());
  EXPECT_TRUE(boxes.Texts.empty());
  EXPECT_EQ(host.Signals, 1);
  EXPECT_EQ(host.Aborts, 0);
}

TEST(PasswordDialog, OkStoresTheNameAndPasswordCancelStoresNothing) {
  FakeHost host;
  WhileModal<TauAutoUpgraderPasswordForm>([](TauAutoUpgraderPasswordForm& f) {
    EXPECT_EQ(f.Form().Label1->text(),
              "Access to remote file \"setup.bin\" is password protected.\n\nPlease enter your "
              "username and password (received after registration) to continue software upgrade.");
    EXPECT_EQ(f.Form().UsernameEdit->text(), "alice");
    EXPECT_EQ(f.Form().PasswordEdit->text(), "");
    EXPECT_EQ(f.Form().PasswordEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f.height(), f.Form().Label1->geometry().bottom() + 1 + 98);
    f.Form().UsernameEdit->setText("bob");
    f.Form().PasswordEdit->setText("secret");
    f.Form().OKBtn->click();
  });
  EXPECT_TRUE(ShowPasswordDialog(host, "setup.bin"));
  EXPECT_EQ(host.User, "bob");
  EXPECT_EQ(host.Password, "secret");

  WhileModal<TauAutoUpgraderPasswordForm>([](TauAutoUpgraderPasswordForm& f) {
    f.Form().PasswordEdit->setText("other");
    f.Form().CancelBtn->click();
  });
  EXPECT_FALSE(ShowPasswordDialog(host, "setup.bin"));
  EXPECT_EQ(host.Password, "secret");
}

// A question comes over the upgrade's window that shows, which stays on top
// of the program (a question of the download over the wizard), else over
// the main window, as the question whether to update does. A wizard that
// goes while its question waits takes the question along: No.
TEST(UpgraderQuestions, ComeOverTheUpgradesWindowThatShowsElseOverTheMainWindow) {
  QMainWindow main;
  main.show();
  FakeHost host;
  QWidget* parent = nullptr;
  // The next dialog of its kind notes its parent and closes.
  auto noteParent = [&]<typename Form>(Form*) {
    WhileModal<Form>([&](Form& f) {
      parent = f.parentWidget();
      f.reject();
    });
  };
  const std::string refused = "notes.txt refused";
  noteParent(static_cast<QMessageBox*>(nullptr));
  EXPECT_EQ(ShowUpgraderMessage(refused, mbYesNo, miQuestion), maNo);
  EXPECT_EQ(parent, &main);
  noteParent(static_cast<TauAutoUpgraderUpgradeMessageForm*>(nullptr));
  EXPECT_FALSE(AskForUpgrade(""));
  EXPECT_EQ(parent, &main);

  QPointer<TauAutoUpgraderWizardForm> wizard = ShowWizard(host);
  noteParent(static_cast<QMessageBox*>(nullptr));
  ShowUpgraderMessage(refused, mbYesNo, miQuestion);
  EXPECT_EQ(parent, wizard.data());
  noteParent(static_cast<TauAutoUpgraderPasswordForm*>(nullptr));
  EXPECT_FALSE(ShowPasswordDialog(host, "setup.bin"));
  EXPECT_EQ(parent, wizard.data());
  WhileModal<QMessageBox>([&](QMessageBox&) {
    wizard->CloseSilently();
    Settle();
  });
  EXPECT_EQ(ShowUpgraderMessage(refused, mbYesNo, miQuestion), maNo);
  EXPECT_TRUE(wizard.isNull());
}
