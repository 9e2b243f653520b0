#include "platform/registry/MemoryRegistry.h"

namespace bw {

class MemoryRegistryStore::Key final : public RegistryKey {
public:
  explicit Key(ValueMap& values) : FValues(values) {}

  std::vector<std::string> ValueNames() const override {
    std::vector<std::string> names;
    names.reserve(FValues.size());
    for (const auto& [name, value] : FValues)
      names.push_back(name);
    return names;
  }

  RegistryValueType ValueType(std::string_view name) const override {
    auto it = FValues.find(name);
    if (it == FValues.end()) return RegistryValueType::None;
    switch (it->second.index()) {
    case 0:
      return RegistryValueType::Dword;
    case 1:
      return RegistryValueType::Binary;
    default:
      return RegistryValueType::String;
    }
  }

  std::optional<uint32_t> ReadDword(std::string_view name) const override {
    return Read<uint32_t>(name);
  }
  std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const override {
    return Read<std::vector<uint8_t>>(name);
  }
  std::optional<std::string> ReadString(std::string_view name) const override {
    return Read<std::string>(name);
  }

  bool WriteDword(std::string_view name, uint32_t value) override {
    return Write(name, Value(value));
  }
  bool WriteBinary(std::string_view name, std::span<const uint8_t> bytes) override {
    return Write(name, Value(std::vector<uint8_t>(bytes.begin(), bytes.end())));
  }
  bool WriteString(std::string_view name, std::string_view value) override {
    return Write(name, Value(std::string(value)));
  }

  bool DeleteValue(std::string_view name) override {
    auto it = FValues.find(name);
    if (it == FValues.end()) return false;
    FValues.erase(it);
    return true;
  }

  bool DeleteAllValues() override {
    FValues.clear();
    return true;
  }

private:
  template <typename T>
  std::optional<T> Read(std::string_view name) const {
    auto it = FValues.find(name);
    if (it == FValues.end()) return std::nullopt;
    if (const T* value = std::get_if<T>(&it->second)) return *value;
    return std::nullopt;
  }

  bool Write(std::string_view name, Value value) {
    FValues.insert_or_assign(std::string(name), std::move(value));
    return true;
  }

  ValueMap& FValues;
};

namespace {
std::string JoinedPath(std::string_view path) {
  std::string joined;
  for (const std::string& part : SplitKeyPath(path)) {
    if (!joined.empty()) joined += '\\';
    joined += part;
  }
  return joined;
}
} // namespace

std::unique_ptr<RegistryKey> MemoryRegistryStore::OpenKey(TRootKeys root, std::string_view path,
                                                          bool create) {
  std::string joined = JoinedPath(path);
  auto it = FKeys.find({root, joined});
  if (it == FKeys.end()) {
    // The root itself always exists.
    if (!create && !joined.empty()) return nullptr;
    // The parents come into being with the key, as they do in the registry.
    std::string parent;
    for (const std::string& part : SplitKeyPath(path)) {
      FKeys.try_emplace({root, parent});
      if (!parent.empty()) parent += '\\';
      parent += part;
    }
    it = FKeys.try_emplace({root, joined}).first;
  }
  return std::make_unique<Key>(it->second);
}

bool MemoryRegistryStore::KeyExists(TRootKeys root, std::string_view path) const {
  std::string joined = JoinedPath(path);
  return joined.empty() || FKeys.contains({root, joined});
}

} // namespace bw
