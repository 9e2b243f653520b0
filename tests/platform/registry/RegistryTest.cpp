// What every registry store must do, run against the in-memory store and the
// settings file alike, so that tests of the code built on the in-memory store
// say something about the program.
#include "platform/registry/MemoryRegistry.h"
#include "platform/registry/QSettingsRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace bw;

namespace {

const TRootKeys User = TRootKeys::CURRENT_USER;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) {
  return bytes;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

template <typename Store>
class RegistryContract : public testing::Test {
protected:
  // Each test its own key: the settings file is shared by the tests of one
  // run of the program.
  std::string Path(std::string_view sub = "") const {
    std::string path = "SOFTWARE\\Contract\\";
    path += testing::UnitTest::GetInstance()->current_test_info()->name();
    path += testing::UnitTest::GetInstance()->current_test_info()->type_param();
    if (!sub.empty()) path += "\\" + std::string(sub);
    return path;
  }
  Store FStore;
};

using Stores = testing::Types<MemoryRegistryStore, QSettingsRegistryStore>;
TYPED_TEST_SUITE(RegistryContract, Stores);

TYPED_TEST(RegistryContract, TypedValuesComeBackAsWritten) {
  auto key = this->FStore.OpenKey(User, this->Path(), true);
  ASSERT_TRUE(key);
  const std::vector<uint8_t> margins = {0xe8, 0x03, 0, 0, 0xff, 0xff, 0xff, 0xff,
                                        0x00, 0x10, 0, 0, 0x2c, 0x00, 0x5b, 0x40};
  // Texts that a careless encoding would break: separators of the file
  // format, a tag of another type, line ends and non-ASCII letters.
  const std::string tricky = "C:/R&D/Zürich, a;b=c \"quoted\" [x] #1\n\tdword:00000001";
  EXPECT_TRUE(key->WriteDword("Zero", 0));
  EXPECT_TRUE(key->WriteDword("Max", 0xffffffffu));
  EXPECT_TRUE(key->WriteBinary("PageMargins", margins));
  EXPECT_TRUE(key->WriteBinary("Empty binary", {}));
  EXPECT_TRUE(key->WriteString("File 0", tricky));
  EXPECT_TRUE(key->WriteString("Empty", ""));
  EXPECT_TRUE(key->WriteString("At", "@Variant(x)"));

  EXPECT_EQ(key->ReadDword("Zero"), 0u);
  EXPECT_EQ(key->ReadDword("Max"), 0xffffffffu);
  EXPECT_EQ(key->ReadBinary("PageMargins"), margins);
  EXPECT_EQ(key->ReadBinary("Empty binary"), std::vector<uint8_t>{});
  EXPECT_EQ(key->ReadString("File 0"), tricky);
  EXPECT_EQ(key->ReadString("Empty"), "");
  EXPECT_EQ(key->ReadString("At"), "@Variant(x)");

  EXPECT_EQ(key->ValueType("Max"), RegistryValueType::Dword);
  EXPECT_EQ(key->ValueType("PageMargins"), RegistryValueType::Binary);
  EXPECT_EQ(key->ValueType("Empty"), RegistryValueType::String);
  EXPECT_EQ(Sorted(key->ValueNames()),
            (std::vector<std::string>{"At", "Empty", "Empty binary", "File 0", "Max", "PageMargins",
                                      "Zero"}));
}

TYPED_TEST(RegistryContract, AbsentAndOtherTypedValuesReadAsMissing) {
  auto key = this->FStore.OpenKey(User, this->Path(), true);
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->WriteDword("Landscape", 1));
  ASSERT_TRUE(key->WriteBinary("LastUpdateCheck", Bytes({0, 0, 0, 0, 0xb2, 0x2a, 0x25, 0xc1})));
  ASSERT_TRUE(key->WriteString("File 0", "/home/a.bwk"));

  EXPECT_EQ(key->ValueType("Absent"), RegistryValueType::None);
  EXPECT_FALSE(key->ReadDword("Absent"));
  EXPECT_FALSE(key->ReadBinary("Absent"));
  EXPECT_FALSE(key->ReadString("Absent"));

  EXPECT_FALSE(key->ReadBinary("Landscape"));
  EXPECT_FALSE(key->ReadString("Landscape"));
  EXPECT_FALSE(key->ReadDword("LastUpdateCheck"));
  EXPECT_FALSE(key->ReadString("LastUpdateCheck"));
  EXPECT_FALSE(key->ReadDword("File 0"));
  EXPECT_FALSE(key->ReadBinary("File 0"));
  // Value names are exact.
  EXPECT_FALSE(key->ReadDword("landscape"));

  // A write replaces a value of another type.
  ASSERT_TRUE(key->WriteString("Landscape", "yes"));
  EXPECT_EQ(key->ValueType("Landscape"), RegistryValueType::String);
  EXPECT_FALSE(key->ReadDword("Landscape"));
}

TYPED_TEST(RegistryContract, KeysOpenOnlyWhenThereOrCreated) {
  EXPECT_FALSE(this->FStore.OpenKey(User, this->Path(), false));
  EXPECT_FALSE(this->FStore.KeyExists(User, this->Path()));
  {
    auto key = this->FStore.OpenKey(User, this->Path("RecentFiles"), true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteString("File 0", "/a.bwk"));
  }
  EXPECT_TRUE(this->FStore.KeyExists(User, this->Path("RecentFiles")));
  // The parent came with it, and leading, trailing and doubled separators
  // name the same key.
  EXPECT_TRUE(this->FStore.KeyExists(User, this->Path()));
  auto again = this->FStore.OpenKey(User, "\\" + this->Path("\\RecentFiles\\"), false);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->ReadString("File 0"), "/a.bwk");
  // The other root is another store.
  EXPECT_FALSE(this->FStore.KeyExists(TRootKeys::LOCAL_MACHINE, this->Path("RecentFiles")));
}

TYPED_TEST(RegistryContract, DeletingValuesLeavesSubkeys) {
  auto key = this->FStore.OpenKey(User, this->Path(), true);
  auto sub = this->FStore.OpenKey(User, this->Path("RecentFiles"), true);
  ASSERT_TRUE(key && sub);
  ASSERT_TRUE(key->WriteDword("A", 1));
  ASSERT_TRUE(key->WriteString("B", "b"));
  ASSERT_TRUE(key->WriteBinary("C", Bytes({1})));
  ASSERT_TRUE(sub->WriteString("File 0", "/kept.bwk"));

  EXPECT_TRUE(key->DeleteValue("B"));
  EXPECT_FALSE(key->DeleteValue("B"));
  EXPECT_EQ(key->ValueType("B"), RegistryValueType::None);
  EXPECT_EQ(key->ReadDword("A"), 1u);

  EXPECT_TRUE(key->DeleteAllValues());
  EXPECT_TRUE(key->ValueNames().empty());
  EXPECT_FALSE(key->ReadDword("A"));
  EXPECT_EQ(sub->ReadString("File 0"), "/kept.bwk");
  auto reopened = this->FStore.OpenKey(User, this->Path("RecentFiles"), false);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(reopened->ReadString("File 0"), "/kept.bwk");
  EXPECT_TRUE(this->FStore.KeyExists(User, this->Path()));
}

} // namespace
