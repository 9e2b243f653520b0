// Widgets need the application object: one for the whole test program, on the
// offscreen platform unless the caller chose another, with settings kept in
// a folder of the test's own.
#include "app/Application.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class WidgetsApplicationEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    Config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", Config->path().toUtf8());
    App = std::make_unique<bw::TApplication>(Argc, Argv);
    QApplication::setApplicationDisplayName("Brantwick");
    // Number, money and date texts as in the United States, whatever the
    // machine's locale is.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
  void TearDown() override {
    App.reset();
    Config.reset();
  }

private:
  int Argc = 1;
  char Name[16] = "widget_tests";
  char* Argv[2] = {Name, nullptr};
  std::unique_ptr<QTemporaryDir> Config;
  std::unique_ptr<bw::TApplication> App;
};

[[maybe_unused]] ::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new WidgetsApplicationEnvironment);

} // namespace
