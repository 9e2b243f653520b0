// UTF-8 in both directions, for the texts that reach the program from files
// and go out to formats with their own character sets.
#pragma once

#include <string>
#include <string_view>

namespace bw {

// Appends the UTF-8 bytes of one code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// The code points of a UTF-8 text; a byte that begins no valid sequence, an
// unfinished or overlong sequence and a surrogate each stand for U+FFFD.
std::u32string DecodeUtf8(std::string_view text);

} // namespace bw
