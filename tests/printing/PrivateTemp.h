// Points TMPDIR at a private folder for one test, so that the test sees
// every temporary file that is made and every one that is left behind; and
// a file-size limit that stands for a full disk.
#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

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

// While it lives, no file of the process grows beyond the given size: a
// write past it fails (with the signal ignored) as on a full disk.
struct FileSizeLimit {
  rlimit Old{};
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &Old);
    rlimit small = Old;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &Old); }
};

} // namespace bw::test
