#include "foundation/PrivateArrayList.h"
#include "foundation/Guid.h"

#include <gtest/gtest.h>

using namespace bw;

namespace {
struct Counted {
  static inline int Alive = 0;
  Counted() { ++Alive; }
  ~Counted() { --Alive; }
};
} // namespace

TEST(PrivateArrayList, CapacityDoublesAndHalvesButNeverBelowInitial) {
  TPrivateArrayList<int> list(32, true);
  EXPECT_EQ(list.Capacity(), 32);
  for (int i = 0; i < 33; ++i)
    list.Add(i);
  EXPECT_EQ(list.Capacity(), 64);
  while (list.Count() > 33)
    list.Delete(0);
  EXPECT_EQ(list.Capacity(), 64);
  list.Delete(0); // leaves 32
  EXPECT_EQ(list.Capacity(), 32);
  while (list.Count() > 0)
    list.Delete(list.Count() - 1);
  EXPECT_EQ(list.Capacity(), 32);
  // Items moved down in order.
  TPrivateArrayList<int> order(2, true);
  for (int i = 0; i < 5; ++i)
    order.Add(i);
  order.Delete(1);
  EXPECT_EQ(order[0], 0);
  EXPECT_EQ(order[1], 2);
  EXPECT_EQ(order[3], 4);
}

TEST(PrivateArrayList, WithoutAutoShrinkOnlyClearReturnsToInitial) {
  TPrivateArrayList<int> list(2, false);
  for (int i = 0; i < 9; ++i)
    list.Add(i);
  EXPECT_EQ(list.Capacity(), 16);
  while (list.Count() > 0)
    list.Delete(0);
  EXPECT_EQ(list.Capacity(), 16);
  list.Add(1);
  list.Clear();
  EXPECT_EQ(list.Capacity(), 2);
  EXPECT_EQ(list.Count(), 0);
}

TEST(PrivateArrayList, IndexErrorsAreAssertionsAndLeaveTheListAlone) {
  TPrivateArrayList<int> list(4);
  list.Add(7);
  EXPECT_THROW(list.GetItem(1), AssertionFailure);
  EXPECT_THROW(list.GetItem(-1), AssertionFailure);
  EXPECT_THROW(list.Delete(1), AssertionFailure);
  EXPECT_THROW(list.Exchange(0, 1), AssertionFailure);
  EXPECT_THROW(TPrivateArrayList<int>(0), AssertionFailure);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], 7);
  try {
    list.GetItem(5);
  } catch (const AssertionFailure& e) {
    EXPECT_EQ(e.Source(), "_ArrayListTemplate");
  }
}

TEST(PrivateArrayList, GuidListEqualityContainsRemove) {
  Guid a = Guid::NewGuid(), b = Guid::NewGuid(), c = Guid::NewGuid();
  TPrivateArrayList<Guid> x, y;
  x.Add(a);
  x.Add(a);
  x.Add(b);
  y.Add(a);
  y.Add(b);
  y.Add(b);
  EXPECT_TRUE(x.Equals(y, true));
  EXPECT_FALSE(x.Equals(y, false));
  y.Add(c);
  EXPECT_FALSE(x.Equals(y, true)); // counts differ
  EXPECT_TRUE(y.Contains(c));
  EXPECT_EQ(y.IndexOf(b), 1);
  y.Remove(c, true);
  EXPECT_FALSE(y.Contains(c));
  EXPECT_NO_THROW(y.Remove(c, false));
  EXPECT_EQ(y.Count(), 3);
  try {
    y.Remove(c, true);
    FAIL();
  } catch (const ListError& e) {
    EXPECT_EQ(e.Message(), "Element not found");
  }
  TPrivateArrayList<Guid> z;
  z.AddAll(x);
  EXPECT_TRUE(z.Equals(x, false));
}

TEST(PrivateArrayList, OwningListsFreeWhatTheyDeleteOrClear) {
  {
    TPrivateArrayList<Counted*> owning(32, true, true);
    for (int i = 0; i < 3; ++i)
      owning.Add(new Counted);
    EXPECT_EQ(Counted::Alive, 3);
    owning.Delete(0);
    EXPECT_EQ(Counted::Alive, 2);
    Counted* kept = owning.Extract(0);
    EXPECT_EQ(Counted::Alive, 2);
    delete kept;
    owning.Add(new Counted);
  }
  EXPECT_EQ(Counted::Alive, 0);
  Counted item;
  {
    TPrivateArrayList<Counted*> borrowing(32, true, false);
    borrowing.Add(&item);
    borrowing.Remove(&item, true);
    borrowing.Add(&item);
    borrowing.Clear();
  }
  EXPECT_EQ(Counted::Alive, 1);
}

TEST(PrivateArrayList, ExchangeAndEnumerator) {
  int a = 1, b = 2;
  TPrivateArrayList<int*> list;
  auto empty = list.GetEnumerator();
  EXPECT_FALSE(empty.MoveNext());
  list.Add(&a);
  list.Add(&b);
  list.Exchange(0, 1);
  auto e = list.GetEnumerator();
  ASSERT_TRUE(e.MoveNext());
  EXPECT_EQ(e.GetCurrent(), &b);
  ASSERT_TRUE(e.MoveNext());
  EXPECT_EQ(e.GetCurrent(), &a);
  EXPECT_FALSE(e.MoveNext());
}
