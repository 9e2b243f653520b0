// Fonts, images and painters need a QGuiApplication: one for the whole test
// program, on the offscreen platform unless the caller chose another.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    App = std::make_unique<QGuiApplication>(Argc, Argv);
  }
  void TearDown() override { App.reset(); }

private:
  int Argc = 1;
  char Name[16] = "canvas_tests";
  char* Argv[2] = {Name, nullptr};
  std::unique_ptr<QGuiApplication> App;
};

[[maybe_unused]] ::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace
