#include "app/Application.h"

#include "foundation/ErrorReport.h"

namespace bw {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Brantwick");
  setOrganizationName("Calverick");
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
