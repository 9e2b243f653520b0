#include "app/Application.h"

#include "foundation/Exceptions.h"

#include <QMessageBox>

namespace bw {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  ReportError = [](const QString& className, const QString& message) {
    QMessageBox::critical(nullptr, applicationDisplayName(), className + "\n\n" + message);
  };
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const Exception& e) {
    ReportError(e.ClassName(), QString::fromStdString(e.Message()));
  } catch (const std::exception& e) {
    ReportError("Exception", QString::fromUtf8(e.what()));
  }
  return false;
}

} // namespace bw
