// The page store: pages back to back in one stream, one loaded page, pages
// edited in place, memory and temporary file.
#include "printing/PageStore.h"
#include "printing/PrivateTemp.h"

#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

using namespace bw;
using bw::test::FileSizeLimit;
using bw::test::PrivateTemp;

namespace {

// A page whose picture holds n rectangles: its size grows with n.
TMetafilePage Page(int rectangles, int tag = 0) {
  TMetafilePage page;
  page.Extent = QSize(200 + tag, 100);
  QPainter painter(&page.Picture);
  for (int i = 0; i < rectangles; ++i)
    painter.fillRect(i, tag, 5, 5, QColor(i % 256, tag % 256, 0));
  return page;
}

// A page as the stream holds it: its extent and its picture, byte for byte.
QByteArray Bytes(const TMetafilePage& page) {
  return SerializePage(page);
}

} // namespace

TEST(PageStore, KeepsPagesBackToBackAndLoadsAPageOnce) {
  TMetafileList list;
  int changes = 0;
  list.OnChange = [&](TMetafileList&) { ++changes; };
  const TMetafilePage pages[] = {Page(3, 1), Page(5, 2), Page(7, 3)};
  int64_t offset = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list.Add(pages[i]), i);
    EXPECT_EQ(list.Offset(i), offset);
    offset += Bytes(pages[i]).size();
  }
  EXPECT_EQ(changes, 3);

  // A page is read from its own bytes only (a picture given more fails its
  // checksum and shows nothing), and only when another one was loaded.
  EXPECT_EQ(Bytes(list.Items(1)), Bytes(pages[1]));
  EXPECT_FALSE(list.Items(1).Picture.boundingRect().isEmpty());
  EXPECT_EQ(list.PageLoads(), 1);
  EXPECT_EQ(Bytes(list.Items(2)), Bytes(pages[2]));
  EXPECT_EQ(list.PageLoads(), 2);
  for (int outside : {-1, 3})
    EXPECT_THROW(list.Items(outside), ListError) << outside;

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(changes, 4);
  // An emptied store starts a new stream with the next page.
  EXPECT_EQ(list.Add(pages[2]), 0);
  EXPECT_EQ(Bytes(list.Items(0)), Bytes(pages[2]));
}

TEST(PageStore, RewritesAnEditedPageInPlaceAndMovesTheLaterPages) {
  TMetafileList list;
  for (int i = 0; i < 3; ++i)
    list.Add(Page(10, i));
  const QByteArray first = Bytes(Page(10, 0)), third = Bytes(Page(10, 2));
  const int64_t before = list.StreamSize();
  std::vector<int> rewritten;
  list.OnCurrentChange = [&](TMetafileList&, int index) { rewritten.push_back(index); };

  // Grows: the third page moves by the growth and is unchanged.
  list.EditPage(1, [](TMetafilePage& p) { p = Page(20, 1); });
  const int64_t grown = Bytes(Page(20, 1)).size() - Bytes(Page(10, 1)).size();
  ASSERT_GT(grown, 0);
  EXPECT_EQ(list.Offset(2), first.size() + Bytes(Page(20, 1)).size());
  EXPECT_EQ(list.StreamSize(), before + grown);
  EXPECT_EQ(Bytes(list.Items(0)), first);
  EXPECT_EQ(Bytes(list.Items(2)), third);
  EXPECT_EQ(Bytes(list.Items(1)), Bytes(Page(20, 1)));

  // Shrinks back: the stream is cut.
  list.EditPage(1, [](TMetafilePage& p) { p = Page(10, 1); });
  EXPECT_EQ(list.StreamSize(), before);
  EXPECT_EQ(Bytes(list.Items(2)), third);

  // Same size: written over, nothing moves.
  const int64_t offset2 = list.Offset(2);
  list.EditPage(1, [](TMetafilePage& p) { p.Extent = QSize(999, 100); });
  EXPECT_EQ(list.Offset(2), offset2);
  EXPECT_EQ(list.Items(1).Extent, QSize(999, 100));
  EXPECT_EQ(Bytes(list.Items(2)), third);

  // The last page: no offset changes, only the tail.
  list.EditPage(2, [](TMetafilePage& p) { p = Page(3, 2); });
  EXPECT_EQ(list.Offset(2), offset2);
  EXPECT_EQ(list.StreamSize(), offset2 + Bytes(Page(3, 2)).size());
  EXPECT_EQ(Bytes(list.Items(2)), Bytes(Page(3, 2)));
  EXPECT_EQ(rewritten, (std::vector<int>{1, 1, 1, 2}));
}

TEST(PageStore, MovesPagesBetweenMemoryAndATemporaryFile) {
  PrivateTemp temp;
  TMetafileList list;
  list.Add(Page(4, 0));
  list.Add(Page(6, 1));
  list.SetUseTempFile(true);
  const QString file = list.TempFileName();
  ASSERT_FALSE(file.isEmpty());
  EXPECT_TRUE(QFileInfo(file).fileName().startsWith("PP"));
  EXPECT_EQ(QFileInfo(file).size(), list.StreamSize());
  list.Add(Page(8, 2));
  EXPECT_EQ(Bytes(list.Items(0)), Bytes(Page(4, 0)));
  EXPECT_EQ(Bytes(list.Items(2)), Bytes(Page(8, 2)));

  list.SetUseTempFile(false);
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_TRUE(list.TempFileName().isEmpty());
  EXPECT_EQ(Bytes(list.Items(1)), Bytes(Page(6, 1)));

  list.SetUseTempFile(true);
  const QString second = list.TempFileName();
  EXPECT_TRUE(QFileInfo::exists(second));
  list.Clear();
  EXPECT_FALSE(QFileInfo::exists(second));
  EXPECT_TRUE(temp.Files().isEmpty());
  // A store that was empty makes its file with the first page.
  list.Add(Page(1, 0));
  EXPECT_TRUE(QFileInfo::exists(list.TempFileName()));
}

TEST(PageStore, AFailedMoveKeepsThePagesWhereTheyWereAndLeavesNoFile) {
  PrivateTemp temp;
  TMetafileList list;
  for (int i = 0; i < 20; ++i)
    list.Add(Page(200, i));
  ASSERT_GT(list.StreamSize(), 8192);

  {
    FileSizeLimit limit(4096);
    EXPECT_THROW(list.SetUseTempFile(true), StreamError);
  }

  EXPECT_FALSE(list.UseTempFile());
  EXPECT_TRUE(temp.Files().isEmpty());
  EXPECT_EQ(Bytes(list.Items(19)), Bytes(Page(200, 19)));
  // Once there is room, the move succeeds.
  list.SetUseTempFile(true);
  EXPECT_TRUE(list.UseTempFile());
  EXPECT_EQ(Bytes(list.Items(0)), Bytes(Page(200, 0)));
}
