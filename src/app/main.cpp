#include "app/Application.h"
#include "app/MainForm.h"
#include "app/dialogs/ErrorForm.h"
#include "foundation/Folders.h"
#include "platform/registry/QSettingsRegistry.h"
#include "upgrade/PrivateFolder.h"

#include <csignal>

int main(int argc, char** argv) {
  // A child stays this program's until the program reaps it, its number
  // with it: started with SIGCHLD ignored (as some launchers leave it), the
  // system would reap each child at once, and the number of an upgrade
  // helper that died could go to another process while the program still
  // holds it. Before any child is made.
  std::signal(SIGCHLD, SIG_DFL);
  bw::ShareTempFolder();
  bw::CaptureInstallReportName();
  bw::TApplication app(argc, argv);
  // One error report for the whole run, from here on.
  bw::TErrorForm errorForm;
  bw::TErrorReportInstallation errorReport(errorForm);
  bw::QSettingsRegistryStore registry;
  const QStringList arguments = bw::TApplication::arguments();
  bw::TMainForm window(registry, arguments.size() > 1 ? arguments.at(1) : QString());
  window.show();
  window.DecTreeWidget().setFocus();
  return app.exec();
}
