// Internal preconditions. Stays on in release builds: a compiled-out index
// check would be memory corruption, and an abort would never reach the error
// report.
#pragma once

#include "foundation/Exceptions.h"

#define BW_ASSERT_IN(cond, source)                                                                 \
  do {                                                                                             \
    if (!(cond)) [[unlikely]]                                                                      \
      throw ::bw::AssertionFailure((source), __LINE__);                                            \
  } while (false)

#define BW_ASSERT(cond) BW_ASSERT_IN(cond, ::bw::detail::SourceName(__FILE__))

namespace bw::detail {
// The name an assertion reports: the source file's name without its folder
// (the extension stays, "Layout.cpp").
constexpr const char* SourceName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/') name = p + 1;
  return name;
}
} // namespace bw::detail
