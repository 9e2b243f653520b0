// The upgrader's windows and engine need the application object for the
// whole program: headless unless the caller chose a platform, numbers as in
// the United States, and the upgrade's texts in English as the program sets
// them.
#include "upgrade/UpgraderMessages.h"

#include <QApplication>
#include <QLocale>

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                           "ALL_PROXY", "no_proxy", "NO_PROXY"})
    unsetenv(name);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Brantwick");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  bw::SetMessageBase(bw::LanguageBase(bw::wlEnglish));
  return RUN_ALL_TESTS();
}
