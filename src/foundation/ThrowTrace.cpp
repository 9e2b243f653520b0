#include "foundation/ThrowTrace.h"

#include <boost/stacktrace.hpp>

#include <dlfcn.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bw {

namespace {

using TThrowFunction = void (*)(void*, void*, void (*)(void*));

struct TThreadRecord {
  TThrowRecord Record;
  // Set while this thread records: a throw from inside the recording is
  // passed on unrecorded instead of recursing.
  bool Recording;
};

thread_local TThreadRecord ThreadRecord;

TThrowFunction ResolveRuntimeThrow() noexcept {
  return reinterpret_cast<TThrowFunction>(dlsym(RTLD_NEXT, "__cxa_throw"));
}

// Looked up before main, so that the first throw (perhaps a bad_alloc) does
// not have to.
TThrowFunction RuntimeThrow = ResolveRuntimeThrow();

[[gnu::noinline]] void Record(void* object) noexcept {
  TThreadRecord& thread = ThreadRecord;
  if (thread.Recording) return;
  thread.Recording = true;
  TThrowRecord& record = thread.Record;
  record.Object = object;
  // Skip this function and the throw entry point: the first frame is the
  // function that threw.
  const std::size_t stored =
      boost::stacktrace::safe_dump_to(2, record.Frames, sizeof(record.Frames));
  record.FrameCount = stored > 0 ? stored - 1 : 0;
  thread.Recording = false;
}

} // namespace

TThrowRecord LastThrowRecord() noexcept {
  return ThreadRecord.Record;
}

const void* ExceptionObject(std::exception_ptr e) noexcept {
  if (!e) return nullptr;
#if defined(__GLIBCXX__)
  // libstdc++'s exception_ptr is the address of the thrown object itself.
  static_assert(sizeof(std::exception_ptr) == sizeof(void*));
  const void* object;
  std::memcpy(&object, &e, sizeof object);
  return object;
#else
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return &x;
  } catch (...) {
  }
  return nullptr;
#endif
}

std::string ThrowStackText(const TThrowRecord& record, std::exception_ptr e) {
  if (!e || record.Object != ExceptionObject(e) || record.FrameCount == 0)
    return "(stack not available)";
  std::string text;
  const auto trace = boost::stacktrace::stacktrace::from_dump(
      record.Frames, record.FrameCount * sizeof(record.Frames[0]));
  for (const boost::stacktrace::frame& returnFrame : trace) {
    const auto address = reinterpret_cast<std::uintptr_t>(returnFrame.address());
    // Each frame holds a return address, which lies after its call and, for
    // a call that never returns (a throw), past the end of the function:
    // names and lines are looked up one byte before it.
    const boost::stacktrace::frame frame(reinterpret_cast<const void*>(address - 1));
    char line[64];
    std::snprintf(line, sizeof line, "[%016" PRIxPTR "] ", address);
    text += line;
    std::string name = frame.name();
    text += name.empty() ? "?" : name;
    Dl_info info{};
    if (dladdr(frame.address(), &info) != 0 && info.dli_saddr) {
      std::snprintf(line, sizeof line, " + 0x%" PRIxPTR,
                    address - reinterpret_cast<std::uintptr_t>(info.dli_saddr));
      text += line;
    }
    const std::string file = frame.source_file();
    if (!file.empty()) {
      const size_t slash = file.find_last_of('/');
      text += " (" + (slash == std::string::npos ? file : file.substr(slash + 1)) + ":" +
              std::to_string(frame.source_line()) + ")";
    }
    text += '\n';
  }
  return text;
}

} // namespace bw

// The C++ runtime's throw entry point, replaced for the whole program: the
// stack is recorded, then the runtime's own function throws. The second
// parameter is the thrown type's std::type_info.
extern "C" [[noreturn]] void __cxa_throw(void* object, void* type, void (*destroy)(void*)) {
  bw::Record(object);
  bw::TThrowFunction runtime = bw::RuntimeThrow ? bw::RuntimeThrow : bw::ResolveRuntimeThrow();
  if (!runtime) {
    std::fputs("The C++ runtime's __cxa_throw was not found.\n", stderr);
    std::abort();
  }
  runtime(object, type, destroy);
  __builtin_unreachable();
}
