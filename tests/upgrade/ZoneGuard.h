// Pins the local time zone for one test and restores the previous one.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace bw::test {

class ZoneGuard {
public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) FOld = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (FOld)
      setenv("TZ", FOld->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

private:
  std::optional<std::string> FOld;
};

// Central European time: UTC+1, UTC+2 in summer.
inline constexpr const char* CentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

} // namespace bw::test
