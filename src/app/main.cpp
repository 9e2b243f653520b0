#include "app/Application.h"
#include "app/MainForm.h"
#include "app/dialogs/ErrorForm.h"
#include "foundation/Folders.h"
#include "platform/registry/QSettingsRegistry.h"
#include "upgrade/PrivateFolder.h"

int main(int argc, char** argv) {
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
