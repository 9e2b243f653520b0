// The one main of every test program. Before anything else runs it gives the
// program folders of its own, so that no test reads or writes the user's: a
// home, the XDG configuration, data, cache and runtime folders and a
// temporary folder, all inside one folder that is removed at the end. It
// pins what differs between machines and sessions: the locale (C with
// UTF-8; Qt's number and date texts as in the United States), the screen's
// resolution (96 dpi, no scaling), Qt's offscreen platform, and no proxy
// (the tests' servers are on the loopback address).
//
// The build names the application object the program's tests need:
// BW_TEST_APPLICATION_GUI (fonts, images and painters),
// BW_TEST_APPLICATION_WIDGETS, BW_TEST_APPLICATION_PROGRAM (the program's
// own), or BW_TEST_APPLICATION_NONE (no Qt at all).
#if defined(BW_TEST_APPLICATION_PROGRAM)
#include "app/Application.h"
#define BW_TEST_QT 1
using TTestApplication = bw::TApplication;
#elif defined(BW_TEST_APPLICATION_WIDGETS)
#include <QApplication>
#define BW_TEST_QT 1
using TTestApplication = QApplication;
#elif defined(BW_TEST_APPLICATION_GUI)
#include <QGuiApplication>
#define BW_TEST_QT 1
using TTestApplication = QGuiApplication;
#endif

#ifdef BW_TEST_QT
#include <QDir>
#include <QLocale>
#include <QScreen>
#include <QStandardPaths>
#endif

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The private folder of this run.
fs::path Root;

const char* const UserFolders[][2] = {{"HOME", "home"},
                                      {"XDG_CONFIG_HOME", "config"},
                                      {"XDG_DATA_HOME", "data"},
                                      {"XDG_CACHE_HOME", "cache"},
                                      {"XDG_STATE_HOME", "state"},
                                      {"XDG_RUNTIME_DIR", "runtime"},
                                      {"TMPDIR", "tmp"}};

void UnsetMatching(bool (*matches)(const std::string& name)) {
  std::vector<std::string> names;
  for (char** e = environ; *e; ++e) {
    std::string name(*e, std::strcspn(*e, "="));
    if (matches(name)) names.push_back(name);
  }
  for (const std::string& name : names)
    unsetenv(name.c_str());
}

// False when the folders cannot be made: the tests must not run on the
// user's own.
bool UsePrivateFolders() {
  std::string pattern = (fs::temp_directory_path() / "bw-tests-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return false;
  Root = pattern;
  // Open to others as far as the temporary folder, which is everybody's as
  // the system's is: tests of permissions run their checks as another user.
  // The runtime folder is the user's alone, as the desktop makes it.
  if (chmod(Root.c_str(), 0755) != 0) return false;
  for (const auto& [variable, folder] : UserFolders) {
    std::error_code error;
    fs::create_directory(Root / folder, error);
    const mode_t mode = std::strcmp(variable, "TMPDIR") == 0 ? 01777 : 0700;
    if (error || chmod((Root / folder).c_str(), mode) != 0 ||
        setenv(variable, (Root / folder).c_str(), 1) != 0)
      return false;
  }
  return true;
}

void PinMachineAndSession() {
  UnsetMatching([](const std::string& name) { return name.starts_with("LC_"); });
  setenv("LC_ALL", "C.UTF-8", 1);
  setenv("LANG", "C.UTF-8", 1);
  unsetenv("LANGUAGE");
  UnsetMatching([](const std::string& name) {
    std::string lower;
    for (char c : name)
      lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.ends_with("_proxy");
  });
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_FONT_DPI", "96", 1);
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_USE_PHYSICAL_DPI",
                           "QT_STYLE_OVERRIDE", "QT_QPA_PLATFORMTHEME"})
    unsetenv(name);
}

} // namespace

// Every test program checks its own folders.
TEST(TestEnvironment, TheUsersFoldersAreThisProgramsOwn) {
  for (const auto& [variable, folder] : UserFolders) {
    const char* value = std::getenv(variable);
    ASSERT_NE(value, nullptr) << variable;
    EXPECT_EQ(fs::path(value), Root / folder) << variable;
    EXPECT_TRUE(fs::is_directory(value)) << variable;
  }
#ifdef BW_TEST_QT
  // What Qt takes for them (settings, file-dialog history, caches) lies there.
  const QString root = QString::fromStdString(Root.string()) + "/";
  for (auto location : {QStandardPaths::HomeLocation, QStandardPaths::GenericConfigLocation,
                        QStandardPaths::GenericDataLocation, QStandardPaths::GenericCacheLocation,
                        QStandardPaths::RuntimeLocation, QStandardPaths::TempLocation})
    EXPECT_TRUE(QStandardPaths::writableLocation(location).startsWith(root)) << location;
  EXPECT_TRUE(QDir::homePath().startsWith(root));
  EXPECT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96);
  EXPECT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 1);
  EXPECT_EQ(QLocale::system().name(), "C");
#endif
}

int main(int argc, char** argv) {
  if (!UsePrivateFolders()) {
    std::perror("bw tests: no private home and temporary folder");
    return 2;
  }
  PinMachineAndSession();
  ::testing::InitGoogleTest(&argc, argv);
  int result;
  {
#ifdef BW_TEST_QT
    TTestApplication app(argc, argv);
#ifndef BW_TEST_APPLICATION_PROGRAM
    // Message boxes and windows carry the program's name, as in the program.
    TTestApplication::setApplicationName("Brantwick");
    TTestApplication::setOrganizationName("Calverick");
#endif
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
#endif
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  fs::remove_all(Root, ignored);
  return result;
}
