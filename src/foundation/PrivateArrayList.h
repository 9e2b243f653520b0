// The in-house growable array list: doubles when full, optionally halves after
// deletes, checks every index. Object lists may own their items.
#pragma once

#include "Assert.h"
#include "Exceptions.h"

#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>

namespace bw {

#define BW_LIST_ASSERT(cond) BW_ASSERT_UNIT(cond, "_ArrayListTemplate")

template <typename T>
class TPrivateArrayListEnumerator;

template <typename T>
class TPrivateArrayList {
public:
  static constexpr bool IsObjectList = std::is_pointer_v<T>;

  explicit TPrivateArrayList(int initialCapacity = 32, bool autoShrink = true,
                             bool ownsObjects = false)
      : FInitialCapacity(initialCapacity), FCapacity(initialCapacity), FAutoShrink(autoShrink),
        FOwnsObjects(ownsObjects) {
    BW_LIST_ASSERT(initialCapacity >= 1);
  }
  TPrivateArrayList(const TPrivateArrayList&) = delete;
  TPrivateArrayList& operator=(const TPrivateArrayList&) = delete;
  ~TPrivateArrayList() {
    if (FOwnsObjects) Clear();
  }

  int Count() const { return FCount; }
  // The length of the storage. Storage itself is only allocated by the first
  // Add, so an unused list costs nothing beyond its header.
  int Capacity() const { return FCapacity; }
  int InitialCapacity() const { return FInitialCapacity; }
  bool AutoShrink() const { return FAutoShrink; }
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool value) { FOwnsObjects = value; }

  void AddAll(const TPrivateArrayList& other) {
    for (int i = 0; i < other.FCount; ++i)
      Add(other.FItems[i]);
  }

  void Clear() {
    if constexpr (IsObjectList) {
      if (FOwnsObjects)
        for (int i = 0; i < FCount; ++i)
          delete FItems[i];
    }
    FItems.reset();
    FCapacity = FInitialCapacity;
    FCount = 0;
  }

  void Add(T item) {
    if (!FItems) FItems = std::make_unique<T[]>(static_cast<size_t>(FCapacity));
    if (FCount == FCapacity) Resize(FCapacity * 2);
    FItems[FCount++] = std::move(item);
  }

  T GetItem(int index) const {
    CheckIndex(index);
    return FItems[index];
  }
  void GetItem(int index, T& item) const { item = GetItem(index); }
  T operator[](int index) const { return GetItem(index); }

  void Delete(int index) {
    CheckIndex(index);
    if constexpr (IsObjectList) {
      if (FOwnsObjects) delete FItems[index];
    }
    std::move(&FItems[index + 1], &FItems[FCount], &FItems[index]);
    --FCount;
    int half = FCapacity / 2;
    if (FAutoShrink && half >= FInitialCapacity && half >= FCount) Resize(half);
  }

  bool Equals(const TPrivateArrayList& other, bool ignoreOrder) const {
    if (FCount != other.FCount) return false;
    if (!ignoreOrder) {
      for (int i = 0; i < FCount; ++i)
        if (!(FItems[i] == other.FItems[i])) return false;
      return true;
    }
    for (int i = 0; i < FCount; ++i)
      if (!other.Contains(FItems[i])) return false;
    for (int i = 0; i < other.FCount; ++i)
      if (!Contains(other.FItems[i])) return false;
    return true;
  }

  void Remove(const T& item, bool raiseIfMissing) {
    int index = IndexOf(item);
    if (index >= 0)
      Delete(index);
    else if (raiseIfMissing)
      throw ListError("Element not found");
  }

  bool Contains(const T& item) const { return IndexOf(item) != -1; }

  void Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    if (index1 != index2) std::swap(FItems[index1], FItems[index2]);
  }

  int IndexOf(const T& item) const {
    for (int i = 0; i < FCount; ++i)
      if (FItems[i] == item) return i;
    return -1;
  }

  // Takes the item out without freeing it, whatever the ownership.
  T Extract(int index) {
    T item = GetItem(index);
    bool owns = FOwnsObjects;
    FOwnsObjects = false;
    Delete(index);
    FOwnsObjects = owns;
    return item;
  }

  // Exchanges contents, capacities and flags with another list.
  void Swap(TPrivateArrayList& other) noexcept {
    std::swap(FItems, other.FItems);
    std::swap(FCount, other.FCount);
    std::swap(FInitialCapacity, other.FInitialCapacity);
    std::swap(FCapacity, other.FCapacity);
    std::swap(FAutoShrink, other.FAutoShrink);
    std::swap(FOwnsObjects, other.FOwnsObjects);
  }

  TPrivateArrayListEnumerator<T> GetEnumerator() const {
    return TPrivateArrayListEnumerator<T>(this);
  }

  const T* begin() const { return FItems.get(); }
  const T* end() const { return FItems.get() + FCount; }

private:
  void CheckIndex(int index) const {
    BW_LIST_ASSERT(index < FCount);
    BW_LIST_ASSERT(index >= 0);
  }

  void Resize(int capacity) {
    auto items = std::make_unique<T[]>(static_cast<size_t>(capacity));
    std::move(FItems.get(), FItems.get() + FCount, items.get());
    FItems = std::move(items);
    FCapacity = capacity;
  }

  std::unique_ptr<T[]> FItems;
  int FCount = 0;
  int FInitialCapacity;
  int FCapacity;
  bool FAutoShrink;
  bool FOwnsObjects;
};

template <typename T>
class TPrivateArrayListEnumerator {
public:
  explicit TPrivateArrayListEnumerator(const TPrivateArrayList<T>* list) : FList(list) {}
  bool MoveNext() { return ++FIndex < FList->Count(); }
  T GetCurrent() const { return FList->GetItem(FIndex); }
  int Index() const { return FIndex; }

private:
  const TPrivateArrayList<T>* FList;
  int FIndex = -1;
};

#undef BW_LIST_ASSERT

} // namespace bw
