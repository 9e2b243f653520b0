#include "upgrade/UpgraderMessages.h"

#include "upgrade/UpgraderQuestionParent.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace bw {

namespace {

const char* const Messages[LanguageCount][MessageCount] = {
#include "upgrade/UpgraderMessagesData.inc"
};

uint16_t GMessageBase = LanguageBase(wlEnglish);

TauMessageBoxHandler& MessageBoxHandler() {
  static TauMessageBoxHandler handler;
  return handler;
}

std::string IntText(long long value, int minDigits) {
  const bool negative = value < 0;
  unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(value)
                                          : static_cast<unsigned long long>(value);
  std::string digits = std::to_string(magnitude);
  if (static_cast<int>(digits.size()) < minDigits)
    digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

std::string FloatText(double value, int decimals) {
  char buffer[400];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return {};
  std::string text(buffer, end);
  const QString point = QLocale().decimalPoint();
  if (point != ".") {
    const size_t dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, point.toStdString());
  }
  return text;
}

long long AsInt(const TauFormatArg& a) {
  if (auto* i = std::get_if<long long>(&a)) return *i;
  if (auto* d = std::get_if<double>(&a)) {
    if (!(*d == *d)) return 0;
    return static_cast<long long>(std::clamp(*d, -9.2e18, 9.2e18));
  }
  return 0;
}

double AsDouble(const TauFormatArg& a) {
  if (auto* d = std::get_if<double>(&a)) return *d;
  if (auto* i = std::get_if<long long>(&a)) return static_cast<double>(*i);
  return 0;
}

std::string AsText(const TauFormatArg& a) {
  if (auto* s = std::get_if<std::string>(&a)) return *s;
  if (auto* i = std::get_if<long long>(&a)) return std::to_string(*i);
  return FloatText(std::get<double>(a), 6);
}

} // namespace

const std::array<uint16_t, LanguageCount> LanguageIds = {
    0x09, 0x19, 0x07, 0x0C, 0x0A, 0x16, 0x16, 0x10, 0x13, 0x06, 0x1D, 0x0B, 0x25, 0x22, 0x15,
    0x05, 0x0E, 0x18, 0x03, 0x2D, 0x36, 0x04, 0x04, 0x21, 0x3E, 0x0F, 0x1F, 0x14, 0x1B};

uint16_t MessageBase() {
  return GMessageBase;
}

void SetMessageBase(uint16_t base) {
  GMessageBase = base;
}

TauAutoUpgraderLanguage LanguageFromLangId(uint16_t primary, uint16_t subLanguage) {
  if (primary == 0x16) return subLanguage == 1 ? wlPortugueseBrazilian : wlPortuguese;
  if (primary == 0x04) return subLanguage == 2 ? wlChineseSimplified : wlChineseTraditional;
  for (int i = 0; i < LanguageCount; ++i)
    if (LanguageIds[static_cast<size_t>(i)] == primary)
      return static_cast<TauAutoUpgraderLanguage>(i + 1);
  return wlEnglish;
}

TauAutoUpgraderLanguage LanguageFromLocale(const QLocale& locale) {
  struct Entry {
    QLocale::Language Language;
    uint16_t Primary;
  };
  static const Entry entries[] = {{QLocale::English, 0x09},
                                  {QLocale::Russian, 0x19},
                                  {QLocale::German, 0x07},
                                  {QLocale::French, 0x0C},
                                  {QLocale::Spanish, 0x0A},
                                  {QLocale::Portuguese, 0x16},
                                  {QLocale::Italian, 0x10},
                                  {QLocale::Dutch, 0x13},
                                  {QLocale::Danish, 0x06},
                                  {QLocale::Swedish, 0x1D},
                                  {QLocale::Finnish, 0x0B},
                                  {QLocale::Estonian, 0x25},
                                  {QLocale::Ukrainian, 0x22},
                                  {QLocale::Polish, 0x15},
                                  {QLocale::Czech, 0x05},
                                  {QLocale::Hungarian, 0x0E},
                                  {QLocale::Romanian, 0x18},
                                  {QLocale::Catalan, 0x03},
                                  {QLocale::Basque, 0x2D},
                                  {QLocale::Afrikaans, 0x36},
                                  {QLocale::Chinese, 0x04},
                                  {QLocale::Indonesian, 0x21},
                                  {QLocale::Malay, 0x3E},
                                  {QLocale::Icelandic, 0x0F},
                                  {QLocale::Turkish, 0x1F},
                                  {QLocale::NorwegianBokmal, 0x14},
                                  {QLocale::NorwegianNynorsk, 0x14},
                                  {QLocale::Slovak, 0x1B}};
  uint16_t primary = 0;
  for (const Entry& e : entries)
    if (e.Language == locale.language()) primary = e.Primary;
  uint16_t sub = 0;
  if (primary == 0x16) sub = locale.territory() == QLocale::Brazil ? 1 : 2;
  if (primary == 0x04) sub = locale.territory() == QLocale::China ? 2 : 1;
  return LanguageFromLangId(primary, sub);
}

