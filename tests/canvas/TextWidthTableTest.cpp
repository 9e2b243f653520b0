#include "canvas/TextWidthTable.h"

#include <gtest/gtest.h>

#include <string>

using namespace bw;

TEST(TextWidthTable, FindsEveryTextByItsBytes) {
  TTextWidthTable table;
  int width = 0;
  EXPECT_FALSE(table.Find("", width));
  // Short texts in the slot, long ones beside it, texts that differ only
  // after 16 bytes or in a NUL, the empty text, negative widths.
  const std::string nul("a\0b", 3), nul2("a\0c", 3);
  const std::string longA = "A caption longer than sixteen bytes, A";
  const std::string longB = "A caption longer than sixteen bytes, B";
  table.Insert("", 0);
  table.Insert(nul, 11);
  table.Insert(nul2, 12);
  table.Insert(longA, 13);
  table.Insert(longB, -4);
  for (int i = 0; i < 5000; ++i)
    table.Insert("Node " + std::to_string(i), i);
  EXPECT_EQ(table.Size(), 5005u);
  for (int i = 0; i < 5000; ++i) {
    ASSERT_TRUE(table.Find("Node " + std::to_string(i), width));
    EXPECT_EQ(width, i);
  }
  ASSERT_TRUE(table.Find("", width));
  EXPECT_EQ(width, 0);
  ASSERT_TRUE(table.Find(nul2, width));
  EXPECT_EQ(width, 12);
  ASSERT_TRUE(table.Find(longA, width));
  EXPECT_EQ(width, 13);
  ASSERT_TRUE(table.Find(longB, width));
  EXPECT_EQ(width, -4);
  EXPECT_FALSE(table.Find("Node 5000", width));
  EXPECT_FALSE(table.Find("a", width));
  EXPECT_FALSE(table.Find(longA.substr(0, 37), width));

  table.Clear();
  EXPECT_EQ(table.Size(), 0u);
  EXPECT_FALSE(table.Find("Node 1", width));
  table.Insert("Node 1", 7);
  ASSERT_TRUE(table.Find("Node 1", width));
  EXPECT_EQ(width, 7);
}
