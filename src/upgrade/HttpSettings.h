// Settings of the HTTP client and its address routines: the proxy, the
// byte range, the time-outs and the output file's attributes, the cache and
// request options, the scrambled form of the server credentials, and the
// splitting and encoding of addresses.
#pragma once

#include "upgrade/UpgradeUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bw {

enum TauHTTPAccessType { atPreconfig, atDirect, atUseProxy };
enum TauHTTPRequestMethod { rmAuto, rmGet, rmPost };
enum TauCacheOption {
  coAlwaysReload,
  coReloadIfNoExpireInformation,
  coReloadUpdatedObjects,
  coPragmaNoCache,
  coNoCacheWrite,
  coCreateTempFilesIfCantCache,
  coUseCacheIfNetFail
};
using TauCacheOptions = TauSet<TauCacheOption>;
enum TauInternetOption {
  ioIgnoreCertificateInvalid,
  ioIgnoreCertificateDateInvalid,
  ioIgnoreUnknownCertificateAuthority,
  ioIgnoreRedirectToHTTP,
  ioIgnoreRedirectToHTTPS,
  ioKeepConnection,
  ioNoAuthentication,
  ioNoAutoRedirect,
  ioNoCookies
};
using TauInternetOptions = TauSet<TauInternetOption>;

// The setting groups copy from an object of their own class and go back to
// their defaults when assigned from nothing; any other source is a
// ConvertError.
class TauPersistent {
public:
  virtual ~TauPersistent() = default;
  virtual void Assign(const TauPersistent* source);
  virtual const char* ClassName() const { return "TPersistent"; }
};

class TauHTTPProxy : public TauPersistent {
public:
  TauHTTPAccessType AccessType = atPreconfig;
  uint16_t ProxyPort = 8080;
  std::string ProxyServer;
  std::string ProxyBypass = "127.0.0.1;";
  std::string ProxyUsername;
  std::string ProxyPassword;
  void Assign(const TauPersistent* source) override;
  const char* ClassName() const override { return "TauHTTPProxy"; }
};

// 0 means not set; an EndRange of 0 means up to the end.
class TauHTTPRange : public TauPersistent {
public:
  uint64_t StartRange = 0;
  uint64_t EndRange = 0;
  void Assign(const TauPersistent* source) override;
  const char* ClassName() const override { return "TauHTTPRange"; }
};

// Milliseconds; 0 keeps the client's own limit. The receive and send
// time-outs bound how long a transfer may go without moving a byte, never
// the length of a whole download.
class TauHTTPTimeouts : public TauPersistent {
public:
  uint32_t ConnectTimeout = 0;
  uint32_t ReceiveTimeout = 0;
  uint32_t SendTimeout = 0;
  // A transfer that moves fewer than LowSpeedLimit bytes a second for
  // LowSpeedTime seconds, while it waits for the answer or its data, ends as
  // "no response". 0 keeps the client's own bound: fewer than 100 bytes a
  // second for 60 seconds, or for the receive or send time-out when that is
  // longer.
  uint32_t LowSpeedLimit = 0;
  uint32_t LowSpeedTime = 0;
  void Assign(const TauPersistent* source) override;
  const char* ClassName() const override { return "TauHTTPTimeouts"; }
};

class TauOutputFileAttributes : public TauPersistent {
public:
  TauFileAttributes Complete() const { return FComplete; }
  TauFileAttributes Incomplete() const { return FIncomplete; }
  void SetComplete(TauFileAttributes value);
  void SetIncomplete(TauFileAttributes value);
  void Assign(const TauPersistent* source) override;
  const char* ClassName() const override { return "TauOutputFileAttributes"; }

protected:
  // Called when a value changes; does nothing here.
  virtual void Changed() {}

private:
  TauFileAttributes FComplete{atrArchive};
  TauFileAttributes FIncomplete{atrArchive, atrTemporary};
};

// The server's user name and password. Their stored form ("LInfo") is one
// length byte N = user + password + 1 (mod 256), then N scrambled bytes:
// the user name's length, the user name and the password.
class TauLoginComponent {
public:
  virtual ~TauLoginComponent() = default;
  std::string HTTPUsername;
  std::string HTTPPassword;
};
// False, with nothing written, when both together exceed 254 bytes.
bool EncodeLoginInfo(const std::string& user, const std::string& password,
                     std::vector<uint8_t>& data);
// False for data that does not hold a complete, consistent record.
bool DecodeLoginInfo(const std::vector<uint8_t>& data, std::string& user, std::string& password);

// Splits an address ("http://" put in front when it has no "://") into its
// parts, decoding "%XX" escapes ("+" stays "+"). Port 0 when the scheme has
// none. Extra is the query and fragment ("?a=b#c"). False for an address
// that cannot be split or whose parts are too long (scheme 32, host 256,
// user and password 128, path and extra 2048 characters); the outputs are
// then unchanged.
bool CrackURL(const std::string& url, std::string& scheme, std::string& host, uint16_t& port,
              std::string& userName, std::string& password, std::string& path, std::string& extra);
// The parts of an address; the path and extra information either decoded
// (as CrackURL gives them) or as written, for building the request.
struct TauURLParts {
  std::string Scheme, Host, UserName, Password, Path, Extra;
  uint16_t Port = 0;
};
bool CrackURLParts(const std::string& url, TauURLParts& parts, bool decode);
// "%XX" (upper-case hex) for every byte below 32 or from 128 up and for
// space, "#", "%", "*", "+", "<" and ">".
std::string EncodeURL(const std::string& text);
std::string ExtractURLHostName(const std::string& url);
// The last part of the address's path, without query and fragment.
std::string ExtractURLFileName(const std::string& url);
// The desktop has no global off-line switch: always false.
bool IsGlobalOffline();
// The text of a status report code ("Connected", "Redirect", ...).
std::string StatusText(int status);

} // namespace bw
