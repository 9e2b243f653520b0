// The upgrade's texts: 31 messages in each of 29 languages, the language
// chosen from the user's locale or set by the program, formatting with the
// table's placeholders, and the upgrade's message boxes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

class QLocale;

namespace bw {

enum TauAutoUpgraderLanguage {
  wlAuto, // detected from the user's locale
  wlEnglish,
  wlRussian,
  wlGerman,
  wlFrench,
  wlSpanish,
  wlPortuguese,
  wlPortugueseBrazilian,
  wlItalian,
  wlDutch,
  wlDanish,
  wlSwedish,
  wlFinnish,
  wlEstonian,
  wlUkrainian,
  wlPolish,
  wlCzech,
  wlHungarian,
  wlRomanian,
  wlCatalan,
  wlBasque,
  wlAfrikaans,
  wlChineseTraditional,
  wlChineseSimplified,
  wlIndonesian,
  wlMalay,
  wlIcelandic,
  wlTurkish,
  wlNorwegian,
  wlSlovak
};

inline constexpr int LanguageCount = 29;
inline constexpr int MessageCount = 31;
// The primary language number that selects each language, in the order of
// the values from wlEnglish on.
extern const std::array<uint16_t, LanguageCount> LanguageIds;

// String numbers: language v owns FirstMessageId + 50 * (v - 1) up to +30;
// the 19 numbers after each block carry no text.
inline constexpr uint16_t FirstMessageId = 41000;
inline constexpr uint16_t LanguageBlockSize = 50;
// The title the ask dialog shows when the program's own title is the
// development tools' default (one that contains DefaultTitleWordId).
inline constexpr uint16_t AppTitleId = 40997;
inline constexpr uint16_t DefaultTitleWordId = 40998;
// The upgrader's own name, on the wizard's engraved label.
inline constexpr uint16_t ComponentNameId = 40999;

// Message numbers.
enum TauUpgraderMessage {
  msgCaption = 0,
  msgDownloadingFiles,
  msgUpgradeCompleted,
  msgCurrentFile,
  msgAllFiles,
  msgDownloadingFileFrom,
  msgFileSize,
  msgTransferRate,
  msgEstimatedTime,
  msgDownloadingOf,
  msgUpdateCompletedNote,
  msgEnterPassword,
  msgUserName,
  msgPassword,
  msgYes,
  msgNo,
  msgOK,
  msgCancel,
  msgNext,
  msgLater,
  msgWarning,
  msgError,
  msgPreparing,
  msgAskUpgrade,
  msgNoUpdateAvailable,
  msgNoInfoFile,
  msgHostUnreachable,
  msgAbortQuestion,
  msgLostFile,
  msgPasswordProtected,
  msgConnLost
};

// The engine's own messages, in English beside the table. A listed file
// refused for where it would be written (the file name; Yes skips it):
inline constexpr const char* UnsafeTargetText =
    "File %s is refused as unsafe: it would be written outside the program's folder and your "
    "own folders, or in place of a link or of another user's file.\n\nTry to skip this file "
    "and continue upgrade?";
// No listed file was downloaded, so nothing is installed:
inline constexpr const char* NothingInstalledText =
    "No file of the update could be installed. The program stays as it is.";
// The helper could not be started (why); nothing is installed:
inline constexpr const char* HelperNotStartedText =
    "The update cannot be installed: %s\n\nThe program stays as it is.";
// Another copy of the program upgrades the same folder; nothing is changed:
inline constexpr const char* UpgradeUnderWayText =
    "An upgrade of this program is under way already. This one changes nothing.";
// In the program started again, for each file the helper refused (the
// file and why):
inline constexpr const char* IncompleteInstallText =
    "The update could not be installed completely: %s: %s";
// The folder a listed file goes to refused it (the folder, the file and
// the system's reason; Yes skips it):
inline constexpr const char* FolderRefusedText =
    "The folder %s refused file %s: %s.\n\nTry to skip this file and continue upgrade?";
// The web page of an update that is installed by hand, when the address is
// not a web address:
inline constexpr const char* PageRefusedText =
    "The update's page %s was refused: only web pages are opened, never a file or a program.";
// A redirect that was not followed (the address asked for and the one
// redirected to):
inline constexpr const char* RedirectRefusedText =
    "The server redirected %s to %s.\n\nThe redirect was refused: an update is fetched from web "
    "addresses only, and never from a secure address on to a plain one.";

// The first string number of a language (not wlAuto).
constexpr uint16_t LanguageBase(TauAutoUpgraderLanguage language) {
  return static_cast<uint16_t>(FirstMessageId + LanguageBlockSize * (language - 1));
}

// The string number of message 0 of the language in use; one value for the
// whole program.
uint16_t MessageBase();
void SetMessageBase(uint16_t base);

// The language of a primary language number and its sub-language:
// Portuguese with sub-language 1 is Brazilian, Chinese with sub-language 2
// simplified; a language without a table is English.
TauAutoUpgraderLanguage LanguageFromLangId(uint16_t primary, uint16_t subLanguage);
TauAutoUpgraderLanguage LanguageFromLocale(const QLocale& locale);
// The language of the user's locale (LC_ALL, LC_MESSAGES, LANG; "C" is
// English); sets MessageBase.
TauAutoUpgraderLanguage DetectLanguage();

// The text of a string number; empty for a number without one.
std::string LoadString(uint16_t id);
// Message n of the language in use.
std::string LoadUpgraderString(int n);

// One argument of a formatted message.
using TauFormatArg = std::variant<long long, double, std::string>;

// Fills the placeholders of a table text: "%s", "%d", "%.Nd" (at least N
// digits), "%.Nf" (N decimals, the locale's decimal separator) and "%%".
// Arguments are taken in order; a missing one gives nothing, one of another
// kind is converted. An argument is never read as a format, so texts from
// the update server are passed here only as arguments.
std::string FormatUpgraderText(std::string_view format, std::initializer_list<TauFormatArg> args);
std::string FormatUpgraderString(int n, std::initializer_list<TauFormatArg> args);

enum TauMessageButtons { mbOK, mbYesNo };
enum TauMessageIcon { miInformation, miWarning, miError, miQuestion };
enum TauMessageAnswer { maOK, maYes, maNo };

// A message box over the upgrade's window that shows, else over the main
// window (UpgraderQuestionParent), application-modal and on top, its text
// shown as plain text; the caption is message 0 unless given.
TauMessageAnswer ShowUpgraderMessage(const std::string& text, TauMessageButtons buttons,
                                     TauMessageIcon icon, const std::string& caption = {});
TauMessageAnswer ShowUpgraderMessageId(int n, TauMessageButtons buttons, TauMessageIcon icon);

// Replaces the message boxes (tests answer them); returns the handler it
// replaces. An empty handler shows real boxes.
using TauMessageBoxHandler =
    std::function<TauMessageAnswer(const std::string& text, const std::string& caption,
                                   TauMessageButtons buttons, TauMessageIcon icon)>;
TauMessageBoxHandler SetUpgraderMessageBoxHandler(TauMessageBoxHandler handler);

// The program's title as the upgrade shows it.
std::string ApplicationTitle();

} // namespace bw
