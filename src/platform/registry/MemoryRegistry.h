// A registry held in memory, for tests of the code built on the registry
// layer. Keys and value names compare exactly, as in the file backend.
#pragma once

#include "platform/registry/Registry.h"

#include <map>
#include <string>
#include <utility>
#include <variant>

namespace bw {

class MemoryRegistryStore final : public RegistryStore {
public:
  std::unique_ptr<RegistryKey> OpenKey(TRootKeys root, std::string_view path, bool create) override;
  bool KeyExists(TRootKeys root, std::string_view path) const override;

private:
  using Value = std::variant<uint32_t, std::vector<uint8_t>, std::string>;
  using ValueMap = std::map<std::string, Value, std::less<>>;
  class Key;

  // Keyed by the path with its components joined by "\". Keys are never
  // removed, so the value maps the keys point into stay where they are.
  std::map<std::pair<TRootKeys, std::string>, ValueMap> FKeys;
};

} // namespace bw
