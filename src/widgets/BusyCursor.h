// The hourglass over the program while something long runs. Nested busy
// sections act as one: only the outermost sets and restores the cursor, and
// TCursorPause lifts it for a question or a modal window.
#pragma once

#include <QApplication>
#include <QCursor>

namespace bw {

class TBusyCursor {
public:
  TBusyCursor() : FOwn(QApplication::overrideCursor() == nullptr) {
    if (FOwn) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TBusyCursor() {
    if (FOwn) QApplication::restoreOverrideCursor();
  }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
  bool FOwn;
};

// Lifts every busy cursor while a question or a modal window shows, so that
// it is never shown under an hourglass, and puts them back afterwards.
class TCursorPause {
public:
  TCursorPause() {
    while (QApplication::overrideCursor()) {
      QApplication::restoreOverrideCursor();
      ++FCount;
    }
  }
  ~TCursorPause() {
    for (int i = 0; i < FCount; ++i)
      QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  TCursorPause(const TCursorPause&) = delete;
  TCursorPause& operator=(const TCursorPause&) = delete;

private:
  int FCount = 0;
};

} // namespace bw
