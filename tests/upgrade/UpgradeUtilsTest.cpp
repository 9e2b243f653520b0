#include "ZoneGuard.h"

#include "upgrade/HttpDate.h"
#include "upgrade/Streams.h"
#include "upgrade/UpgradeUtils.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace bw::test {
namespace {

TEST(UpgradeUtilsTest, VersionsCompareAsNumbers) {
  EXPECT_EQ(CompareVersions("2.10", "2.9"), 1);
  EXPECT_EQ(CompareVersions("2.8", "2.8.0.0"), 0);
  EXPECT_EQ(CompareVersions("1.0", "1.1"), -1);
  EXPECT_EQ(CompareVersions("1.2.3.4.9", "1.2.3.4.1"), 0);
  // A part that is not a number decides by the characters of the texts.
  EXPECT_EQ(CompareVersions("2.9b", "2.7"), 2);
  EXPECT_EQ(CompareVersions("2..1", "2.0.1"), '.' - '0');
  EXPECT_EQ(CompareVersions("9 ", "9"), ' ');
  EXPECT_EQ(CompareVersions("3.1", "2.x"), 1);
}

TEST(UpgradeUtilsTest, SplitVersion) {
  using Parts = std::array<std::string, 4>;
  EXPECT_EQ(SplitVersion(""), (Parts{"0", "0", "0", "0"}));
  EXPECT_EQ(SplitVersion("2.8"), (Parts{"2", "8", "0", "0"}));
  EXPECT_EQ(SplitVersion("2..1"), (Parts{"2", "", "1", "0"}));
  EXPECT_EQ(SplitVersion("1.2.3.4.5"), (Parts{"1", "2", "3", "4"}));
}

TEST(UpgradeUtilsTest, PercentRoundsHalvesToEvenInSixtyFourBits) {
  EXPECT_EQ(GetPercent(1, 3), 33);
  EXPECT_EQ(GetPercent(2, 3), 67);
  EXPECT_EQ(GetPercent(1, 8), 12);
  EXPECT_EQ(GetPercent(3, 8), 38);
  EXPECT_EQ(GetPercent(5, 0), 0);
  EXPECT_EQ(GetPercent(3000000000LL, 6000000000LL), 50);
  EXPECT_EQ(GetPercent(10, 1), 255);
}

TEST(UpgradeUtilsTest, TextRoutines) {
  std::string left, right;
  SplitAtDelimiter("=", "a=b=c", left, 0, true, right);
  EXPECT_EQ(left + "|" + right, "a|b=c");
  SplitAtDelimiter("=", "a=b", left, 3, true, right);
  EXPECT_EQ(left + "|" + right, "a=|=b");
  SplitAtDelimiter("=", "ab", left, 0, true, right);
  EXPECT_EQ(left + "|" + right, "|ab");
  SplitAtDelimiter("=", "ab", left, 0, false, right);
  EXPECT_EQ(left + "|" + right, "ab|");
  EXPECT_EQ(LastPos("/", "a/b/c"), 4);
  EXPECT_EQ(LastPos("", "abc"), 0);
  EXPECT_EQ(StripLeadingChar("%%%x%", '%'), "x%");
  std::string s = "one;two";
  EXPECT_EQ(ExtractToken(s, ";", false), "one");
  EXPECT_EQ(s, "one;two");
  EXPECT_EQ(ExtractToken(s, ";", true), "one");
  EXPECT_EQ(s, "two");
  EXPECT_EQ(ExtractToken(s, ";", true), "two");
  EXPECT_EQ(s, "");
  EXPECT_EQ(IndexOfString("b", {"a", "b"}), 1);
  EXPECT_EQ(IndexOfString("B", {"a", "b"}), -1);
  EXPECT_EQ(DayOfWeekFromName("sun"), 1);
  EXPECT_EQ(DayOfWeekFromName("Sat"), 7);
  EXPECT_EQ(MonthFromName("dec"), 12);
  EXPECT_EQ(MonthFromName("December"), 0);
}

TEST(UpgradeUtilsTest, SplitCommandLine) {
  for (auto [line, program, params] :
       {std::array<std::string, 3>{R"( "/usr/bin/my browser" "%1" )", "/usr/bin/my browser", "%1"},
        {"/usr/bin/browser -new-window %1", "/usr/bin/browser", "-new-window %1"},
        {"viewer,open", "viewer", "open"}}) {
    std::string rest;
    SplitCommandLine(line, rest);
    EXPECT_EQ(line + "|" + rest, program + "|" + params);
  }
}

TEST(UpgradeUtilsTest, FolderMacrosExpandWithoutRegardToCase) {
  std::string temp = GetTempFolder();
  ASSERT_EQ(temp.back(), '/');
  EXPECT_EQ(ExpandPathMacros("%TEMP%new.bin", true), temp + "new.bin");
  EXPECT_EQ(ExpandPathMacros("%temp%\\sub\\new.bin", false), temp + "sub/new.bin");
  EXPECT_EQ(ExpandPathMacros("%Current%a%current%b", false),
            CurrentFolder() + "a" + CurrentFolder() + "b");
  EXPECT_EQ(ExpandPathMacros("lib\\new.so", true), CurrentFolder() + "lib/new.so");
  EXPECT_EQ(ExpandPathMacros("ab", true), "ab");
  EXPECT_EQ(ExpandPathMacros("/opt/x", true), "/opt/x");
  // Folders this system does not have refuse the target.
  EXPECT_EQ(ExpandPathMacros("%windows%x.dll", true), "");
  EXPECT_EQ(GetSpecialFolder(7), "");
  EXPECT_EQ(GetSpecialFolder(12), "");
  EXPECT_EQ(CurrentFolder() + QFileInfo(QString::fromStdString(ExeName())).fileName().toStdString(),
            ExeName());
}

TEST(UpgradeUtilsTest, FoldersAndFiles) {
  QTemporaryDir dir;
  std::string base = dir.path().toStdString();
  ForceFolders(base + "/a/b\\c/file.txt");
  EXPECT_TRUE(FolderExists(base + "/a/b/c"));
  EXPECT_FALSE(FolderExists(base + "/a/b/c/file.txt"));
  std::string file = base + "/a/f.bin";
  std::ofstream(file) << "12345";
  EXPECT_EQ(GetFileSize64(file), 5);
  EXPECT_EQ(GetFileSize64(base + "/none"), -1);

  ASSERT_TRUE(ApplyFileAttributes(file, {atrReadOnly, atrHidden}));
  struct stat st {};
  stat(file.c_str(), &st);
  EXPECT_FALSE(st.st_mode & S_IWUSR);
  ASSERT_TRUE(ApplyFileAttributes(file, {atrArchive}));
  stat(file.c_str(), &st);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
  EXPECT_FALSE(ApplyFileAttributes(base + "/none", {}));
}

// A local date is set as the instant it names, not shifted by the zone.
TEST(UpgradeUtilsTest, FileTimesAreSetFromTheInstant) {
  ZoneGuard zone(CentralEurope);
  QTemporaryDir dir;
  std::string file = dir.filePath("t.bin").toStdString();
  std::ofstream(file) << "x";
  struct stat before {};
  stat(file.c_str(), &before);
  TDateTime modified = ParseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT");
  ASSERT_TRUE(SetFileDateTimes(file, -1, modified, -1));
  struct stat after {};
  stat(file.c_str(), &after);
  EXPECT_EQ(after.st_mtime, 784111777);
  EXPECT_EQ(after.st_atime, before.st_atime);
  EXPECT_FALSE(SetFileDateTimes(dir.filePath("none").toStdString(), -1, modified, -1));
}

TEST(UpgradeUtilsTest, ResourcesGoToTheStream) {
  static const unsigned char bytes[] = {1, 2, 3};
  RegisterEmbeddedResource("TESTDATA", "THREE", bytes, sizeof bytes);
  TauMemoryStream stream;
  ASSERT_TRUE(ResourceToStream("TESTDATA", "THREE", &stream));
  EXPECT_EQ(stream.Data(), std::string("\1\2\3"));
  EXPECT_FALSE(ResourceToStream("TESTDATA", "THREE", nullptr));
  EXPECT_FALSE(ResourceToStream("TESTDATA", "MISSING", &stream));
  RegisterEmbeddedResource("TESTDATA", "EMPTY", bytes, 0);
  EXPECT_FALSE(ResourceToStream("TESTDATA", "EMPTY", &stream));
}

class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Opened;
public slots:
  void Open(const QUrl& url) { Opened << url; }
};

