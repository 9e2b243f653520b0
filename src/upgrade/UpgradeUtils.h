// Plain routines of the automatic upgrade: where the program lives, special
// folders and the folder macros of upgrade targets, texts and versions,
// percentages, file times, sizes and attributes, the on-line test, opening a
// web address, embedded resources and closing the program. Paths use "/";
// upgrade targets may also be written with "\", which counts as "/".
#pragma once

#include "foundation/Folders.h"
#include "foundation/SerialDate.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class TauStream;

// A set of enumeration values (at most 32) as bits.
template <typename E>
class TauSet {
public:
  constexpr TauSet() = default;
  constexpr TauSet(std::initializer_list<E> values) {
    for (E v : values)
      FBits |= Bit(v);
  }
  constexpr bool Has(E v) const { return (FBits & Bit(v)) != 0; }
  constexpr TauSet& Include(E v) {
    FBits |= Bit(v);
    return *this;
  }
  constexpr TauSet& Exclude(E v) {
    FBits &= ~Bit(v);
    return *this;
  }
  constexpr TauSet operator+(TauSet other) const { return FromBits(FBits | other.FBits); }
  constexpr bool operator==(const TauSet&) const = default;
  constexpr uint32_t Bits() const { return FBits; }
  static constexpr TauSet FromBits(uint32_t bits) {
    TauSet s;
    s.FBits = bits;
    return s;
  }

private:
  static constexpr uint32_t Bit(E v) { return 1u << static_cast<unsigned>(v); }
  uint32_t FBits = 0;
};

enum TauFileAttribute { atrArchive, atrHidden, atrReadOnly, atrSystem, atrTemporary, atrOffline };
using TauFileAttributes = TauSet<TauFileAttribute>;

// The folder macros of upgrade targets; the k-th stands for special folder
// kind k.
inline constexpr std::array<std::string_view, 12> FolderMacros = {
    "%current%", "%desktop%", "%mydocuments%", "%mypictures%", "%appdata%", "%programfiles%",
    "%windows%", "%system%",  "%temp%",        "%help%",       "%media%",   "%cursors%"};

// Kind 0 the program's folder, 1 the desktop, 2 documents, 3 pictures, 4 the
// per-user data folder, 8 the temporary folder, each with a trailing "/";
// kind 12 the empty text. Kinds 5, 6, 7, 9, 10 and 11 (program files,
// system, help, media and cursor folders) name nothing a program may write
// to here and, like a folder the desktop does not define, give the empty
// text: no folder.
std::string GetSpecialFolder(int kind);
// Replaces every folder macro (without regard to case) by its folder and
// every "\" by "/". With makeAbsolute a result of at least three characters
// that does not start with "/" is put under the program's folder. The empty
// text when a macro names no folder here: such a target is to be refused.
std::string ExpandPathMacros(const std::string& path, bool makeAbsolute);
// Creates every missing folder of the path's folder part, from the left.
void ForceFolders(const std::string& path);
// The text behind the last "/", "\" or ":" of the whole address, query
// included.
std::string URLToFileName(const std::string& url);

// Whether an interface other than loopback is up and running with an
// address; this machine's test whether it is on line.
bool HasLocalIPAddress();
bool IsConnectedToInternet();
// Opens the address in the desktop's browser, "http://" put in front unless
// it contains "://". The desktop has one registered browser, so both values
// of useRegisteredBrowser do the same.
void OpenURL(const std::string& url, bool useRegisteredBrowser);
// Splits a command line into program and parameters: a quoted program, or
// the text before the first " -", " /", " \", "," or " %".
void SplitCommandLine(std::string& command, std::string& params);

// Splits s at the first delimiter; flag 1 keeps the delimiter at the end of
// left, flag 2 at the start of right. Without the delimiter s goes to right
// (missingToRight) or to left.
void SplitAtDelimiter(std::string_view delimiter, std::string_view s, std::string& left, int flags,
                      bool missingToRight, std::string& right);
// 1-based position of the last occurrence of sub in s; 0 when absent or
// either is empty.
int LastPos(std::string_view sub, std::string_view s);
std::string StripLeadingChar(std::string_view s, char ch);
// The text before the first delimiter (all of s without one); remove takes
// the token and the delimiter off s.
std::string ExtractToken(std::string& s, std::string_view delimiter, bool remove);
int IndexOfString(std::string_view s, const std::vector<std::string>& items);
// 1 to 7 for "SUN" to "SAT", 1 to 12 for "JAN" to "DEC", without regard to
// case; 0 for anything else.
int DayOfWeekFromName(std::string_view s);
int MonthFromName(std::string_view s);
// part * 100 / total rounded half to even; 0 when total is 0, at most 255.
uint8_t GetPercent(int64_t part, int64_t total);
// The first four "."-separated parts; missing parts are "0", an empty part
// between two dots stays empty, and the empty text gives four "0".
std::array<std::string, 4> SplitVersion(std::string_view version);
// 1 when a is newer, -1 when older, 0 when equal, comparing the parts as
// decimal numbers; when a part is not a number before the answer is known,
// the difference of the first differing characters of the whole texts.
int8_t CompareVersions(std::string_view a, std::string_view b);

// Sets the last-write and last-access times of an existing file from local
// dates (-1 leaves a time as it is). A file's creation time cannot be set
// here and is ignored. False when the file is missing or the times cannot be
// set.
bool SetFileDateTimes(const std::string& fileName, TDateTime creationTime, TDateTime lastWriteTime,
                      TDateTime lastAccessTime);
// -1 when the file cannot be read.
int64_t GetFileSize64(const std::string& fileName);
// Read-only clears the owner's write permission, its absence gives it back;
// the other attributes have no counterpart on this system. False when the
// file is missing.
bool ApplyFileAttributes(const std::string& fileName, TauFileAttributes attributes);

// Registers bytes built into the program under a type and a name, for
// ResourceToStream; the bytes must outlive the program's use of them.
void RegisterEmbeddedResource(std::string type, std::string name, const unsigned char* data,
                              size_t size);
// Writes a registered resource, or else the Qt resource ":/type/name", to
// the stream. False when the stream is missing or the resource is missing or
// empty.
bool ResourceToStream(const std::string& type, const std::string& name, TauStream* stream);

// Closes the main window, when there is one, and ends the program only when
// the window really closed (the user may keep it open to save a document).
void CloseApplication();

} // namespace bw
