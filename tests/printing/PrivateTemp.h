// Points TMPDIR at a private folder for one test, so that the test sees
// every temporary file that is made and every one that is left behind.
#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace bw::test {

struct PrivateTemp {
  QTemporaryDir Dir;
  QByteArray Old = qgetenv("TMPDIR");
  PrivateTemp() { qputenv("TMPDIR", Dir.path().toUtf8()); }
  ~PrivateTemp() {
    if (Old.isEmpty())
      qunsetenv("TMPDIR");
    else
      qputenv("TMPDIR", Old);
  }
  QStringList Files() const { return QDir(Dir.path()).entryList(QDir::Files); }
};

} // namespace bw::test
