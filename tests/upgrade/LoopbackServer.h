// The scripted HTTP(S) server of the upgrade tests on 127.0.0.1, started
// once per test program (http_fixture.py describes its paths).
#pragma once

#include <cstdint>
#include <string>

namespace bw::test {

class LoopbackServer {
public:
  // The plain server; Secure() the one that also serves HTTPS with a
  // self-signed certificate made at start.
  static LoopbackServer& Plain();
  static LoopbackServer& Secure();
  ~LoopbackServer();

  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;
  std::string HttpsUrl(const std::string& path) const;
  const std::string& CertificateFile() const { return FCert; }
  int Port() const { return FPort; }

private:
  explicit LoopbackServer(bool tls);
  int FPid = -1;
  int FStdin = -1;
  int FPort = 0;
  int FHttpsPort = 0;
  std::string FCert;
  std::string FTlsDir;
};

// The server's /file content: byte i is ((i % 65536) * 31 + 7) % 251.
std::string FixtureContent(int64_t offset, int64_t size);

} // namespace bw::test
