// Exceptions that escape a command or an event handler go to one reporter,
// which the program sets to its error window; without one they are written
// to standard error. Either way the program goes on.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace bw {

using TExceptionReporter = std::function<void(std::exception_ptr)>;

// Installs the reporter and returns the one it replaces.
TExceptionReporter SetExceptionReporter(TExceptionReporter reporter);

// Hands the exception to the reporter. Call it inside the catch block, so
// that what the reporter records of the throw (its call stack) still
// belongs to this exception; it never throws. A SilentAbort is not an
// error: it is dropped without a report.
void ReportException(std::exception_ptr e) noexcept;

// Runs a handler's body; an exception leaving it is reported, not passed
// on. Every slot and event handler of ours runs through it: exceptions must
// never unwind through Qt's frames.
template <typename F>
void Guarded(F&& body) noexcept {
  try {
    std::forward<F>(body)();
  } catch (...) {
    ReportException(std::current_exception());
  }
}

// The class name the error report shows, without namespaces: the
// program's own name for its exceptions ("InvalidOperationException"), the
// C++ type for others ("out_of_range"), "Exception" for anything else.
std::string ExceptionClassName(std::exception_ptr e);
// The exception's message; empty for an exception that has none.
std::string ExceptionMessage(std::exception_ptr e);

// What the error report shows of an exception.
struct TExceptionDescription {
  std::string ClassName;
  std::string Message;
  // One line per frame, or "(stack not available)".
  std::string StackTrace;
};

// Call it inside the catch block, before anything else can throw: the stack
// is the one this thread recorded at its last throw, when that throw was
// this exception's.
TExceptionDescription DescribeException(std::exception_ptr e);

} // namespace bw
