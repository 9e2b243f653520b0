// The per-user settings: the automatic-update answer, the time of the last
// update check that found nothing new, and the print margins and
// orientation. A settings object lives for one operation: made (it loads),
// read or changed, saved, dropped.
#pragma once

#include "foundation/DateTime.h"
#include "foundation/PageMargins.h"
#include "platform/registry/Registry.h"

#include <cstdint>

namespace bw {

class TSettings {
public:
  static constexpr const char* KeyPath = "SOFTWARE\\Calverick\\Brantwick\\2";

  // Loads at once.
  explicit TSettings(RegistryStore& store);

  bool AutoUpdateConfigured = false;
  bool CanCheckForAutoUpdate = false;
  DateTime LastUpdateCheck{0};
  TPageMargins PageMargins;
  bool Landscape = false;

  // A value that is missing, of another type or size, or a date that does
  // not decode reads as its missing value: one bad value never stops the
  // program.
  void Load();
  // Writes the values this object changed since it loaded, and every value
  // the store lacks or holds in a bad form. A value another operation wrote
  // in the meantime is kept: a dialog that held its settings across a modal
  // loop does not put back an old update time. False when a write failed.
  bool Save();

private:
  struct Values {
    bool AutoUpdateConfigured, CanCheckForAutoUpdate;
    DateTime LastUpdateCheck;
    TPageMargins PageMargins;
    bool Landscape;
  };
  // The values as stored, with a flag per value for "stored and readable".
  Values Read(bool valid[5]) const;

  RegistryStore& FStore;
  Values FLoaded{};
};

} // namespace bw
