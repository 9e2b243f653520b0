#include "app/core/Settings.h"

#include "foundation/Exceptions.h"

#include <bit>
#include <cstring>

namespace bw {

namespace {

constexpr const char* Names[5] = {"AutoUpdateConfigured", "CanCheckForAutoUpdate",
                                  "LastUpdateCheck", "PageMargins", "Landscape"};

std::optional<bool> ReadFlag(const RegistryKey& key, const char* name) {
  if (auto v = key.ReadDword(name)) return *v != 0;
  return std::nullopt;
}

std::optional<DateTime> ReadDate(const RegistryKey& key, const char* name) {
  auto bytes = key.ReadBinary(name);
  if (!bytes || bytes->size() != 8) return std::nullopt;
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = bits << 8 | (*bytes)[static_cast<size_t>(i)];
  try {
    return DateTime::FromTDateTime(std::bit_cast<double>(bits));
  } catch (const Exception&) {
    return std::nullopt; // NaN, or a year outside 1 to 9999
  }
}

std::optional<TPageMargins> ReadMargins(const RegistryKey& key, const char* name) {
  auto bytes = key.ReadBinary(name);
  if (!bytes || bytes->size() != 16) return std::nullopt;
  int32_t v[4];
  for (int i = 0; i < 4; ++i) {
    uint32_t u = 0;
    for (int b = 3; b >= 0; --b)
      u = u << 8 | (*bytes)[static_cast<size_t>(4 * i + b)];
    v[i] = static_cast<int32_t>(u);
  }
  return TPageMargins{v[0], v[1], v[2], v[3]};
}

std::vector<uint8_t> LittleEndian(uint64_t bits, int bytes) {
  std::vector<uint8_t> out;
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  return out;
}

} // namespace

TSettings::TSettings(RegistryStore& store) : FStore(store) {
  Load();
}

TSettings::Values TSettings::Read(bool valid[5]) const {
  Values v{false, false, DateTime{0}, TPageMargins{}, false};
  for (int i = 0; i < 5; ++i)
    valid[i] = false;
  auto key = FStore.OpenKey(TRootKeys::CURRENT_USER, KeyPath, true);
  if (!key) return v;
  if (auto f = ReadFlag(*key, Names[0])) v.AutoUpdateConfigured = *f, valid[0] = true;
  if (auto f = ReadFlag(*key, Names[1])) v.CanCheckForAutoUpdate = *f, valid[1] = true;
  if (auto d = ReadDate(*key, Names[2])) v.LastUpdateCheck = *d, valid[2] = true;
  if (auto m = ReadMargins(*key, Names[3])) v.PageMargins = *m, valid[3] = true;
  if (auto f = ReadFlag(*key, Names[4])) v.Landscape = *f, valid[4] = true;
  return v;
}

void TSettings::Load() {
  bool valid[5];
  FLoaded = Read(valid);
  AutoUpdateConfigured = FLoaded.AutoUpdateConfigured;
  CanCheckForAutoUpdate = FLoaded.CanCheckForAutoUpdate;
  LastUpdateCheck = FLoaded.LastUpdateCheck;
  PageMargins = FLoaded.PageMargins;
  Landscape = FLoaded.Landscape;
}

bool TSettings::Save() {
  bool valid[5];
  Read(valid);
  auto key = FStore.OpenKey(TRootKeys::CURRENT_USER, KeyPath, true);
  if (!key) return false;
  bool ok = true;
  // Each value that is missing, unreadable or changed, in the order of Names.
  if (!valid[0] || AutoUpdateConfigured != FLoaded.AutoUpdateConfigured)
    ok &= key->WriteDword(Names[0], AutoUpdateConfigured ? 1 : 0);
  if (!valid[1] || CanCheckForAutoUpdate != FLoaded.CanCheckForAutoUpdate)
    ok &= key->WriteDword(Names[1], CanCheckForAutoUpdate ? 1 : 0);
  if (!valid[2] || LastUpdateCheck.Ticks != FLoaded.LastUpdateCheck.Ticks) {
    // 0 ticks ("never") is the serial of 0001-01-01.
    double serial = DateTime::ToTDateTime(LastUpdateCheck);
    ok &= key->WriteBinary(Names[2], LittleEndian(std::bit_cast<uint64_t>(serial), 8));
  }
  if (!valid[3] || !(PageMargins == FLoaded.PageMargins)) {
    std::vector<uint8_t> bytes;
    for (int32_t v : {PageMargins.Left, PageMargins.Top, PageMargins.Right, PageMargins.Bottom})
      for (uint8_t b : LittleEndian(static_cast<uint32_t>(v), 4))
        bytes.push_back(b);
    ok &= key->WriteBinary(Names[3], bytes);
  }
  if (!valid[4] || Landscape != FLoaded.Landscape)
    ok &= key->WriteDword(Names[4], Landscape ? 1 : 0);
  // What is stored now is what this object holds.
  FLoaded = {AutoUpdateConfigured, CanCheckForAutoUpdate, LastUpdateCheck, PageMargins, Landscape};
  return ok;
}

} // namespace bw
