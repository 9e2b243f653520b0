#include "TestFiles.h"

#include "upgrade/AuStringList.h"

#include "foundation/Exceptions.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace bw {
namespace {

TEST(StringListTest, AddingBeyondMaxCountDropsTheFirstLine) {
  TauStringList list;
  list.MaxCount = 3;
  int changes = 0;
  list.OnChange = [&](TauStringList*) { ++changes; };
  for (const char* s : {"a", "b", "c"})
    list.Add(s);
  EXPECT_EQ(list.Add("d"), 2);
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"b", "c", "d"}));
  // The dropped line is not announced; the added ones are.
  EXPECT_EQ(changes, 4);
  list.MaxCount = 0;
  EXPECT_EQ(list.Add("e"), 0);
  EXPECT_EQ(list.Count(), 3);
}

TEST(StringListTest, SortedListsFindDuplicates) {
  TauStringList list;
  list.SetSorted(true);
  list.Add("pear");
  list.Add("Apple");
  list.Add("fig");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"Apple", "fig", "pear"}));
  EXPECT_EQ(list.Add("FIG"), 1);
  EXPECT_EQ(list.Count(), 3);
  list.Duplicates = TauStringList::dupError;
  EXPECT_THROW(list.Add("pear"), ListError);
  TauStringList unsorted;
  unsorted.Add("x");
  EXPECT_EQ(unsorted.Add("x"), 1);
}

TEST(StringListTest, NamesAndValues) {
  TauStringList list;
  list.Add("file=http://host/get?f=a");
  list.Add("plain");
  EXPECT_EQ(list.SeparatorPos(0), 5);
  EXPECT_EQ(list.GetItemName(0), "file");
  EXPECT_EQ(list.GetItemValue(0), "http://host/get?f=a");
  EXPECT_EQ(list.GetItemName(1), "plain");
  EXPECT_EQ(list.GetItemValue(1), "");
  list.LastSeparator = true;
  EXPECT_EQ(list.GetItemName(0), "file=http://host/get?f");
  EXPECT_EQ(list.GetItemValue(0), "a");
  list.LastSeparator = false;
  list.SetItemValue(0, "x");
  list.SetItemValue(1, "y");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"file=x", "plain"}));
}

TEST(StringListTest, SavesOnlyTheValues) {
  QTemporaryDir dir;
  std::string name = dir.filePath("queue.txt").toStdString();
  TauStringList list;
  list.Add("target=/opt/app/new.bin");
  list.Add("no separator");
  list.Add("empty=");
  list.SaveValuesToFile(name);
  EXPECT_EQ(test::ReadAll(name), "/opt/app/new.bin\r\n");

  // Without any value an existing file stays as it is.
  TauStringList none;
  none.Add("empty=");
  none.SaveValuesToFile(name);
  EXPECT_EQ(test::ReadAll(name), "/opt/app/new.bin\r\n");
}

} // namespace
} // namespace bw
