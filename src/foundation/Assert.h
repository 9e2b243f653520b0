// Internal preconditions. Stays on in release builds: a compiled-out index
// check would be memory corruption, and an abort would never reach the error
// report.
#pragma once

#include "Exceptions.h"

#define BW_ASSERT_UNIT(cond, unit)                                                                 \
  do {                                                                                             \
    if (!(cond)) [[unlikely]]                                                                      \
      throw ::bw::AssertionFailure((unit), __LINE__);                                              \
  } while (false)

#define BW_ASSERT(cond) BW_ASSERT_UNIT(cond, ::bw::detail::UnitName(__FILE__))

namespace bw::detail {
// The unit is the source file's name without folder and extension.
constexpr const char* UnitName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/') name = p + 1;
  return name;
}
} // namespace bw::detail
