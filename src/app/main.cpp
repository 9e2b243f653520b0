#include "MainForm.h"
#include "QSettingsRegistry.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Brantwick");
  QApplication::setApplicationDisplayName("Brantwick");
  QApplication::setOrganizationName("Calverick");
  bw::QSettingsRegistryStore registry;
  const QStringList arguments = QApplication::arguments();
  bw::TMainForm window(registry, arguments.size() > 1 ? arguments.at(1) : QString());
  window.show();
  window.DecTreeWidget().setFocus();
  return app.exec();
}
