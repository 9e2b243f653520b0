// Widgets and the clipboard need a QApplication for the whole program;
// headless unless the caller chose a platform.
#include <QApplication>

#include <gtest/gtest.h>

// A picture too large for memory must come back as a null image, not end
// the program: AddressSanitizer's allocator answers as malloc would. Only
// that sanitizer calls this, whichever compiler built it.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Brantwick");
  return RUN_ALL_TESTS();
}
