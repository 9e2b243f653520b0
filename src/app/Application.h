// The application object: an exception that escapes an event handler is
// reported to the user instead of ending the program, and work goes on.
#pragma once

#include <QApplication>

#include <functional>

namespace bw {

class TApplication : public QApplication {
public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the report; tests replace it. Class name and message of the
  // exception.
  std::function<void(const QString& className, const QString& message)> ReportError;
};

} // namespace bw
