// The printing tests need a QApplication (fonts, widgets, printers); the
// screen's resolution is pinned so that pixel sizes do not depend on it.
#include "printing/Units.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  bw::PinScreenDpi(96);
  return RUN_ALL_TESTS();
}
