#include "upgrade/UpgraderMessages.h"
#include "upgrade/UpgraderWindows.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace bw;

namespace {

// The placeholders of a text, in order.
std::vector<std::string> Placeholders(const std::string& text) {
  std::vector<std::string> found;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    size_t j = i + 1;
    while (j < text.size() && (text[j] == '.' || (text[j] >= '0' && text[j] <= '9')))
      ++j;
    found.push_back(text.substr(i, j - i + 1));
    i = j;
  }
  return found;
}

// Restores the language and the environment a test changed.
struct LanguageGuard {
  uint16_t Base = MessageBase();
  std::string Lang = std::getenv("LANG") ? std::getenv("LANG") : "";
  ~LanguageGuard() {
    SetMessageBase(Base);
    unsetenv("LC_ALL");
    setenv("LANG", Lang.c_str(), 1);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
};

} // namespace

TEST(UpgraderMessages, EnglishTexts) {
  const char* const expected[MessageCount] = {
      "Application update wizard",
      "Downloading files...",
      "Upgrade completed!",
      "Current file",
      "All files",
      "Downloading file from",
      "File size: %.1f Kb",
      "Transfer rate: %.1f Kb/s",
      "Estimated time left: %d:%.2d:%.2d",
      "Downloading %d of %d",
      "The update of %s has been successfully completed.\n\nPress the OK button to restart "
      "program.",
      "Enter password",
      "User Name",
      "Password",
      "&Yes",
      "&No",
      "&OK",
      "&Cancel",
      "&Next >",
      "&Later",
      "Warning",
      "Error",
      "Preparing. . .",
      "A newer version of %s was released.\n%s\nDo you want to update your version with the "
      "latest one?",
      "Newer version not found. You actually are\nusing most recent version of this program.",
      "File which contains upgrade information was not found on developer's site.",
      "Host %s unreachable.\n\nPlease check your Internet connection and\ntry to upgrade this "
      "software again later.",
      "The update is not completed.\nWould you like to abort upgrading?",
      "File %s not found or inaccessible.\n\nTry to skip this file and continue upgrade?",
      "Access to remote file \"%s\" is password protected.\n\nPlease enter your username and "
      "password (received after registration) to continue software upgrade.",
      "Connection with remote server lost.\n\nPlease restore connection and try to\nupgrade this "
      "software again later.",
  };
  for (int n = 0; n < MessageCount; ++n)
    EXPECT_EQ(LoadString(static_cast<uint16_t>(41000 + n)), expected[n]) << "message " << n;
  EXPECT_EQ(LoadString(AppTitleId), "<AppTitle>");
  EXPECT_FALSE(LoadString(DefaultTitleWordId).empty());
  EXPECT_FALSE(LoadString(ComponentNameId).empty());
}

TEST(UpgraderMessages, EveryLanguageHasEnglishPlaceholdersAndMnemonics) {
  for (int l = wlEnglish; l <= wlSlovak; ++l) {
    const uint16_t base = LanguageBase(static_cast<TauAutoUpgraderLanguage>(l));
    EXPECT_EQ(base, 41000 + 50 * (l - 1));
    for (int n = 0; n < MessageCount; ++n) {
      const std::string text = LoadString(static_cast<uint16_t>(base + n));
      const std::string english = LoadString(static_cast<uint16_t>(41000 + n));
      EXPECT_FALSE(text.empty()) << "language " << l << " message " << n;
      EXPECT_EQ(Placeholders(text), Placeholders(english)) << "language " << l << " message " << n;
      // The buttons have a mnemonic, and nothing else has one.
      EXPECT_EQ(text.find('&') != std::string::npos, n >= msgYes && n <= msgLater)
          << "language " << l << " message " << n;
    }
    // The numbers after each block carry no text.
    for (int n = MessageCount; n < LanguageBlockSize; ++n)
      EXPECT_EQ(LoadString(static_cast<uint16_t>(base + n)), "");
  }
}

