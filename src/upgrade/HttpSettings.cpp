#include "upgrade/HttpSettings.h"

#include "foundation/Exceptions.h"

#include <curl/curl.h>

#include <memory>

namespace bw {

namespace {

// The scramble constant of the stored credentials.
constexpr uint8_t LoginMaskConstant = 0xA5;

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

// A part of the address, or empty when it has none.
std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK || !text) return {};
  std::string result(text);
  curl_free(text);
  return result;
}

// "%XX" escapes decoded; a "+" stays as it is.
std::string Unescape(const std::string& text) {
  int length = 0;
  char* decoded = curl_easy_unescape(nullptr, text.data(), static_cast<int>(text.size()), &length);
  if (!decoded) return text;
  std::string result(decoded, static_cast<size_t>(length));
  curl_free(decoded);
  return result;
}

} // namespace

void TauPersistent::Assign(const TauPersistent* source) {
  std::string from = source ? source->ClassName() : "nil";
  throw ConvertError("Cannot assign a " + from + " to a " + ClassName());
}

void TauHTTPProxy::Assign(const TauPersistent* source) {
  if (!source) {
    *this = TauHTTPProxy();
  } else if (auto* p = dynamic_cast<const TauHTTPProxy*>(source)) {
    *this = *p;
  } else {
    TauPersistent::Assign(source);
  }
}

void TauHTTPRange::Assign(const TauPersistent* source) {
  if (!source) {
    *this = TauHTTPRange();
  } else if (auto* r = dynamic_cast<const TauHTTPRange*>(source)) {
    *this = *r;
  } else {
    TauPersistent::Assign(source);
  }
}

void TauHTTPTimeouts::Assign(const TauPersistent* source) {
  if (!source) {
    *this = TauHTTPTimeouts();
  } else if (auto* t = dynamic_cast<const TauHTTPTimeouts*>(source)) {
    *this = *t;
  } else {
    TauPersistent::Assign(source);
  }
}

void TauOutputFileAttributes::SetComplete(TauFileAttributes value) {
  if (value == FComplete) return;
  FComplete = value;
  Changed();
}

void TauOutputFileAttributes::SetIncomplete(TauFileAttributes value) {
  if (value == FIncomplete) return;
  FIncomplete = value;
  Changed();
}

void TauOutputFileAttributes::Assign(const TauPersistent* source) {
  if (!source) {
    SetComplete({atrArchive});
    SetIncomplete({atrArchive, atrTemporary});
  } else if (auto* a = dynamic_cast<const TauOutputFileAttributes*>(source)) {
    SetComplete(a->Complete());
    SetIncomplete(a->Incomplete());
  } else {
    TauPersistent::Assign(source);
  }
}

bool EncodeLoginInfo(const std::string& user, const std::string& password,
                     std::vector<uint8_t>& data) {
  size_t total = user.size() + password.size();
  if (total > 254) return false;
  auto n = static_cast<uint8_t>(total + 1);
  uint8_t mask = n ^ LoginMaskConstant;
  data.clear();
  data.push_back(n);
  data.push_back(static_cast<uint8_t>(user.size()) ^ mask);
  for (char c : user)
    data.push_back(static_cast<uint8_t>(c) ^ mask);
  for (char c : password)
    data.push_back(static_cast<uint8_t>(c) ^ mask);
  return true;
}

bool DecodeLoginInfo(const std::vector<uint8_t>& data, std::string& user, std::string& password) {
  if (data.empty()) return false;
  size_t n = data[0];
  if (n == 0 || data.size() != n + 1) return false;
  uint8_t mask = data[0] ^ LoginMaskConstant;
  size_t userLength = data[1] ^ mask;
  if (userLength > n - 1) return false;
  std::string u, p;
  for (size_t i = 0; i < userLength; ++i)
    u.push_back(static_cast<char>(data[2 + i] ^ mask));
  for (size_t i = 2 + userLength; i <= n; ++i)
    p.push_back(static_cast<char>(data[i] ^ mask));
  user = std::move(u);
  password = std::move(p);
  return true;
}

