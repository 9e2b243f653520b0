// The call stack of every thrown C++ exception, recorded at the throw: the
// program replaces the C++ runtime's throw entry point with one that stores
// the stack of the thread in a fixed buffer of that thread, then throws as
// usual. Recording allocates nothing, so it works for bad_alloc as well;
// names are resolved only when a stack is shown. A rethrow keeps the record
// of the first throw.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace bw {

struct TThrowRecord {
  static constexpr std::size_t MaxFrames = 64;
  // The thrown object; null before the first throw of the thread.
  const void* Object = nullptr;
  // Frames stored, the throwing function first.
  std::size_t FrameCount = 0;
  void* Frames[MaxFrames + 1] = {};
};

// A copy of this thread's record of its last throw. Take it at once in the
// catch block: the next throw anywhere on the thread overwrites it.
TThrowRecord LastThrowRecord() noexcept;

// The address of the object an exception_ptr holds, as the throw saw it;
// null for an empty pointer.
const void* ExceptionObject(std::exception_ptr e) noexcept;

// The stack of the record when it belongs to the exception, one line per
// frame ("[address] function + offset (file:line)"); otherwise
// "(stack not available)".
std::string ThrowStackText(const TThrowRecord& record, std::exception_ptr e);

} // namespace bw
