#include "LoopbackServer.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bw::test {

LoopbackServer& LoopbackServer::Plain() {
  static LoopbackServer server(false);
  return server;
}

LoopbackServer& LoopbackServer::Secure() {
  static LoopbackServer server(true);
  return server;
}

LoopbackServer::LoopbackServer(bool tls) {
  if (tls) {
    char dir[] = "/tmp/bw-upgrade-tls-XXXXXX";
    if (!mkdtemp(dir)) throw std::runtime_error("no temporary folder for the certificate");
    FTlsDir = dir;
  }
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("no pipe for the loopback server");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::string script = BW_HTTP_FIXTURE;
  std::vector<char*> argv = {const_cast<char*>("python3"), script.data()};
  if (tls) argv.push_back(FTlsDir.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start the loopback server");
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  FPid = pid;
  FStdin = in[1];
  std::string line;
  char c;
  pollfd p{out[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0 && read(out[0], &c, 1) == 1)
    line += c;
  close(out[0]);
  char cert[4096] = {};
  if (std::sscanf(line.c_str(), "http %d https %d cert %4095s", &FPort, &FHttpsPort, cert) != 3)
    throw std::runtime_error("the loopback server did not start: " + line);
  FCert = cert;
}

LoopbackServer::~LoopbackServer() {
  if (FStdin >= 0) close(FStdin);
  if (FPid > 0) {
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
  }
  if (!FTlsDir.empty()) {
    unlink((FTlsDir + "/cert.pem").c_str());
    unlink((FTlsDir + "/key.pem").c_str());
    rmdir(FTlsDir.c_str());
  }
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

std::string LoopbackServer::HttpsUrl(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(FHttpsPort) + path;
}

std::string FixtureContent(int64_t offset, int64_t size) {
  std::string s(static_cast<size_t>(size), '\0');
  for (int64_t i = 0; i < size; ++i)
    s[static_cast<size_t>(i)] = static_cast<char>((((offset + i) % 65536) * 31 + 7) % 251);
  return s;
}

} // namespace bw::test
