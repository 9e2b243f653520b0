#include "upgrade/InfoFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace bw;
namespace fs = std::filesystem;

TEST(InfoFile, ValuesAreFoundAnywhereWithoutRegardToCase) {
  EXPECT_EQ(ReadInfoValue("#date=01/02/2008\r\n#version=2.9", "#version", false), "2.9");
  EXPECT_EQ(ReadInfoValue("#VERSION=3.1\r\n", "#version", false), "3.1");
  // The first occurrence counts, also inside the message.
  EXPECT_EQ(ReadInfoValue("#message={see #Version=9}\r\n#version=2.0\r\n", "#version", false),
            "9}");
  // Not trimmed: the blank stays (and the version then does not convert).
  EXPECT_EQ(ReadInfoValue("#version=2.9 \r\n", "#version", false), "2.9 ");
  // A tab ends an unbraced value; a blank before "=" is another key.
  EXPECT_EQ(ReadInfoValue("#url=a\tb", "#url", false), "a");
  EXPECT_EQ(ReadInfoValue("#version =2.9", "#version", false), "");
  EXPECT_EQ(ReadInfoValue("", "#version", false), "");
  // Braced values span lines; without "}" they run to the end.
  EXPECT_EQ(ReadInfoValue("#message={One\r\nTwo}\r\n", "#message", true), "One\r\nTwo");
  EXPECT_EQ(ReadInfoValue("#message={Open\r\nend", "#message", true), "Open\r\nend");
  // Case folding keeps the offsets of text outside ASCII.
  EXPECT_EQ(ReadInfoValue("#message={Über}\n#Url=x", "#url", false), "x");
}

TEST(InfoFile, FileListKeys) {
  auto list = [](const std::string& text) { return ReadInfoFileList(text); };
  EXPECT_EQ(list("#url=a\n#url2=b\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(list("#url=a\n#url1=b\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(list("#url1=a\n#url2=b\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(list("#url0=a\n#url1=b\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(list("#url=a\n#url0=b\n#url2=x\n#url3=c\n"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(list("#url=a\n#url2=\n#url3=c\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(list("#url=http://h/p=%temp%x.dat\n"),
            (std::vector<std::string>{"http://h/p=%temp%x.dat"}));
  EXPECT_TRUE(list("#version=3\n").empty());
}

TEST(InfoFile, MethodAndEncoding) {
  EXPECT_EQ(ReadUpgradeMethod("#method=2"), umRedirectToURL);
  EXPECT_EQ(ReadUpgradeMethod("#method=1x"), umUseExternalSetup);
  EXPECT_EQ(ReadUpgradeMethod("#method=x1"), umSelfUpgrade);
  EXPECT_EQ(ReadUpgradeMethod(""), umSelfUpgrade);
  EXPECT_EQ(InfoFileText("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(InfoFileText("caf\xe9"), "caf\xc3\xa9");         // Latin-1
  EXPECT_EQ(InfoFileText("a\xe2\x82"), "a\xc3\xa2\xc2\x82"); // cut short: not UTF-8
}

TEST(InfoFile, VersionDatesAndNumbers) {
  int y, m, d;
  ASSERT_TRUE(StrToVersionDate("02/13/2008", y, m, d));
  EXPECT_EQ(VersionDateToStr(y, m, d), "02/13/2008");
  ASSERT_TRUE(StrToVersionDate("2/3/2008", y, m, d));
  EXPECT_EQ(VersionDateToStr(y, m, d), "02/03/2008");
  EXPECT_FALSE(StrToVersionDate("13/01/2008", y, m, d));
  EXPECT_FALSE(StrToVersionDate("02/30/2008", y, m, d));
  EXPECT_FALSE(StrToVersionDate("2008-01-02", y, m, d));
  EXPECT_FALSE(StrToVersionDate("02/13/2008 ", y, m, d));
  EXPECT_TRUE(IsNewerVersionDate("02/14/2008", "02/13/2008"));
  EXPECT_FALSE(IsNewerVersionDate("02/13/2008", "02/13/2008"));
  EXPECT_FALSE(IsNewerVersionDate("garbage", "02/13/2008"));
  // A comparison by characters gives their difference, which counts as
  // newer when positive.
  EXPECT_TRUE(IsNewerComparison(2));
  EXPECT_TRUE(IsNewerComparison(1));
  EXPECT_FALSE(IsNewerComparison(0));
  EXPECT_FALSE(IsNewerComparison(-3));
}

TEST(InfoFile, OnlyWebAddressesAreOpened) {
  EXPECT_TRUE(IsWebAddress("http://example.test/new"));
  EXPECT_TRUE(IsWebAddress("HTTPS://example.test/new"));
  EXPECT_TRUE(IsWebAddress("www.example.test/new"));
  EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(IsWebAddress("ftp://example.test/x"));
  EXPECT_FALSE(IsWebAddress("javascript:alert(1)"));
  EXPECT_FALSE(IsWebAddress("/usr/bin/xterm"));
}

class UpgradeTargets : public ::testing::Test {
protected:
  fs::path Root = fs::temp_directory_path() / ("bw-targets-" + std::to_string(getpid()));
  fs::path Program = Root / "program";
  fs::path Outside = Root / "outside";
  void SetUp() override {
    fs::create_directories(Program / "sub");
    fs::create_directories(Outside);
    std::ofstream(Outside / "victim") << "x";
  }
  void TearDown() override { fs::remove_all(Root); }
  std::optional<std::string> Check(const std::string& target) {
    return CheckUpgradeTarget(target, {Program.string() + "/", "/nonexistent-folder/"});
  }
};

TEST_F(UpgradeTargets, InsideTheAllowedFoldersOnly) {
  EXPECT_EQ(Check((Program / "brantwick").string()), (Program / "brantwick").string());
  EXPECT_EQ(Check((Program / "new/deeper/help.chm").string()),
            (Program / "new/deeper/help.chm").string());
  EXPECT_EQ(Check(Program.string() + "/sub/../x.dat"), (Program / "x.dat").string());
  // Out by "..", by an absolute path, or above the root.
  EXPECT_FALSE(Check(Program.string() + "/../outside/victim"));
  EXPECT_FALSE(Check((Outside / "victim").string()));
  EXPECT_FALSE(Check("/../../etc/passwd"));
  EXPECT_FALSE(Check("relative/file"));
  // No file name.
  EXPECT_FALSE(Check(Program.string() + "/"));
  EXPECT_FALSE(Check(Program.string() + "/sub/."));
  EXPECT_FALSE(Check(Program.string() + "/sub/.."));
  EXPECT_FALSE(Check((Program / "sub").string())); // a folder
  EXPECT_FALSE(Check(""));
}

TEST_F(UpgradeTargets, LinksAreNotFollowedOut) {
  fs::create_directory_symlink(Outside, Program / "link");
  EXPECT_FALSE(Check((Program / "link/victim").string()));
  EXPECT_FALSE(Check((Program / "link/new/file").string()));
  fs::create_symlink(Outside / "victim", Program / "file-link");
  EXPECT_FALSE(Check((Program / "file-link").string()));
  // A link inside that stays inside is resolved.
  fs::create_directory_symlink(Program / "sub", Program / "inner");
  EXPECT_EQ(Check((Program / "inner/f").string()), (Program / "sub/f").string());
}
