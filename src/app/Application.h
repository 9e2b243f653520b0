// The application object, named "Brantwick" by "Calverick". It sets no
// display name: the desktop would append one to every window's caption.
// Our handlers report their own exceptions (see Guarded); one that still
// reaches the event dispatch is reported here, and work goes on.
#pragma once

#include <QApplication>

namespace bw {

class TApplication : public QApplication {
public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace bw
