// Failure classes shared by every subsystem. Each carries a fixed English
// message and names its own class, which the error report shows.
#pragma once

#include <exception>
#include <memory>
#include <string>

namespace bw {

class Exception : public std::exception {
public:
  explicit Exception(std::string message);
  const char* what() const noexcept override { return FMessage.c_str(); }
  const std::string& Message() const noexcept { return FMessage; }
  virtual const char* ClassName() const noexcept { return "Exception"; }
  // The call stack captured when the exception was made, rendered on demand:
  // capturing is cheap, resolving symbols is not.
  std::string StackTrace() const;

private:
  struct Frames;
  std::string FMessage;
  std::shared_ptr<const Frames> FFrames;
};

class ArgumentException : public Exception {
public:
  explicit ArgumentException(std::string message) : Exception(std::move(message)) {}
  ArgumentException(std::string message, std::string paramName)
      : Exception(std::move(message)), FParamName(std::move(paramName)) {}
  const std::string& ParamName() const noexcept { return FParamName; }
  const char* ClassName() const noexcept override { return "ArgumentException"; }

private:
  std::string FParamName;
};

class ArgumentNullException : public ArgumentException {
public:
  explicit ArgumentNullException(std::string paramName)
      : ArgumentException("Value cannot be null.", std::move(paramName)) {}
  const char* ClassName() const noexcept override { return "ArgumentNullException"; }
};

// Deliberately not an ArgumentException: a handler for bad arguments must not
// catch range errors.
class ArgumentOutOfRangeException : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "ArgumentOutOfRangeException"; }
};

class InvalidOperationException : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "InvalidOperationException"; }
};

class FormatException : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "FormatException"; }
};

// A list asked for an element or an index it does not have ("Element not
// found", "List index out of bounds (5)").
class ListError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EListError"; }
};

// A text that is not a number, or a number out of range.
class ConvertError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EConvertError"; }
};

// Ends an operation quietly: whoever catches it stops what it was doing, and
// the error report does not show it (a print job that a handler cancelled).
class SilentAbort : public Exception {
public:
  SilentAbort() : Exception("Operation aborted") {}
  const char* ClassName() const noexcept override { return "EAbort"; }
};

// A programming error caught by BW_ASSERT.
class AssertionFailure : public Exception {
public:
  AssertionFailure(const char* source, int line);
  const std::string& Source() const noexcept { return FSource; }
  int Line() const noexcept { return FLine; }
  const char* ClassName() const noexcept override { return "EAssertionFailed"; }

private:
  std::string FSource;
  int FLine;
};

} // namespace bw
