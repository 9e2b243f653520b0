// The settings file itself: where it lies, what it holds, and what a file
// edited by hand reads as.
#include "platform/registry/QSettingsRegistry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>

#include <cstdlib>

using namespace bw;

namespace {

// The test main gives the program a settings folder of its own.
QString SettingsFile() {
  return QString::fromLocal8Bit(std::getenv("XDG_CONFIG_HOME")) + "/Calverick/Brantwick.ini";
}

QByteArray FileText() {
  QFile file(SettingsFile());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const TRootKeys User = TRootKeys::CURRENT_USER;
const char* const ProgramKey = "SOFTWARE\\Calverick\\Brantwick\\2";

TEST(RegistrySettingsFile, HoldsTaggedValuesUnderTheConfigFolder) {
  {
    QSettingsRegistryStore store;
    auto key = store.OpenKey(User, ProgramKey, true);
    auto recent = store.OpenKey(User, std::string(ProgramKey) + "\\RecentFiles", true);
    ASSERT_TRUE(key && recent);
    const std::vector<uint8_t> bytes = {0x00, 0xff, 0x7f, 0xa0};
    ASSERT_TRUE(key->WriteDword("Landscape", 42));
    ASSERT_TRUE(key->WriteBinary("PageMargins", bytes));
    ASSERT_TRUE(recent->WriteString("File 0", "/home/u/R&D.bwk"));
  }
  const QByteArray text = FileText();
  EXPECT_TRUE(text.contains("Landscape=dword:0000002a")) << text.constData();
  EXPECT_TRUE(text.contains("PageMargins=hex:00ff7fa0")) << text.constData();
  EXPECT_TRUE(text.contains("RecentFiles\\File%200=sz:/home/u/R&D.bwk")) << text.constData();

  // A new store reads what the file holds.
  QSettingsRegistryStore store;
  auto key = store.OpenKey(User, ProgramKey, false);
  auto recent = store.OpenKey(User, std::string(ProgramKey) + "\\RecentFiles", false);
  ASSERT_TRUE(key && recent);
  EXPECT_EQ(key->ReadDword("Landscape"), 42u);
  EXPECT_EQ(key->ReadBinary("PageMargins"), (std::vector<uint8_t>{0x00, 0xff, 0x7f, 0xa0}));
  EXPECT_EQ(recent->ReadString("File 0"), "/home/u/R&D.bwk");
  EXPECT_EQ(recent->ValueNames(), std::vector<std::string>{"File 0"});
}

TEST(RegistrySettingsFile, ValuesEditedByHandReadAsTheirTypeOrAsOther) {
  {
    // As another run of the program, or the user with an editor, left it.
    QFile file(SettingsFile());
    QDir().mkpath(QFileInfo(file).path());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\n[Hand]\n"
               "Upper=dword:0000002A\n"
               "Short=dword:2a\n"
               "HexUpper=hex:00FF\n"
               "Text=sz:\"a, b\"\n"
               "NoTag=hello\n"
               "UnknownTag=qword:0000000000000001\n"
               "BadDword=dword:xyz\n"
               "LongDword=dword:123456789\n"
               "EmptyDword=dword:\n"
               "OddHex=hex:abc\n"
               "NotHex=hex:zz\n"
               "List=sz:a, b\n"
               "Bytes=@ByteArray(sz:x)\n");
  }
  QSettingsRegistryStore store;
  auto key = store.OpenKey(User, "Hand", false);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadDword("Upper"), 42u);
  EXPECT_EQ(key->ReadDword("Short"), 42u);
  EXPECT_EQ(key->ReadBinary("HexUpper"), (std::vector<uint8_t>{0x00, 0xff}));
  EXPECT_EQ(key->ReadString("Text"), "a, b");
  for (const char* name : {"NoTag", "UnknownTag", "BadDword", "LongDword", "EmptyDword", "OddHex",
                           "NotHex", "List", "Bytes"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(key->ValueType(name), RegistryValueType::Other);
    EXPECT_FALSE(key->ReadDword(name));
    EXPECT_FALSE(key->ReadBinary(name));
    EXPECT_FALSE(key->ReadString(name));
  }
  EXPECT_EQ(key->ValueNames().size(), 13u);
  // Deleting every value also clears what this layer cannot read.
  EXPECT_TRUE(key->DeleteAllValues());
  EXPECT_TRUE(key->ValueNames().empty());
}

TEST(RegistrySettingsFile, NamesTheFileCannotHoldAreRefused) {
  QSettingsRegistryStore store;
  EXPECT_FALSE(store.OpenKey(User, "SOFTWARE\\a/b", true));
  auto key = store.OpenKey(User, "SOFTWARE\\Names", true);
  ASSERT_TRUE(key);
  // Not a value "b" in a key "a", nor a nameless value.
  EXPECT_FALSE(key->WriteString("a/b", "x"));
  EXPECT_FALSE(key->WriteString("a\\b", "x"));
  EXPECT_FALSE(key->WriteDword("", 1));
  EXPECT_TRUE(key->ValueNames().empty());
  EXPECT_FALSE(store.KeyExists(User, "SOFTWARE\\Names\\a"));
  EXPECT_EQ(key->ValueType("a/b"), RegistryValueType::None);
}

TEST(RegistrySettingsFile, MachineRootIsNeverWritten) {
  const QString machineFile =
      QSettings(QSettings::IniFormat, QSettings::SystemScope, "Calverick", "Brantwick").fileName();
  if (QFile::exists(machineFile)) GTEST_SKIP() << "this machine has a machine-wide file";
  QSettingsRegistryStore store;
  EXPECT_FALSE(store.OpenKey(TRootKeys::LOCAL_MACHINE, ProgramKey, true));
  EXPECT_FALSE(store.KeyExists(TRootKeys::LOCAL_MACHINE, ProgramKey));
  EXPECT_FALSE(QFile::exists(machineFile));
}

} // namespace
