// The in-house growable array list: doubles when full, optionally halves after
// deletes, checks every index. Object lists may own their items.
#pragma once

#include "foundation/Assert.h"
#include "foundation/Exceptions.h"

#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace bw {

#define BW_LIST_ASSERT(cond) BW_ASSERT_IN(cond, "_ArrayListTemplate")

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
  // The capacity the list's growth rules give: doubled when full, halved
  // after deletes. Memory follows the items actually held, so a node's empty
  // child list or a short one costs little, while this number behaves as the
  // rules say.
  int Capacity() const { return FCapacity; }
  int InitialCapacity() const { return FInitialCapacity; }
  bool AutoShrink() const { return FAutoShrink; }
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool value) { FOwnsObjects = value; }

  void AddAll(const TPrivateArrayList& other) {
    for (const T& item : other.FItems)
      Add(item);
  }

  void Clear() {
    if constexpr (IsObjectList) {
      if (FOwnsObjects)
        for (int i = 0; i < FCount; ++i)
          delete FItems[static_cast<size_t>(i)];
    }
    std::vector<T>().swap(FItems);
    FCapacity = FInitialCapacity;
    FCount = 0;
  }

  // Room for `count` items without reallocating; the capacity the rules
  // give is not changed.
  void Reserve(int count) { FItems.reserve(static_cast<size_t>(count)); }

  void Add(T item) {
    if (FCount == FCapacity) FCapacity *= 2;
    FItems.push_back(std::move(item));
    ++FCount;
  }

  T GetItem(int index) const {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)];
  }
  void GetItem(int index, T& item) const { item = GetItem(index); }
  T operator[](int index) const { return GetItem(index); }

  void Delete(int index) {
    CheckIndex(index);
    if constexpr (IsObjectList) {
      if (FOwnsObjects) delete FItems[static_cast<size_t>(index)];
    }
    FItems.erase(FItems.begin() + index);
    --FCount;
    int half = FCapacity / 2;
    if (FAutoShrink && half >= FInitialCapacity && half >= FCount) FCapacity = half;
  }

  bool Equals(const TPrivateArrayList& other, bool ignoreOrder) const {
    if (FCount != other.FCount) return false;
    if (!ignoreOrder) {
      for (size_t i = 0; i < FItems.size(); ++i)
        if (!(FItems[i] == other.FItems[i])) return false;
      return true;
    }
    for (const T& item : FItems)
      if (!other.Contains(item)) return false;
    for (const T& item : other.FItems)
      if (!Contains(item)) return false;
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
    if (index1 != index2)
      std::swap(FItems[static_cast<size_t>(index1)], FItems[static_cast<size_t>(index2)]);
  }

  int IndexOf(const T& item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i] == item) return static_cast<int>(i);
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

  const T* begin() const { return FItems.data(); }
  const T* end() const { return FItems.data() + FItems.size(); }

private:
  void CheckIndex(int index) const {
    BW_LIST_ASSERT(index < FCount);
    BW_LIST_ASSERT(index >= 0);
  }

  std::vector<T> FItems;
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
