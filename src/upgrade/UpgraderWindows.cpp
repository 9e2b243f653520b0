#include "upgrade/UpgraderWindows.h"

#include "foundation/ErrorReport.h"
#include "ui_AutoUpgraderPasswordForm.h"
#include "ui_AutoUpgraderUpgradeMessageForm.h"
#include "ui_AutoUpgraderWizardForm.h"
#include "upgrade/UpgraderQuestionParent.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace bw {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
QString Text(int n) {
  return Q(LoadUpgraderString(n));
}

QPointer<TauAutoUpgraderUpgradeMessageForm> GAskDialog;
QPointer<TauAutoUpgraderWizardForm> GWizard;
QPointer<TauAutoUpgraderPasswordForm> GPasswordDialog;

// A word-wrapped label given its width takes the height of its text.
void FitLabel(QLabel* label, int width) {
  label->setFixedWidth(width);
  label->setFixedHeight(std::max(label->heightForWidth(width), label->fontMetrics().height()));
}

// The wizard's side picture when the program gives none: a download arrow
// on a blue gradient.
QPixmap DefaultSidePicture() {
  QPixmap picture(118, 218);
  QPainter p(&picture);
  QLinearGradient gradient(0, 0, 0, 218);
  gradient.setColorAt(0, QColor(32, 64, 144));
  gradient.setColorAt(1, QColor(120, 170, 230));
  p.fillRect(picture.rect(), gradient);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath arrow;
  arrow.moveTo(49, 60);
  arrow.lineTo(69, 60);
  arrow.lineTo(69, 110);
  arrow.lineTo(89, 110);
  arrow.lineTo(59, 145);
  arrow.lineTo(29, 110);
  arrow.lineTo(49, 110);
  arrow.closeSubpath();
  p.fillPath(arrow, QColor(255, 255, 255, 220));
  p.fillRect(QRect(29, 155, 60, 6), QColor(255, 255, 255, 220));
  return picture;
}

// Swallows every key, so the address can be selected but never changed.
class KeySwallower : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override {
    return event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
           event->type() == QEvent::ShortcutOverride;
  }
};

} // namespace

// ---- Options and texts ------------------------------------------------------

void TauAutoUpgraderWizard::SetLanguage(TauAutoUpgraderLanguage language) {
  if (language == FLanguage) return;
  FLanguage = language;
  if (language == wlAuto)
    DetectLanguage();
  else
    SetMessageBase(LanguageBase(language));
}

std::string AskDialogTitle(const std::string& applicationTitle) {
  if (applicationTitle.find(LoadString(DefaultTitleWordId)) != std::string::npos)
    return LoadString(AppTitleId);
  return applicationTitle;
}

std::string AskDialogText(const std::string& applicationTitle, const std::string& upgradeMsg) {
  const std::string message = upgradeMsg.empty() ? upgradeMsg : "\n" + upgradeMsg + "\n";
  return FormatUpgraderString(msgAskUpgrade, {AskDialogTitle(applicationTitle), message});
}

// ---- The ask dialog ---------------------------------------------------------

