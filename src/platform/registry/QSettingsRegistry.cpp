#include "platform/registry/QSettingsRegistry.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace bw {

namespace {

const QString DwordTag = QStringLiteral("dword:");
const QString BinaryTag = QStringLiteral("hex:");
const QString StringTag = QStringLiteral("sz:");

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::unique_ptr<QSettings> OpenSettings(TRootKeys root) {
  auto settings = std::make_unique<QSettings>(
      QSettings::IniFormat,
      root == TRootKeys::CURRENT_USER ? QSettings::UserScope : QSettings::SystemScope,
      QStringLiteral("Calverick"), QStringLiteral("Brantwick"));
  // The user's values must not come from the machine-wide or the
  // organisation-wide file: a value missing for the user is missing.
  settings->setFallbacksEnabled(false);
  return settings;
}

// Empty when a component holds a "/", which QSettings would take for a
// further level.
std::optional<QString> GroupOf(std::string_view path) {
  QString group;
  for (const std::string& part : SplitKeyPath(path)) {
    if (part.find('/') != std::string::npos) return std::nullopt;
    if (!group.isEmpty()) group += QLatin1Char('/');
    group += FromUtf8(part);
  }
  return group;
}

bool GroupExists(QSettings& settings, const QString& group) {
  if (group.isEmpty()) return true;
  settings.beginGroup(group);
  bool exists = !settings.childKeys().isEmpty() || !settings.childGroups().isEmpty();
  settings.endGroup();
  return exists;
}

bool AllHexDigits(const QString& text) {
  for (QChar c : text)
    if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
          (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
          (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
      return false;
  return true;
}

struct Decoded {
  RegistryValueType Type = RegistryValueType::None;
  uint32_t Dword = 0;
  std::vector<uint8_t> Bytes;
  std::string Text;
};

// A tag with a payload that does not parse makes the value Other, so that
// every typed read answers "missing" for it.
Decoded Decode(const QVariant& stored) {
  Decoded result;
  if (!stored.isValid()) return result;
  result.Type = RegistryValueType::Other;
  // A hand-edited value with an unquoted comma comes back as a list, one with
  // "@" as some other type: neither is ours.
  if (stored.typeId() != QMetaType::QString) return result;
  const QString text = stored.toString();
  if (text.startsWith(StringTag)) {
    result.Type = RegistryValueType::String;
    result.Text = text.sliced(StringTag.size()).toStdString();
  } else if (text.startsWith(DwordTag)) {
    const QString digits = text.sliced(DwordTag.size());
    if (digits.isEmpty() || digits.size() > 8 || !AllHexDigits(digits)) return result;
    result.Type = RegistryValueType::Dword;
    result.Dword = digits.toUInt(nullptr, 16);
  } else if (text.startsWith(BinaryTag)) {
    const QString digits = text.sliced(BinaryTag.size());
    if (digits.size() % 2 != 0 || !AllHexDigits(digits)) return result;
    const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
    result.Type = RegistryValueType::Binary;
    result.Bytes.assign(bytes.begin(), bytes.end());
  }
  return result;
}

class SettingsKey final : public RegistryKey {
public:
  SettingsKey(std::unique_ptr<QSettings> settings, QString group, bool readOnly)
      : FSettings(std::move(settings)), FGroup(std::move(group)), FReadOnly(readOnly) {}

  std::vector<std::string> ValueNames() const override {
    FSettings->beginGroup(FGroup);
    const QStringList keys = FSettings->childKeys();
    FSettings->endGroup();
    std::vector<std::string> names;
    names.reserve(keys.size());
    for (const QString& key : keys)
      names.push_back(key.toStdString());
    return names;
  }

  RegistryValueType ValueType(std::string_view name) const override { return Read(name).Type; }

  std::optional<uint32_t> ReadDword(std::string_view name) const override {
    Decoded value = Read(name);
    if (value.Type != RegistryValueType::Dword) return std::nullopt;
    return value.Dword;
  }

  std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const override {
    Decoded value = Read(name);
    if (value.Type != RegistryValueType::Binary) return std::nullopt;
    return std::move(value.Bytes);
  }

  std::optional<std::string> ReadString(std::string_view name) const override {
    Decoded value = Read(name);
    if (value.Type != RegistryValueType::String) return std::nullopt;
    return std::move(value.Text);
  }

  bool WriteDword(std::string_view name, uint32_t value) override {
    return Store(name, DwordTag + QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')));
  }

  bool WriteBinary(std::string_view name, std::span<const uint8_t> bytes) override {
    // Without separators: an unquoted comma would make the value a list.
    QByteArray raw(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qsizetype>(bytes.size()));
    return Store(name, BinaryTag + QString::fromLatin1(raw.toHex()));
  }

  bool WriteString(std::string_view name, std::string_view value) override {
    return Store(name, StringTag + FromUtf8(value));
  }

  bool DeleteValue(std::string_view name) override {
    if (FReadOnly) return false;
    const QString key = KeyOf(name);
    if (key.isEmpty() || !FSettings->contains(key)) return false;
    FSettings->remove(key);
    return Commit();
  }

  bool DeleteAllValues() override {
    if (FReadOnly) return false;
    // Not remove("") inside the group: that would take the subkeys too.
    FSettings->beginGroup(FGroup);
    const QStringList keys = FSettings->childKeys();
    for (const QString& key : keys)
      FSettings->remove(key);
    FSettings->endGroup();
    return Commit();
  }

private:
  // Empty for a name that QSettings cannot keep as one key of this group.
  QString KeyOf(std::string_view name) const {
    if (name.empty() || name.find_first_of("/\\") != std::string_view::npos) return {};
    const QString key = FromUtf8(name);
    return FGroup.isEmpty() ? key : FGroup + QLatin1Char('/') + key;
  }

  Decoded Read(std::string_view name) const {
    const QString key = KeyOf(name);
    if (key.isEmpty()) return {};
    return Decode(FSettings->value(key));
  }

  bool Store(std::string_view name, const QString& text) {
    if (FReadOnly) return false;
    const QString key = KeyOf(name);
    if (key.isEmpty()) return false;
    FSettings->setValue(key, text);
    return Commit();
  }

  // Written through at once: the program may be killed with the session, and
  // another settings object opened later must see the value.
  bool Commit() {
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
  }

  std::unique_ptr<QSettings> FSettings;
  QString FGroup;
  bool FReadOnly;
};

} // namespace

std::unique_ptr<RegistryKey> QSettingsRegistryStore::OpenKey(TRootKeys root, std::string_view path,
                                                             bool create) {
  std::optional<QString> group = GroupOf(path);
  if (!group) return nullptr;
  auto settings = OpenSettings(root);
  const bool readOnly = root == TRootKeys::LOCAL_MACHINE;
  if (!GroupExists(*settings, *group) && (readOnly || !create)) return nullptr;
  return std::make_unique<SettingsKey>(std::move(settings), std::move(*group), readOnly);
}

bool QSettingsRegistryStore::KeyExists(TRootKeys root, std::string_view path) const {
  std::optional<QString> group = GroupOf(path);
  if (!group) return false;
  auto settings = OpenSettings(root);
  return GroupExists(*settings, *group);
}

} // namespace bw
