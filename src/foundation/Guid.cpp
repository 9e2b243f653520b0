#include "foundation/Guid.h"

#include "foundation/Exceptions.h"

#include <cerrno>
#include <cstring>
#include <sys/random.h>

namespace bw {

namespace {

const char* const GuidFormatMessage =
    "Guid should contain 32 digits with 4 dashes (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)";
const char* const FormatStringMessage =
    "Format String can be only \"D\", \"d\", \"N\", \"n\", \"P\", \"p\", \"B\" or \"b\".";

void AppendHex(std::string& out, uint64_t value, int digits) {
  static const char Digits[] = "0123456789abcdef";
  for (int i = digits - 1; i >= 0; --i)
    out += Digits[(value >> (4 * i)) & 0xF];
}

void FillRandom(void* buffer, size_t size) {
  auto* p = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < size) {
    ssize_t n = getrandom(p + done, size - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw InvalidOperationException(std::string("Cannot create a GUID: ") + std::strerror(errno));
    }
    done += static_cast<size_t>(n);
  }
}

// Clone copies take fresh ids on every recalculation: one system call per
// 256 ids instead of one per id.
struct RandomPool {
  unsigned char Bytes[4096];
  size_t Used = sizeof Bytes;
  void Take(unsigned char* out, size_t n) {
    if (Used + n > sizeof Bytes) {
      FillRandom(Bytes, sizeof Bytes);
      Used = 0;
    }
    std::memcpy(out, Bytes + Used, n);
    Used += n;
  }
};

} // namespace

Guid Guid::NewGuid() {
  thread_local RandomPool pool;
  unsigned char bytes[16];
  pool.Take(bytes, sizeof bytes);
  Guid g;
  std::memcpy(&g.D1, bytes, 4);
  std::memcpy(&g.D2, bytes + 4, 2);
  std::memcpy(&g.D3, bytes + 6, 2);
  std::memcpy(g.D4, bytes + 8, 8);
  g.D3 = static_cast<uint16_t>((g.D3 & 0x0FFF) | 0x4000);
  g.D4[0] = static_cast<uint8_t>((g.D4[0] & 0x3F) | 0x80);
  return g;
}

std::string Guid::ToString(const Guid& g, std::string_view format) {
  char letter = 'D';
  if (!format.empty() && format != NullText) {
    if (format.size() > 1) throw FormatException(FormatStringMessage);
    letter = format[0];
  }
  const char* prefix = "";
  const char* suffix = "";
  bool dashes = true;
  switch (letter) {
  case 'D':
  case 'd':
    break;
  case 'N':
  case 'n':
    dashes = false;
    break;
  case 'B':
  case 'b':
    prefix = "{";
    suffix = "}";
    break;
  case 'P':
  case 'p':
    prefix = "(";
    suffix = ")";
    break;
  default:
    throw FormatException(FormatStringMessage);
  }
  std::string out;
  out.reserve(38);
  out += prefix;
  AppendHex(out, g.D1, 8);
  if (dashes) out += '-';
  AppendHex(out, g.D2, 4);
  if (dashes) out += '-';
  AppendHex(out, g.D3, 4);
  if (dashes) out += '-';
  AppendHex(out, g.D4[0], 2);
  AppendHex(out, g.D4[1], 2);
  if (dashes) out += '-';
  for (int i = 2; i < 8; ++i)
    AppendHex(out, g.D4[i], 2);
  out += suffix;
  return out;
}

uint32_t HexToCardinal(std::string_view text) {
  // More than eight digits would shift past 32 bits.
  if (text.size() > 8) throw InvalidOperationException("Not a valid hexadecimal number");
  uint32_t result = 0;
  int shift = 0;
  for (size_t i = text.size(); i-- > 0;) {
    char c = text[i];
    uint32_t v;
    if (c >= '0' && c <= '9')
      v = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
      v = static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      v = static_cast<uint32_t>(c - 'A' + 10);
    else
      throw InvalidOperationException(std::string("Not a valid hexadecimal character: ") + c);
    result += v << shift;
    shift += 4;
  }
  return result;
}

Guid Guid::Parse(std::string_view s) {
  if (s == NullText) throw ArgumentNullException("s");
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32)
    s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32)
    s.remove_suffix(1);
  if (s.empty()) throw FormatException(GuidFormatMessage);
  if (s.front() == '(' || s.front() == '{') s.remove_prefix(1);
  if (s.empty()) throw FormatException(GuidFormatMessage);
  if (s.back() == ')' || s.back() == '}') s.remove_suffix(1);
  // Length is counted in bytes: a non-ASCII character can never be a digit,
  // so such a text is refused either way.
  char digits[32];
  size_t n = 0;
  for (char c : s) {
    if (c == '-') continue;
    if (n == 32) throw FormatException(GuidFormatMessage);
    digits[n++] = c;
  }
  if (n != 32) throw FormatException(GuidFormatMessage);
  std::string_view d(digits, 32);
  Guid g;
  g.D1 = HexToCardinal(d.substr(0, 8));
  g.D2 = static_cast<uint16_t>(HexToCardinal(d.substr(8, 4)));
  g.D3 = static_cast<uint16_t>(HexToCardinal(d.substr(12, 4)));
  for (int i = 0; i < 8; ++i)
    g.D4[i] = static_cast<uint8_t>(HexToCardinal(d.substr(16 + 2 * i, 2)));
  return g;
}

size_t GuidHash::operator()(const Guid& g) const noexcept {
  uint64_t a, b;
  std::memcpy(&a, &g, 8);
  std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
  return std::hash<uint64_t>{}(a * 0x9E3779B97F4A7C15ull ^ b);
}

} // namespace bw
