// The upgrade's tests need the application object for the whole program:
// the workers' synchronous calls run on its thread, and the windows are
// headless unless the caller chose a platform. Numbers are as in the United
// States and the upgrade's texts in English, as the program sets them.
// Proxies of the environment would send loopback requests elsewhere, so they
// are cleared. The upgrade may write into the user's own folders and the
// temporary folder; the tests give it a home and a temporary folder of their
// own, apart from the folders where they place their targets, so that a
// build under /tmp or the home folder judges those targets the same.
#include "upgrade/UpgraderMessages.h"

#include <QApplication>
#include <QLocale>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                           "ALL_PROXY", "no_proxy", "NO_PROXY"})
    unsetenv(name);
  const std::filesystem::path home =
      std::filesystem::current_path() / ("bw-upgrader-home-" + std::to_string(getpid()));
  std::filesystem::create_directories(home / "tmp");
  setenv("HOME", home.c_str(), 1);
  setenv("TMPDIR", (home / "tmp").c_str(), 1);
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
    unsetenv(name);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Brantwick");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  bw::SetMessageBase(bw::LanguageBase(bw::wlEnglish));
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return result;
}
