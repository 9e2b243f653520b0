// The error report: a window with the class, the message and the call stack
// of an exception that escaped a command or an event handler. The program
// makes one after the application object, keeps it for the whole run and
// installs it as the exception reporter; after OK work goes on.
#pragma once

#include "foundation/ErrorReport.h"
#include "widgets/ParentedForm.h"

#include <memory>

namespace Ui {
class TErrorForm;
}

namespace bw {

class TErrorForm : public TParentedForm {
  Q_OBJECT
public:
  // Reports appended to an open window; more go to standard error.
  static constexpr int MaxAppendedReports = 50;

  explicit TErrorForm(QWidget* parent = nullptr);
  ~TErrorForm() override;

  // Shows the report modally. While the window is open (an exception raised
  // behind it, say by a paint handler on every repaint), a further report
  // is appended to the open one and no second modal loop starts.
  void ShowReport(const TExceptionDescription& report);
  bool Showing() const { return FShowing; }
  int AppendedReports() const { return FAppended; }

  Ui::TErrorForm& Form() { return *FUi; }

private:
  void Append(const TExceptionDescription& report);

  std::unique_ptr<Ui::TErrorForm> FUi;
  bool FShowing = false;
  int FAppended = 0;
};

// Installs the window as the reporter of escaped exceptions for its
// lifetime, and puts back the previous reporter after.
class TErrorReportInstallation {
public:
  explicit TErrorReportInstallation(TErrorForm& form);
  ~TErrorReportInstallation();
  TErrorReportInstallation(const TErrorReportInstallation&) = delete;
  TErrorReportInstallation& operator=(const TErrorReportInstallation&) = delete;

private:
  TExceptionReporter FPrevious;
};

} // namespace bw
