#include "foundation/ErrorReport.h"

#include "foundation/Exceptions.h"
#include "foundation/ThrowTrace.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace bw {

namespace {

TExceptionReporter& Reporter() {
  static TExceptionReporter reporter;
  return reporter;
}

std::string WithoutNamespaces(std::string name) {
  // Template arguments may hold "::" themselves: cut before the first "<".
  const size_t angle = name.find('<');
  const size_t colon = name.rfind("::", angle == std::string::npos ? std::string::npos : angle);
  return colon == std::string::npos ? name : name.substr(colon + 2);
}

std::string Demangled(const char* mangled) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && name ? name.get() : mangled;
}

} // namespace

TExceptionReporter SetExceptionReporter(TExceptionReporter reporter) {
  std::swap(Reporter(), reporter);
  return reporter;
}

void ReportException(std::exception_ptr e) noexcept {
  try {
    try {
      if (e) std::rethrow_exception(e);
    } catch (const SilentAbort&) {
      return;
    } catch (...) {
    }
    if (Reporter()) {
      Reporter()(e);
      return;
    }
    std::fprintf(stderr, "%s: %s\n", ExceptionClassName(e).c_str(), ExceptionMessage(e).c_str());
  } catch (...) {
    std::fputs("An error occurred while an error was being reported.\n", stderr);
  }
}

std::string ExceptionClassName(std::exception_ptr e) {
  try {
    if (e) std::rethrow_exception(e);
  } catch (const Exception& x) {
    return x.ClassName();
  } catch (const std::exception& x) {
    return WithoutNamespaces(Demangled(typeid(x).name()));
  } catch (...) {
    if (const std::type_info* type = abi::__cxa_current_exception_type())
      return WithoutNamespaces(Demangled(type->name()));
  }
  return "Exception";
}

std::string ExceptionMessage(std::exception_ptr e) {
  try {
    if (e) std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return x.what();
  } catch (...) {
  }
  return {};
}

TExceptionDescription DescribeException(std::exception_ptr e) {
  const TThrowRecord record = LastThrowRecord();
  return {ExceptionClassName(e), ExceptionMessage(e), ThrowStackText(record, e)};
}

} // namespace bw
