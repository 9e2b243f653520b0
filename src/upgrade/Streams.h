// The data streams of a transfer: the response kept in memory, or the output
// file. Lengths and positions are 64-bit.
#pragma once

#include "foundation/Exceptions.h"

#include <cstdint>
#include <string>

namespace bw {

class TauStream {
public:
  virtual ~TauStream() = default;
  virtual int64_t Size() const = 0;
  virtual int64_t Position() const = 0;
  // Moves to an offset from the start; returns the position reached, -1 on
  // failure.
  virtual int64_t Seek(int64_t position) = 0;
  // Both return the number of bytes moved, -1 on failure.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Everything from the current position to the end.
  std::string ReadToEnd();
};

class TauMemoryStream : public TauStream {
public:
  int64_t Size() const override { return static_cast<int64_t>(FData.size()); }
  int64_t Position() const override { return FPosition; }
  int64_t Seek(int64_t position) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // Room for this many bytes without moving the data again; the size stays.
  void Reserve(int64_t capacity) { FData.reserve(static_cast<size_t>(capacity)); }
  int64_t Capacity() const { return static_cast<int64_t>(FData.capacity()); }
  const std::string& Data() const { return FData; }

private:
  std::string FData;
  int64_t FPosition = 0;
};

// The file could not be opened or created.
class FCreateError : public Exception {
public:
  FCreateError(std::string message, int code) : Exception(std::move(message)), Code(code) {}
  // The system's error number.
  int Code;
  const char* ClassName() const noexcept override { return "EFCreateError"; }
};

// The output file, opened for reading and writing. Rewrite makes it anew:
// a file of this user under the name is removed first. Otherwise it is
// created when missing and continued when it is a file of this user with no
// other name; ClearAttributes opens a read-only one all the same and gives it
// back its mode afterwards. A link, a folder or another user's file under
// the name is never opened. FCreateError when it cannot be opened.
class TauFileStream : public TauStream {
public:
  TauFileStream(const std::string& fileName, bool clearAttributes, bool rewrite);
  TauFileStream(const TauFileStream&) = delete;
  TauFileStream& operator=(const TauFileStream&) = delete;
  ~TauFileStream() override;

  int64_t Size() const override;
  int64_t Position() const override { return FPosition; }
  int64_t Seek(int64_t position) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // Reads at an offset without moving the position.
  int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const;
  int Handle() const { return FHandle; }
  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
  int FHandle = -1;
  int64_t FPosition = 0;
};

} // namespace bw
