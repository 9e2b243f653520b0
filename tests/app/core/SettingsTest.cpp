#include "app/core/Settings.h"
#include "platform/registry/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

using namespace bw;

namespace {
std::unique_ptr<RegistryKey> Key(RegistryStore& store) {
  return store.OpenKey(TRootKeys::CURRENT_USER, TSettings::KeyPath, true);
}
std::vector<uint8_t> DoubleBytes(double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  std::vector<uint8_t> out;
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  return out;
}
} // namespace

TEST(Settings, MissingValuesAndTheirFirstSave) {
  MemoryRegistryStore store;
  TSettings s(store);
  EXPECT_FALSE(s.AutoUpdateConfigured);
  EXPECT_FALSE(s.CanCheckForAutoUpdate);
  EXPECT_EQ(s.LastUpdateCheck.Ticks, 0);
  EXPECT_EQ(s.PageMargins, (TPageMargins{1000, 1000, 1000, 1000}));
  EXPECT_FALSE(s.Landscape);
  // Nothing changed, yet every value is written: after the first start all
  // five exist, in their forms.
  ASSERT_TRUE(s.Save());
  auto key = Key(store);
  EXPECT_EQ(key->ReadDword("AutoUpdateConfigured"), 0u);
  EXPECT_EQ(key->ReadDword("Landscape"), 0u);
  // "Never" is the serial of 0001-01-01.
  EXPECT_EQ(key->ReadBinary("LastUpdateCheck"),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0xb2, 0x2a, 0x25, 0xc1}));
  EXPECT_EQ(key->ReadBinary("PageMargins"),
            (std::vector<uint8_t>{0xe8, 0x03, 0, 0, 0xe8, 0x03, 0, 0, 0xe8, 0x03, 0, 0, 0xe8, 0x03,
                                  0, 0}));
}

TEST(Settings, ValuesRoundTrip) {
  MemoryRegistryStore store;
  {
    TSettings s(store);
    s.AutoUpdateConfigured = s.CanCheckForAutoUpdate = s.Landscape = true;
    s.LastUpdateCheck = DateTime::Create(2026, 12, 7, 8, 30, 15, 250);
    s.PageMargins = {-5, 2000, 70000, 1};
    ASSERT_TRUE(s.Save());
  }
  TSettings again(store);
  EXPECT_TRUE(again.AutoUpdateConfigured && again.CanCheckForAutoUpdate && again.Landscape);
  EXPECT_EQ(again.LastUpdateCheck.Ticks, DateTime::Create(2026, 12, 7, 8, 30, 15, 250).Ticks);
  EXPECT_EQ(again.PageMargins, (TPageMargins{-5, 2000, 70000, 1}));
  // Any non-zero DWORD is true.
  Key(store)->WriteDword("Landscape", 7);
  EXPECT_TRUE(TSettings(store).Landscape);
}

TEST(Settings, BadValuesReadAsMissingAndAreRewritten) {
  MemoryRegistryStore store;
  auto key = Key(store);
  key->WriteString("AutoUpdateConfigured", "yes");                // another type
  key->WriteBinary("PageMargins", std::vector<uint8_t>(15, 1));   // another size
  key->WriteBinary("LastUpdateCheck", DoubleBytes(std::nan(""))); // no date at all
  key->WriteDword("CanCheckForAutoUpdate", 1);
  TSettings s(store);
  EXPECT_FALSE(s.AutoUpdateConfigured);
  EXPECT_TRUE(s.CanCheckForAutoUpdate);
  EXPECT_EQ(s.LastUpdateCheck.Ticks, 0);
  EXPECT_EQ(s.PageMargins, TPageMargins{});
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(key->ReadDword("AutoUpdateConfigured"), 0u);
  EXPECT_EQ(key->ReadBinary("PageMargins")->size(), 16u);
  EXPECT_EQ(TSettings(store).LastUpdateCheck.Ticks, 0);
  // A date beyond the year 9999 is no date either.
  key->WriteBinary("LastUpdateCheck", DoubleBytes(1e9));
  EXPECT_EQ(TSettings(store).LastUpdateCheck.Ticks, 0);
}

TEST(Settings, AnOlderObjectDoesNotPutBackWhatAnotherWroteMeanwhile) {
  MemoryRegistryStore store;
  TSettings(store).Save();
  // The print window holds its settings while the user looks at the preview.
  TSettings printing(store);
  // Meanwhile an update check finds nothing new and records the time.
  DateTime checked = DateTime::Create(2026, 12, 1, 9, 0, 0, 0);
  {
    TSettings noUpdate(store);
    noUpdate.LastUpdateCheck = checked;
    ASSERT_TRUE(noUpdate.Save());
  }
  printing.Landscape = true;
  printing.PageMargins.Left = 500;
  ASSERT_TRUE(printing.Save());
  TSettings now(store);
  EXPECT_EQ(now.LastUpdateCheck.Ticks, checked.Ticks);
  EXPECT_TRUE(now.Landscape);
  EXPECT_EQ(now.PageMargins.Left, 500);
}
