#include "app/Application.h"

#include "foundation/ErrorReport.h"

#include <csignal>

namespace bw {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Brantwick");
  setOrganizationName("Calverick");
  // A file-size limit (ulimit -f) must not end the program, and the unsaved
  // tree with it: a write beyond the limit then fails as on a full disk, and
  // the save says so.
  std::signal(SIGXFSZ, SIG_IGN);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportException(std::current_exception());
  }
  return false;
}

} // namespace bw
