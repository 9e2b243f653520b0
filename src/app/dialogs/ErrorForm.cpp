#include "app/dialogs/ErrorForm.h"

#include "app/dialogs/Maker.h"
#include "ui_ErrorForm.h"

#include <QApplication>

#include <cstdio>

namespace bw {

TErrorForm::TErrorForm(QWidget* parent)
    : TParentedForm(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                Qt::WindowCloseButtonHint),
      FUi(std::make_unique<Ui::TErrorForm>()) {
  FUi->setupUi(this);
  FUi->WhiteTop->SetTitle("Unexpected Error");
  FUi->WhiteTop->SetMsg("An unhandled error occured in the application.");
  FUi->BottomLine->SetTitle(MakerWebAddress);
  // The report is only read: its fields in the button face's colour.
  for (QWidget* field :
       {static_cast<QWidget*>(FUi->ExceptionNameEdit), static_cast<QWidget*>(FUi->DescriptionEdit),
        static_cast<QWidget*>(FUi->StackTraceMemo)}) {
    QPalette face = field->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    field->setPalette(face);
  }
  connect(FUi->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TErrorForm::~TErrorForm() = default;

void TErrorForm::ShowReport(const TExceptionDescription& report) {
  if (FShowing) {
    Append(report);
    return;
  }
  FShowing = true;
  FAppended = 0;
  FUi->ExceptionNameEdit->setText(QString::fromStdString(report.ClassName));
  FUi->DescriptionEdit->setText(QString::fromStdString(report.Message));
  FUi->DescriptionEdit->setCursorPosition(0);
  FUi->StackTraceMemo->setPlainText(QString::fromStdString(report.StackTrace));
  FUi->OKButton->setFocus();
  // Over the window the user works in.
  if (QWidget* main = QApplication::activeWindow(); main && main != this)
    move(main->frameGeometry().center() - rect().center());
  struct Done {
    bool& Showing;
    ~Done() { Showing = false; }
  } done{FShowing};
  exec();
}

void TErrorForm::Append(const TExceptionDescription& report) {
  if (FAppended >= MaxAppendedReports) {
    std::fprintf(stderr, "%s: %s\n", report.ClassName.c_str(), report.Message.c_str());
    return;
  }
  ++FAppended;
  FUi->StackTraceMemo->appendPlainText(QString::fromStdString(
      "\n" + report.ClassName + ": " + report.Message + "\n" + report.StackTrace));
}

TErrorReportInstallation::TErrorReportInstallation(TErrorForm& form)
    : FPrevious(SetExceptionReporter([&form](std::exception_ptr e) {
        // First of all, while the record of the throw is still this one's.
        const TExceptionDescription report = DescribeException(e);
        form.ShowReport(report);
      })) {}

TErrorReportInstallation::~TErrorReportInstallation() {
  SetExceptionReporter(std::move(FPrevious));
}

} // namespace bw