TauAutoUpgraderUpgradeMessageForm::TauAutoUpgraderUpgradeMessageForm(QWidget* parent)
    : TParentedForm(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      FUi(std::make_unique<Ui::TauAutoUpgraderUpgradeMessageForm>()) {
  FUi->setupUi(this);
  FUi->Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  connect(FUi->YesBtn, &QPushButton::clicked, this, [this] { Guarded([this] { accept(); }); });
  connect(FUi->LaterBtn, &QPushButton::clicked, this, [this] { Guarded([this] { reject(); }); });
}

TauAutoUpgraderUpgradeMessageForm::~TauAutoUpgraderUpgradeMessageForm() = default;

bool AskForUpgrade(const std::string& upgradeMsg) {
  if (GAskDialog) return false; // already asking
  // On the heap: a window it comes over that goes while it waits takes it
  // along, and the answer is Later.
  GAskDialog = new TauAutoUpgraderUpgradeMessageForm(UpgraderQuestionParent());
  SetUpgraderQuestionWindow(uqAskDialog, GAskDialog);
  TauAutoUpgraderUpgradeMessageForm& form = *GAskDialog;
  Ui::TauAutoUpgraderUpgradeMessageForm& ui = form.Form();
  FitLabel(ui.Label1, form.width() - ui.Label1->x() - 11);
  ui.Label1->setText(Q(AskDialogText(ApplicationTitle(), upgradeMsg)));
  FitLabel(ui.Label1, form.width() - ui.Label1->x() - 11);
  form.setWindowTitle(Text(msgCaption));
  ui.YesBtn->setText(Text(msgYes));
  ui.LaterBtn->setText(Text(msgLater));
  const int height = ui.Label1->geometry().bottom() + 1 + ui.BottomPanel->height();
  ui.BottomPanel->move(0, height - ui.BottomPanel->height());
  form.setFixedSize(form.width(), height);
  const bool yes = form.exec() == QDialog::Accepted;
  delete GAskDialog.data();
  return yes;
}

// ---- The wizard -------------------------------------------------------------

TauAutoUpgraderWizardForm::TauAutoUpgraderWizardForm(TauUpgraderWindowsHost& host, QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TauAutoUpgraderWizardForm>()), FHost(host) {
  FUi->setupUi(this);
  setFixedSize(size());
  QFont title("Times New Roman");
  title.setBold(true);
  title.setItalic(true);
  title.setPixelSize(19);
  FUi->WizardTitle->setFont(title);
  FUi->AfterNote->hide();
  // The address looks like a label in the highlight colour and takes no
  // keys.
  QPalette address = FUi->FileURL->palette();
  address.setColor(QPalette::Base, address.color(QPalette::Button));
  address.setColor(QPalette::Text, address.color(QPalette::Highlight));
  FUi->FileURL->setPalette(address);
  FUi->FileURL->installEventFilter(new KeySwallower(FUi->FileURL));
  // Engraved: a dark text over a light one, one pixel down and right.
  QPalette dark = FUi->AboutLabel->palette(), light = FUi->AboutShadow->palette();
  dark.setColor(QPalette::WindowText, dark.color(QPalette::Dark));
  light.setColor(QPalette::WindowText, light.color(QPalette::Light));
  FUi->AboutLabel->setPalette(dark);
  FUi->AboutShadow->setPalette(light);
  FUi->CancelBtn->setDefault(true);
  connect(FUi->FinishBtn, &QPushButton::clicked, this,
          [this] { Guarded([this] { CloseSilently(); }); });
  connect(FUi->CancelBtn, &QPushButton::clicked, this, [this] { Guarded([this] { reject(); }); });
}

TauAutoUpgraderWizardForm::~TauAutoUpgraderWizardForm() = default;

void TauAutoUpgraderWizardForm::SetCompleted() {
  FCompleted = true;
  ShowLastStep(Text(msgUpgradeCompleted),
               Q(FormatUpgraderString(msgUpdateCompletedNote, {ApplicationTitle()})));
}

void TauAutoUpgraderWizardForm::SetNothingInstalled() {
  FNothingInstalled = true;
  ShowLastStep(Text(msgError), NothingInstalledText);
}

void TauAutoUpgraderWizardForm::ShowLastStep(const QString& title, const QString& note) {
  FUi->WizardTitle->setText(title);
  FUi->AfterNote->setText(note);
  FitLabel(FUi->AfterNote, FUi->AfterNote->width());
  FUi->AfterNote->show();
  FUi->LCurrentFile->hide();
  FUi->LAllFiles->hide();
  FUi->CancelBtn->setEnabled(false);
  FUi->FinishBtn->setText(Text(msgOK));
  FUi->FinishBtn->setEnabled(true);
  FUi->FinishBtn->setDefault(true);
  FUi->FinishBtn->setFocus();
}

void TauAutoUpgraderWizardForm::CloseSilently() {
  FSilent = true;
  close();
}

bool TauAutoUpgraderWizardForm::ConfirmClose() {
  if (FSilent || FNothingInstalled) return true;
  // Asked in the program's name: the user is leaving its upgrade.
  if (ShowUpgraderMessage(LoadUpgraderString(msgAbortQuestion), mbYesNo, miQuestion,
                          ApplicationTitle()) != maYes)
    return false;
  FAbortAfterClose = true;
  return true;
}

void TauAutoUpgraderWizardForm::reject() {
  Guarded([this] {
    if (!ConfirmClose()) return;
    FSilent = true;
    close();
  });
}

void TauAutoUpgraderWizardForm::closeEvent(QCloseEvent* event) {
  Guarded([this, event] {
    if (!ConfirmClose()) {
      event->ignore();
      return;
    }
    event->accept();
    if (GWizard == this) GWizard = nullptr;
    hide();
    deleteLater();
    FHost.SignalWizardClosed();
    if (FAbortAfterClose) FHost.AbortUpgrade(false);
  });
}

TauAutoUpgraderWizardForm* ShowWizard(TauUpgraderWindowsHost& host) {
  const TauAutoUpgraderWizard& options = host.WizardOptions();
  const bool created = !GWizard;
  if (created) GWizard = new TauAutoUpgraderWizardForm(host);
  SetUpgraderQuestionWindow(uqWizard, GWizard);
  TauAutoUpgraderWizardForm& wizard = *GWizard;
  Ui::TauAutoUpgraderWizardForm& ui = wizard.Form();
  const QString about = " " + Q(LoadString(ComponentNameId)) + " ";
  ui.AboutLabel->setText(about);
  ui.AboutShadow->setText(about);
  wizard.setWindowFlag(Qt::WindowStaysOnTopHint, options.StayOnTop);
  if (created && options.HideFileLocation) {
    ui.FileURL->hide();
    ui.LDownloadingFileFrom->hide();
    ui.LFileSize->move(ui.LFileSize->x(), ui.LDownloadingFileFrom->y());
    ui.LTransferRate->move(ui.LTransferRate->x(), ui.LFileSize->y() + 16);
    ui.LEstimatedTime->move(ui.LEstimatedTime->x(), ui.LTransferRate->y() + 16);
    ui.ProgressCurrentFile->move(ui.ProgressCurrentFile->x(), ui.LEstimatedTime->y() + 20);
    const QRect group = ui.LCurrentFile->geometry();
    ui.LCurrentFile->setGeometry(group.x(), group.y() + 10, group.width(), group.height() - 30);
  }
  ui.Image1->setPixmap(options.Pic118x218.isNull() ? DefaultSidePicture() : options.Pic118x218);
  ui.LEstimatedTime->setText(Text(msgPreparing));
  wizard.setWindowTitle(Text(msgCaption));
  ui.WizardTitle->setText(Text(msgDownloadingFiles));
  ui.LCurrentFile->setTitle(" " + Text(msgCurrentFile) + " ");
  ui.LAllFiles->setTitle(" " + Text(msgAllFiles) + " ");
  ui.LDownloadingFileFrom->setText(Text(msgDownloadingFileFrom));
  ui.FinishBtn->setText(Text(msgNext));
  ui.CancelBtn->setText(Text(msgCancel));
  wizard.show();
  return &wizard;
}

TauAutoUpgraderWizardForm* UpgraderWizard() {
  return GWizard;
}

// ---- The password dialog ----------------------------------------------------

TauAutoUpgraderPasswordForm::TauAutoUpgraderPasswordForm(TauUpgraderWindowsHost& host,
                                                         QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TauAutoUpgraderPasswordForm>()) {
  FUi->setupUi(this);
  FUi->Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  connect(FUi->OKBtn, &QPushButton::clicked, this, [this, &host] {
    Guarded([this, &host] {
      host.HTTPUsernameRef() = FUi->UsernameEdit->text().toStdString();
      host.HTTPPasswordRef() = FUi->PasswordEdit->text().toStdString();
      accept();
    });
  });
  connect(FUi->CancelBtn, &QPushButton::clicked, this, [this] { Guarded([this] { reject(); }); });
}

TauAutoUpgraderPasswordForm::~TauAutoUpgraderPasswordForm() = default;

bool ShowPasswordDialog(TauUpgraderWindowsHost& host, const std::string& fileName) {
  if (GPasswordDialog) return false; // already asking
  // Over the wizard, on the heap as the ask dialog is.
  GPasswordDialog = new TauAutoUpgraderPasswordForm(host, UpgraderQuestionParent());
  SetUpgraderQuestionWindow(uqPasswordDialog, GPasswordDialog);
  TauAutoUpgraderPasswordForm& form = *GPasswordDialog;
  Ui::TauAutoUpgraderPasswordForm& ui = form.Form();
  ui.Label1->setText(Q(FormatUpgraderString(msgPasswordProtected, {fileName})));
  FitLabel(ui.Label1, form.width() - ui.Label1->x() - 18);
  form.setWindowTitle(Text(msgEnterPassword));
  ui.UsernameLab->setText(Text(msgUserName));
  ui.PasswordLab->setText(Text(msgPassword));
  ui.OKBtn->setText(Text(msgOK));
  ui.CancelBtn->setText(Text(msgCancel));
  ui.UsernameEdit->setText(Q(host.HTTPUsernameRef()));
  ui.PasswordEdit->clear();
  const int height = ui.Label1->geometry().bottom() + 1 + ui.BottomPanel->height();
  ui.BottomPanel->move(0, height - ui.BottomPanel->height());
  form.setFixedSize(form.width(), height);
  const bool ok = form.exec() == QDialog::Accepted;
  delete GPasswordDialog.data();
  return ok;
}

} // namespace bw