TEST(UpgradeUtilsTest, OpenURLPutsHttpInFront) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("http", &catcher, "Open");
  QDesktopServices::setUrlHandler("https", &catcher, "Open");
  OpenURL("example.org/news", false);
  OpenURL("https://example.org/", true);
  QDesktopServices::unsetUrlHandler("http");
  QDesktopServices::unsetUrlHandler("https");
  EXPECT_EQ(catcher.Opened,
            (QList<QUrl>{QUrl("http://example.org/news"), QUrl("https://example.org/")}));
}

class RefusingWindow : public QMainWindow {
public:
  bool Refuse = true;

protected:
  void closeEvent(QCloseEvent* e) override { Refuse ? e->ignore() : e->accept(); }
};

TEST(UpgradeUtilsTest, CloseApplicationQuitsOnlyWhenTheWindowClosed) {
  RefusingWindow window;
  window.show();
  for (bool refuse : {true, false}) {
    window.Refuse = refuse;
    // The program's own loop: quitting ends it at once, the guard later.
    bool endedByGuard = false;
    QTimer::singleShot(0, [] { CloseApplication(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
      endedByGuard = true;
      QCoreApplication::exit(0);
    });
    guard.start(200);
    QCoreApplication::exec();
    EXPECT_EQ(endedByGuard, refuse);
    EXPECT_EQ(window.isVisible(), refuse);
  }
}

} // namespace
} // namespace bw::test

#include "UpgradeUtilsTest.moc"