TEST(UpgraderMessages, LanguageFromTheLocale) {
  EXPECT_EQ(LanguageFromLocale(QLocale("pt_BR")), wlPortugueseBrazilian);
  EXPECT_EQ(LanguageFromLocale(QLocale("pt_PT")), wlPortuguese);
  EXPECT_EQ(LanguageFromLocale(QLocale("zh_CN")), wlChineseSimplified);
  EXPECT_EQ(LanguageFromLocale(QLocale("zh_TW")), wlChineseTraditional);
  EXPECT_EQ(LanguageFromLocale(QLocale("zh_HK")), wlChineseTraditional);
  EXPECT_EQ(LanguageFromLocale(QLocale("nb_NO")), wlNorwegian);
  EXPECT_EQ(LanguageFromLocale(QLocale("nn_NO")), wlNorwegian);
  EXPECT_EQ(LanguageFromLocale(QLocale("eu_ES")), wlBasque);
  EXPECT_EQ(LanguageFromLocale(QLocale("ja_JP")), wlEnglish);
  EXPECT_EQ(LanguageFromLangId(0x1B, 0), wlSlovak);

  LanguageGuard guard;
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(DetectLanguage(), wlGerman);
  EXPECT_EQ(MessageBase(), 41100);
  EXPECT_EQ(LoadUpgraderString(msgError), "Fehler");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(DetectLanguage(), wlEnglish);
  EXPECT_EQ(MessageBase(), 41000);
}

TEST(UpgraderMessages, TheWizardLanguageSetsEveryUpgradersTexts) {
  LanguageGuard guard;
  TauAutoUpgraderWizard one, two;
  one.SetLanguage(wlGerman);
  EXPECT_EQ(MessageBase(), 41100);
  EXPECT_EQ(LoadUpgraderString(msgOK), LoadString(41116));
  // The setter acts only on a change: setting the same value again after
  // another upgrader changed the language does nothing.
  two.SetLanguage(wlFrench);
  one.SetLanguage(wlGerman);
  EXPECT_EQ(MessageBase(), LanguageBase(wlFrench));
  setenv("LC_ALL", "pl_PL.UTF-8", 1);
  one.SetLanguage(wlAuto);
  EXPECT_EQ(MessageBase(), LanguageBase(wlPolish));
}

TEST(UpgraderMessages, FormattingFillsOnlyTheTablesPlaceholders) {
  EXPECT_EQ(FormatUpgraderString(msgFileSize, {10000 / 1024.0}), "File size: 9.8 Kb");
  EXPECT_EQ(FormatUpgraderString(msgTransferRate, {12.25}), "Transfer rate: 12.2 Kb/s");
  EXPECT_EQ(FormatUpgraderString(msgEstimatedTime, {1LL, 5LL, 7LL}),
            "Estimated time left: 1:05:07");
  // A negative estimate, as the transfer reports without a length.
  EXPECT_EQ(FormatUpgraderString(msgEstimatedTime, {0LL, 0LL, -5LL}),
            "Estimated time left: 0:00:-05");
  EXPECT_EQ(FormatUpgraderString(msgDownloadingOf, {2LL, 3LL}), "Downloading 2 of 3");
  // Text from the server is an argument, never a format.
  EXPECT_EQ(FormatUpgraderString(msgLostFile, {std::string("%s%n%d%%.exe")}),
            "File %s%n%d%%.exe not found or inaccessible.\n\nTry to skip this file and continue "
            "upgrade?");
  // Missing arguments give nothing; extra ones are ignored; %% is one %.
  EXPECT_EQ(FormatUpgraderText("a %s b %d c", {}), "a  b  c");
  EXPECT_EQ(FormatUpgraderText("%d%% %q", {std::string("x"), 3LL}), "0% %q");

  LanguageGuard guard;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FormatUpgraderString(msgFileSize, {9.8}), "File size: 9,8 Kb");
}
