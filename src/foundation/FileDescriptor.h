// A file descriptor that is closed when it goes out of scope.
#pragma once

#include <unistd.h>
#include <utility>

namespace bw {

class TFileDescriptor {
public:
  TFileDescriptor() = default;
  explicit TFileDescriptor(int fd) : FFd(fd) {}
  TFileDescriptor(TFileDescriptor&& other) noexcept : FFd(other.Release()) {}
  TFileDescriptor& operator=(TFileDescriptor&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~TFileDescriptor() { Reset(); }

  int Get() const { return FFd; }
  explicit operator bool() const { return FFd >= 0; }
  // Hands the descriptor over: it is no longer closed here.
  int Release() { return std::exchange(FFd, -1); }
  void Reset(int fd = -1) {
    if (FFd >= 0) ::close(FFd);
    FFd = fd;
  }

private:
  int FFd = -1;
};

} // namespace bw
