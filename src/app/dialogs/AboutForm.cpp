#include "app/dialogs/AboutForm.h"

#include "app/core/UIStrings.h"
#include "app/dialogs/Maker.h"
#include "foundation/Conversions.h"
#include "foundation/ErrorReport.h"
#include "ui_AboutForm.h"
#include "widgets/BusyCursor.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QUrl>

namespace bw {

namespace {
const QColor Navy(0, 0, 128);
const QColor Red(255, 0, 0);
} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TAboutForm>()) {
  FUi->setupUi(this);
  FUi->WhiteTop->SetTitle("Brantwick by Calverick");
  FUi->WhiteTop->SetMsg(
      QString::fromStdString(UIStrings::Str(UIStrings::SVersion) + GetVersionStr(2)));
  FUi->BrantwickImage->setPixmap(ProductPicture(QSize(72, 72)));
  FUi->CompanyImage->setPixmap(MakerLogo(QSize(80, 38)));
  FUi->WebSiteLabel->setText(MakerWebAddress);
  QFont underlined = FUi->WebSiteLabel->font();
  underlined.setUnderline(true);
  FUi->WebSiteLabel->setFont(underlined);
  SetWebSiteColour(Navy);
  FUi->WebSiteLabel->installEventFilter(this);
  connect(FUi->CloseButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutForm::~TAboutForm() = default;

void TAboutForm::SetWebSiteColour(const QColor& colour) {
  QPalette p = FUi->WebSiteLabel->palette();
  p.setColor(QPalette::WindowText, colour);
  FUi->WebSiteLabel->setPalette(p);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FUi->WebSiteLabel &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
    Guarded([&] {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return;
      if (event->type() == QEvent::MouseButtonPress) {
        SetWebSiteColour(Red);
        return;
      }
      // A click is a release over the label.
      if (FUi->WebSiteLabel->rect().contains(mouse->position().toPoint())) WebSiteLabelClick();
      SetWebSiteColour(Navy);
    });
  }
  return TParentedForm::eventFilter(watched, event);
}

void TAboutForm::WebSiteLabelClick() {
  // The browser may take a moment to answer.
  TBusyCursor busy;
  QDesktopServices::openUrl(QUrl(MakerWebPage));
}

void ShowAboutBox() {
  TAboutForm form;
  form.exec();
}

} // namespace bw