bool CrackURLParts(const std::string& url, TauURLParts& parts, bool decode) {
  std::string address = url.find("://") == std::string::npos ? "http://" + url : url;
  // libcurl's encoding turns a blank of the query into "+", which then could
  // not be told from a "+" of the address: blanks are escaped here, as
  // libcurl would escape them anywhere else.
  for (size_t at = address.find(' '); at != std::string::npos; at = address.find(' ', at + 3))
    address.replace(at, 1, "%20");
  UrlHandle handle(curl_url(), &curl_url_cleanup);
  if (!handle || curl_url_set(handle.get(), CURLUPART_URL, address.c_str(),
                              CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE) != CURLUE_OK)
    return false;
  unsigned flags = decode ? CURLU_URLDECODE : 0;
  TauURLParts p;
  p.Scheme = UrlPart(handle.get(), CURLUPART_SCHEME, 0);
  p.Host = UrlPart(handle.get(), CURLUPART_HOST, 0);
  p.UserName = UrlPart(handle.get(), CURLUPART_USER, CURLU_URLDECODE);
  p.Password = UrlPart(handle.get(), CURLUPART_PASSWORD, CURLU_URLDECODE);
  p.Path = UrlPart(handle.get(), CURLUPART_PATH, flags);
  // libcurl's own decoding of a query would turn "+" into a blank.
  std::string query = UrlPart(handle.get(), CURLUPART_QUERY, 0);
  std::string fragment = UrlPart(handle.get(), CURLUPART_FRAGMENT, 0);
  if (decode) {
    query = Unescape(query);
    fragment = Unescape(fragment);
  }
  if (!query.empty()) p.Extra += "?" + query;
  if (!fragment.empty()) p.Extra += "#" + fragment;
  std::string port = UrlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  p.Port = port.empty() ? 0 : static_cast<uint16_t>(std::stoul(port));
  if (p.Scheme.size() > 32 || p.Host.size() > 256 || p.UserName.size() > 128 ||
      p.Password.size() > 128 || p.Path.size() > 2048 || p.Extra.size() > 2048)
    return false;
  parts = std::move(p);
  return true;
}

bool CrackURL(const std::string& url, std::string& scheme, std::string& host, uint16_t& port,
              std::string& userName, std::string& password, std::string& path, std::string& extra) {
  TauURLParts p;
  if (!CrackURLParts(url, p, true)) return false;
  scheme = p.Scheme;
  host = p.Host;
  port = p.Port;
  userName = p.UserName;
  password = p.Password;
  path = p.Path;
  extra = p.Extra;
  return true;
}

std::string EncodeURL(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size());
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 32 || c >= 128 || c == ' ' || c == '#' || c == '%' || c == '*' || c == '+' ||
        c == '<' || c == '>') {
      result += '%';
      result += hex[c >> 4];
      result += hex[c & 15];
    } else {
      result += ch;
    }
  }
  return result;
}

std::string ExtractURLHostName(const std::string& url) {
  TauURLParts p;
  return CrackURLParts(url, p, true) ? p.Host : std::string();
}

std::string ExtractURLFileName(const std::string& url) {
  TauURLParts p;
  if (!CrackURLParts(url, p, true)) return {};
  size_t slash = p.Path.find_last_of("/\\");
  return slash == std::string::npos ? p.Path : p.Path.substr(slash + 1);
}

bool IsGlobalOffline() {
  return false;
}

std::string StatusText(int status) {
  switch (status) {
  case 10:
    return "Resolving name";
  case 11:
    return "Name resolved";
  case 20:
    return "Connecting to server";
  case 21:
    return "Connected";
  case 30:
    return "Sending Request";
  case 31:
    return "Request sent";
  case 40:
    return "Receiving response";
  case 41:
    return "Response received";
  case 42:
    return "CTL Response received";
  case 43:
    return "Prefetch";
  case 50:
    return "Closing connection";
  case 51:
    return "Connection closed";
  case 60:
    return "Handle created";
  case 70:
    return "Handle closing";
  case 100:
    return "Request complete";
  case 110:
    return "Redirect";
  case 120:
    return "Intermediate response";
  case 200:
    return "State change";
  default:
    return "Unknown status";
  }
}

} // namespace bw
