#include "app/recentfiles/RecentFileList.h"
#include "platform/registry/MemoryRegistry.h"

#include "foundation/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace bw;

namespace {

using Names = std::vector<std::string>;

const char* const ProgramKey = "SOFTWARE\\Calverick\\Brantwick\\2";
const char* const RecentKey = "SOFTWARE\\Calverick\\Brantwick\\2\\RecentFiles";
const TRootKeys User = TRootKeys::CURRENT_USER;

class FileHistoryTest : public testing::Test {
protected:
  FileHistoryTest() { FHistory.RegKey = ProgramKey; }

  // Added so that the first name ends on top.
  void Fill(const Names& names) {
    for (auto it = names.rbegin(); it != names.rend(); ++it)
      FHistory.AddFile(*it);
  }

  std::unique_ptr<RegistryKey> Recent() { return FStore.OpenKey(User, RecentKey, true); }

  MemoryRegistryStore FStore;
  TFileHistory FHistory{FStore};
};

TEST_F(FileHistoryTest, AddingAKnownNameExchangesItWithTheTop) {
  Fill({"A", "B", "C", "D"});
  ASSERT_EQ(FHistory.Files(), (Names{"A", "B", "C", "D"}));
  FHistory.AddFile("C");
  EXPECT_EQ(FHistory.Files(), (Names{"C", "B", "A", "D"}));
  FHistory.AddFile("C");
  EXPECT_EQ(FHistory.Files(), (Names{"C", "B", "A", "D"}));
  FHistory.AddFile("E");
  EXPECT_EQ(FHistory.Files(), (Names{"E", "C", "B", "A", "D"}));
  FHistory.AddFile("F");
  EXPECT_EQ(FHistory.Files(), (Names{"F", "E", "C", "B", "A", "D"}));
  // The seventh name drops the last one.
  FHistory.AddFile("G");
  EXPECT_EQ(FHistory.Files(), (Names{"G", "F", "E", "C", "B", "A"}));
  // A known name never drops one.
  FHistory.AddFile("A");
  EXPECT_EQ(FHistory.Files(), (Names{"A", "F", "E", "C", "B", "G"}));
}

TEST_F(FileHistoryTest, NamesDifferingInCaseAreDifferentFiles) {
  Fill({"/home/u/Plan.bwk", "/home/u/other.bwk"});
  FHistory.AddFile("/home/u/plan.bwk");
  EXPECT_EQ(FHistory.Files(), (Names{"/home/u/plan.bwk", "/home/u/Plan.bwk", "/home/u/other.bwk"}));
  FHistory.RemoveFile("/home/u/PLAN.bwk");
  EXPECT_EQ(FHistory.Files().size(), 3u);
  FHistory.RemoveFile("/home/u/Plan.bwk");
  EXPECT_EQ(FHistory.Files(), (Names{"/home/u/plan.bwk", "/home/u/other.bwk"}));
  FHistory.RemoveFile("/home/u/missing.bwk");
  EXPECT_EQ(FHistory.Files(), (Names{"/home/u/plan.bwk", "/home/u/other.bwk"}));
}

TEST_F(FileHistoryTest, SaveReplacesEveryValueWithNumberedNames) {
  {
    auto recent = Recent();
    ASSERT_TRUE(recent->WriteString("File 5", "/old.bwk"));
    ASSERT_TRUE(recent->WriteString("Stray", "/stray.bwk"));
    ASSERT_TRUE(recent->WriteDword("Count", 3));
    auto below = FStore.OpenKey(User, std::string(RecentKey) + "\\Below", true);
    ASSERT_TRUE(below->WriteString("Kept", "/kept.bwk"));
    auto program = FStore.OpenKey(User, ProgramKey, false);
    ASSERT_TRUE(program->WriteDword("Landscape", 1));
  }
  Fill({"/a.bwk", "/b.bwk"});
  ASSERT_TRUE(FHistory.Save());
  auto recent = Recent();
  std::vector<std::string> names = recent->ValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{"File 0", "File 1"}));
  EXPECT_EQ(recent->ReadString("File 0"), "/a.bwk");
  EXPECT_EQ(recent->ReadString("File 1"), "/b.bwk");
  // Neither the subkey nor the key above is touched.
  EXPECT_EQ(FStore.OpenKey(User, std::string(RecentKey) + "\\Below", false)->ReadString("Kept"),
            "/kept.bwk");
  EXPECT_EQ(FStore.OpenKey(User, ProgramKey, false)->ReadDword("Landscape"), 1u);
}

