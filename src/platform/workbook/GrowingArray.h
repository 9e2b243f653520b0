// A growing array of plain values for the large arrays of the workbook
// reader: a part's bytes, a sheet's cells, texts. Its storage comes from
// realloc, which grows and shrinks a large block by remapping its pages
// instead of copying them, so that an array is held about once, not twice,
// at the moment it grows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace bw {

template <typename T>
class TGrowingArray {
  static_assert(std::is_trivially_copyable_v<T>);

public:
  TGrowingArray() = default;
  TGrowingArray(TGrowingArray&& other) noexcept
      : FData(std::exchange(other.FData, nullptr)), FSize(std::exchange(other.FSize, 0)),
        FCapacity(std::exchange(other.FCapacity, 0)) {}
  TGrowingArray& operator=(TGrowingArray&& other) noexcept {
    std::swap(FData, other.FData);
    std::swap(FSize, other.FSize);
    std::swap(FCapacity, other.FCapacity);
    return *this;
  }
  ~TGrowingArray() { std::free(FData); }

  size_t size() const { return FSize; }
  size_t capacity() const { return FCapacity; }
  bool empty() const { return FSize == 0; }
  T* data() { return FData; }
  const T* data() const { return FData; }
  T* begin() { return FData; }
  T* end() { return FData + FSize; }
  const T* begin() const { return FData; }
  const T* end() const { return FData + FSize; }
  T& operator[](size_t i) { return FData[i]; }
  const T& operator[](size_t i) const { return FData[i]; }
  T& back() { return FData[FSize - 1]; }
  const T& back() const { return FData[FSize - 1]; }

  // Room for count values in all.
  void reserve(size_t count) {
    if (count > FCapacity) Reallocate(count);
  }
  void push_back(const T& value) {
    if (FSize == FCapacity) Reallocate(Grown(1));
    FData[FSize++] = value;
  }
  void append(const T* values, size_t count) { std::copy_n(values, count, Extend(count)); }
  // Count more values, not yet set, at the end; where they begin.
  T* Extend(size_t count) {
    if (count > FCapacity - FSize) Reallocate(Grown(count));
    FSize += count;
    return FData + FSize - count;
  }
  // Drops the values from count on.
  void Truncate(size_t count) { FSize = std::min(FSize, count); }
  void shrink_to_fit() {
    if (FSize < FCapacity) Reallocate(FSize);
  }

private:
  size_t Grown(size_t more) const { return std::max({FSize + more, FCapacity * 2, size_t{16}}); }
  void Reallocate(size_t count) {
    if (count == 0) {
      std::free(std::exchange(FData, nullptr));
      FCapacity = 0;
      return;
    }
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* grown = std::realloc(FData, count * sizeof(T));
    if (!grown) throw std::bad_alloc();
    FData = static_cast<T*>(grown);
    FCapacity = count;
  }

  T* FData = nullptr;
  size_t FSize = 0;
  size_t FCapacity = 0;
};

} // namespace bw