TauAutoUpgraderLanguage DetectLanguage() {
  std::string name;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) {
      name = value;
      break;
    }
  }
  name = name.substr(0, name.find_first_of(".@"));
  TauAutoUpgraderLanguage language = wlEnglish;
  if (!name.empty() && name != "C" && name != "POSIX")
    language = LanguageFromLocale(QLocale(QString::fromStdString(name)));
  SetMessageBase(LanguageBase(language));
  return language;
}

std::string LoadString(uint16_t id) {
  switch (id) {
  case AppTitleId:
    return "<AppTitle>";
  case DefaultTitleWordId:
    // The name a new project gets from the development tools.
    return "untitled";
  case ComponentNameId:
    return "Auto Upgrader";
  default:
    break;
  }
  if (id < FirstMessageId) return {};
  const int offset = id - FirstMessageId;
  const int language = offset / LanguageBlockSize, n = offset % LanguageBlockSize;
  if (language >= LanguageCount || n >= MessageCount) return {};
  return Messages[language][n];
}

std::string LoadUpgraderString(int n) {
  if (n < 0 || n >= LanguageBlockSize) return {};
  return LoadString(static_cast<uint16_t>(MessageBase() + n));
}

std::string FormatUpgraderText(std::string_view format, std::initializer_list<TauFormatArg> args) {
  std::string out;
  auto next = args.begin();
  auto take = [&]() -> const TauFormatArg* { return next == args.end() ? nullptr : &*next++; };
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    size_t j = i + 1;
    if (format[j] == '%') {
      out += '%';
      i = j;
      continue;
    }
    int precision = -1;
    if (format[j] == '.') {
      size_t k = j + 1;
      int value = 0;
      // At most two digits: a table text never asks for more.
      while (k < format.size() && k < j + 3 && format[k] >= '0' && format[k] <= '9')
        value = value * 10 + (format[k++] - '0'), precision = value;
      if (precision < 0) {
        out += c;
        continue;
      }
      j = k;
    }
    if (j >= format.size()) {
      out += c;
      continue;
    }
    const char conversion = format[j];
    if (conversion == 's' && precision < 0) {
      if (const TauFormatArg* a = take()) out += AsText(*a);
    } else if (conversion == 'd') {
      if (const TauFormatArg* a = take()) out += IntText(AsInt(*a), std::max(precision, 1));
    } else if (conversion == 'f') {
      if (const TauFormatArg* a = take())
        out += FloatText(AsDouble(*a), precision < 0 ? 6 : precision);
    } else {
      out += c; // not a placeholder of the table: kept as written
      continue;
    }
    i = j;
  }
  return out;
}

std::string FormatUpgraderString(int n, std::initializer_list<TauFormatArg> args) {
  return FormatUpgraderText(LoadUpgraderString(n), args);
}

std::string ApplicationTitle() {
  return QApplication::applicationDisplayName().toStdString();
}

TauMessageBoxHandler SetUpgraderMessageBoxHandler(TauMessageBoxHandler handler) {
  std::swap(MessageBoxHandler(), handler);
  return handler;
}

TauMessageAnswer ShowUpgraderMessage(const std::string& text, TauMessageButtons buttons,
                                     TauMessageIcon icon, const std::string& caption) {
  const std::string title = caption.empty() ? LoadUpgraderString(msgCaption) : caption;
  if (MessageBoxHandler()) return MessageBoxHandler()(text, title, buttons, icon);
  static constexpr QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning,
                                                QMessageBox::Critical, QMessageBox::Question};
  // Made on the heap: a window it comes over that closes for good while it
  // waits (the wizard) takes the box with it, which then answers No.
  QPointer<QMessageBox> box =
      new QMessageBox(icons[icon], QString::fromStdString(title), QString::fromStdString(text),
                      buttons == mbYesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                      UpgraderQuestionParent());
  // Texts from the update server are never read as markup.
  box->setTextFormat(Qt::PlainText);
  box->setWindowModality(Qt::ApplicationModal);
  box->setWindowFlag(Qt::WindowStaysOnTopHint);
  const int answer = box->exec();
  delete box.data();
  if (buttons == mbOK) return maOK;
  return answer == QMessageBox::Yes ? maYes : maNo;
}

TauMessageAnswer ShowUpgraderMessageId(int n, TauMessageButtons buttons, TauMessageIcon icon) {
  return ShowUpgraderMessage(LoadUpgraderString(n), buttons, icon);
}

} // namespace bw