TEST_F(FileHistoryTest, ValueNamesAreFormattedWidthTwo) {
  EXPECT_EQ(TFileHistory::ValueName(0), "File 0");
  EXPECT_EQ(TFileHistory::ValueName(5), "File 5");
  EXPECT_EQ(TFileHistory::ValueName(10), "File10");
  // More than ten names keep their order through a save and a load.
  FHistory.NumerOfFiles = 12;
  Names files;
  for (char c = 'a'; c < 'a' + 12; ++c)
    files.push_back(std::string("/") + c + ".bwk");
  Fill(files);
  ASSERT_TRUE(FHistory.Save());
  EXPECT_EQ(Recent()->ReadString("File11"), "/l.bwk");
  TFileHistory loaded(FStore);
  loaded.RegKey = ProgramKey;
  loaded.NumerOfFiles = 12;
  loaded.Initialize();
  // "File 0" to "File 9" sort before "File10": the blank comes first.
  EXPECT_EQ(loaded.Files(), files);
}

TEST_F(FileHistoryTest, LoadTakesTheFirstSixNamesInCaseInsensitiveOrder) {
  {
    auto recent = Recent();
    const std::pair<const char*, const char*> values[] = {
        {"h", "/h.bwk"}, {"B", "/B.bwk"}, {"a", "/a.bwk"}, {"G", "/G.bwk"},
        {"c", "/c.bwk"}, {"E", "/E.bwk"}, {"d", "/d.bwk"}, {"F", "/F.bwk"}};
    for (auto [name, file] : values)
      ASSERT_TRUE(recent->WriteString(name, file));
  }
  FHistory.AddFile("/before.bwk");
  FHistory.Load();
  EXPECT_EQ(FHistory.Files(), (Names{"/a.bwk", "/B.bwk", "/c.bwk", "/d.bwk", "/E.bwk", "/F.bwk"}));
}

TEST_F(FileHistoryTest, LoadSkipsWhatIsNoFileName) {
  {
    auto recent = Recent();
    ASSERT_TRUE(recent->WriteDword("File 0", 7));
    ASSERT_TRUE(recent->WriteString("File 1", "/one.bwk"));
    ASSERT_TRUE(recent->WriteBinary("File 2", std::vector<uint8_t>{1, 2}));
    ASSERT_TRUE(recent->WriteString("File 3", ""));
    for (int i = 4; i < 10; ++i)
      ASSERT_TRUE(
          recent->WriteString(TFileHistory::ValueName(i), "/" + TFileHistory::ValueName(i)));
  }
  FHistory.Load();
  // The skipped values take no place among the six.
  EXPECT_EQ(FHistory.Files(),
            (Names{"/one.bwk", "/File 4", "/File 5", "/File 6", "/File 7", "/File 8"}));
}

TEST_F(FileHistoryTest, LoadCollapsesANameStoredTwice) {
  {
    auto recent = Recent();
    ASSERT_TRUE(recent->WriteString("File 0", "/x.bwk"));
    ASSERT_TRUE(recent->WriteString("File 1", "/y.bwk"));
    ASSERT_TRUE(recent->WriteString("File 2", "/z.bwk"));
    ASSERT_TRUE(recent->WriteString("File 3", "/x.bwk"));
    ASSERT_TRUE(recent->WriteString("File 4", "/w.bwk"));
  }
  FHistory.Load();
  // Added w, x, z, y, then x again, which changes places with y on top.
  EXPECT_EQ(FHistory.Files(), (Names{"/x.bwk", "/z.bwk", "/y.bwk", "/w.bwk"}));
}

TEST_F(FileHistoryTest, NamesEqualWithoutCaseSortByTheirBytes) {
  EXPECT_TRUE(TFileHistory::ValueNameLess("File 1", "file 1"));
  EXPECT_FALSE(TFileHistory::ValueNameLess("file 1", "File 1"));
  EXPECT_TRUE(TFileHistory::ValueNameLess("file 1", "FILE 2"));
}

TEST_F(FileHistoryTest, AMissingKeyLeavesTheList) {
  Fill({"/kept.bwk"});
  FHistory.Load();
  EXPECT_EQ(FHistory.Files(), (Names{"/kept.bwk"}));
  EXPECT_FALSE(FStore.KeyExists(User, RecentKey));
  // Initialising starts a new list.
  FHistory.Initialize();
  EXPECT_TRUE(FHistory.Files().empty());
  // Without a key the list is neither loaded nor saved anywhere.
  TFileHistory unnamed(FStore);
  unnamed.AddFile("/a.bwk");
  unnamed.Initialize();
  EXPECT_EQ(unnamed.Files(), (Names{"/a.bwk"}));
  EXPECT_FALSE(unnamed.Save());
  EXPECT_FALSE(FStore.KeyExists(User, "RecentFiles"));
}

TEST_F(FileHistoryTest, MenuCaptionsNumberTheEntriesAndShowEveryAmpersand) {
  Fill({"/home/u/R&D.bwk", "/b.bwk", "/c", "/d", "/e", "/f"});
  EXPECT_EQ(FHistory.MenuCaption(0), "&1 /home/u/R&&D.bwk");
  EXPECT_EQ(FHistory.MenuCaption(1), "&2 /b.bwk");
  EXPECT_EQ(FHistory.MenuCaption(5), "&6 /f");
  EXPECT_THROW(FHistory.MenuCaption(6), AssertionFailure);
}

} // namespace
