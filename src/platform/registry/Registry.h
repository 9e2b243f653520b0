// The per-user settings store, shaped like the registry the settings were
// first kept in: keys named by "\"-separated paths, each holding named values
// of a few types. Qt-free, so that the settings and the recent-file list can be
// tested against the in-memory store.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// LOCAL_MACHINE is the machine-wide store; it is read-only for the program.
enum class TRootKeys { LOCAL_MACHINE, CURRENT_USER };

// None: no such value. Other: a value this layer does not understand (for
// example one edited by hand); it reads as missing through every typed read.
enum class RegistryValueType { None, Dword, Binary, String, Other };

class RegistryKey {
public:
  virtual ~RegistryKey() = default;

  // In no particular order.
  virtual std::vector<std::string> ValueNames() const = 0;
  virtual RegistryValueType ValueType(std::string_view name) const = 0;

  // Empty for a missing value and for one of another type, so that a stray
  // value never stops a caller: it falls back to its default instead. Binary
  // reads give whatever bytes are there; the caller checks the size.
  virtual std::optional<uint32_t> ReadDword(std::string_view name) const = 0;
  virtual std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const = 0;
  virtual std::optional<std::string> ReadString(std::string_view name) const = 0;

  // False when the value could not be stored (a read-only key, a name the
  // backend cannot hold, a file that cannot be written). A write replaces a
  // value of any type.
  virtual bool WriteDword(std::string_view name, uint32_t value) = 0;
  virtual bool WriteBinary(std::string_view name, std::span<const uint8_t> bytes) = 0;
  virtual bool WriteString(std::string_view name, std::string_view value) = 0;

  // True when the value was there and is gone.
  virtual bool DeleteValue(std::string_view name) = 0;
  // The values of this key only; its subkeys and their values stay.
  virtual bool DeleteAllValues() = 0;
};

class RegistryStore {
public:
  virtual ~RegistryStore() = default;

  // Null when the key is missing and create is false, or when it cannot be
  // opened or created. Creating a key creates its missing parents. The store
  // must outlive the keys it hands out.
  virtual std::unique_ptr<RegistryKey> OpenKey(TRootKeys root, std::string_view path,
                                               bool create) = 0;
  virtual bool KeyExists(TRootKeys root, std::string_view path) const = 0;
};

// The components of a key path. Empty components (a leading, trailing or
// doubled "\") are dropped, so "\SOFTWARE\X\" names the same key as
// "SOFTWARE\X"; the empty path is the root itself.
std::vector<std::string> SplitKeyPath(std::string_view path);

} // namespace bw
