#include "foundation/Exceptions.h"

#include <boost/stacktrace.hpp>

#include <sstream>

namespace bw {

struct Exception::Frames {
  boost::stacktrace::stacktrace Trace;
};

Exception::Exception(std::string message)
    : FMessage(std::move(message)),
      // Skip this constructor's own frame.
      FFrames(std::make_shared<Frames>(Frames{boost::stacktrace::stacktrace(1, 64)})) {}

std::string Exception::StackTrace() const {
  if (!FFrames) return {};
  std::ostringstream out;
  out << FFrames->Trace;
  return out.str();
}

AssertionFailure::AssertionFailure(const char* source, int line)
    : Exception("Assertion failure (" + std::string(source) + ", line " + std::to_string(line) +
                ")"),
      FSource(source), FLine(line) {}

} // namespace bw
