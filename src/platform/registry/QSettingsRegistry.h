// The registry layer over the per-user settings file that QSettings keeps:
// $XDG_CONFIG_HOME/Calverick/Brantwick.ini (by default under ~/.config). The
// machine-wide root reads the system file and is never written.
//
// A key path becomes a settings group ("SOFTWARE\Calverick\Brantwick\2" is
// the group "SOFTWARE/Calverick/Brantwick/2"), a value name a settings key
// under it. Each value carries its type in a tag at the front of the stored
// text: "dword:" and 8 lower-case hex digits, "hex:" and the bytes as pairs of
// lower-case hex digits, "sz:" and the text. Anything else is of type Other.
//
// Limits that the registry does not have: a key with no values and no subkeys
// is not kept in the file (it exists only while something is in it); key and
// value names cannot contain "/", and value names cannot contain "\" or be
// empty (such keys do not open, such values are never there and cannot be
// written).
#pragma once

#include "platform/registry/Registry.h"

namespace bw {

class QSettingsRegistryStore final : public RegistryStore {
public:
  std::unique_ptr<RegistryKey> OpenKey(TRootKeys root, std::string_view path, bool create) override;
  bool KeyExists(TRootKeys root, std::string_view path) const override;
};

} // namespace bw
