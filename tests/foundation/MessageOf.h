// The message of the exception of class E that f raises: one line per
// failure case in the tests, and a readable answer when f raises another
// class or nothing.
#pragma once

#include <exception>
#include <string>

namespace bw::test {

template <typename E>
std::string MessageOf(auto&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return std::string("<other exception> ") + e.what();
  }
  return "<no exception>";
}

} // namespace bw::test
