#include "upgrade/HttpTransfer.h"

#include "foundation/ErrorReport.h"
#include "upgrade/HttpDate.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace bw {

namespace {

// Header values longer than this count as absent.
constexpr size_t MaxHeaderValue = 4096;
// Limits of a transfer whose time-outs are left at 0: a silent server must
// not hold the upgrade for ever.
constexpr uint32_t DefaultConnectTimeoutMs = 30000;
constexpr uint32_t DefaultStallTimeoutMs = 60000;
// A server that sends a byte now and then must not hold it for ever either.
constexpr uint32_t DefaultLowSpeedLimit = 100; // bytes a second
constexpr uint32_t DefaultLowSpeedTime = 60;   // seconds
constexpr long MaxRedirects = 10;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// A non-negative decimal number of the whole text; false for anything else.
bool ParseLength(std::string_view s, int64_t& value) {
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), value, 10);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && value >= 0 && s.front() != '-';
}

// The realm of a WWW-Authenticate value: what follows the first '="',
// without the value's last character (the closing quote); the whole value
// when it has no '="'.
std::string RealmOf(const std::string& header) {
  size_t at = header.find("=\"");
  if (at == std::string::npos) return header;
  std::string rest = header.substr(at + 2);
  if (!rest.empty()) rest.pop_back();
  return rest;
}

// The transfer whose body runs on this thread, for the sockets libcurl
// opens for it.
thread_local const void* tTransfer = nullptr;

} // namespace

// The header block of one response; a new status line starts a new block,
// so after redirects and authentication round trips the last one is left.
struct HttpTransfer::HeaderBlock {
  int Code = 0;
  bool Complete = false;
  bool Redirecting = false;
  std::string Raw;
  bool RawTooLong = false;
  std::string ContentType, ContentLanguage, ContentEncoding, Location, ETag, Date, LastModified,
      Expires, WwwAuthenticate, ContentRange;
  bool HasLength = false, HasContentRange = false, HasWwwAuthenticate = false;
  int64_t Length = 0;
};

struct HttpTransfer::PerformState {
  HeaderBlock Block;
  bool ResponseDone = false;
  bool FullLengthProbe = false;
  Stop StopKind = Stop::None;
  CURL* Handle = nullptr;
};

CurlHandlePool::~CurlHandlePool() {
  if (FSpare) curl_easy_cleanup(FSpare);
}

CURL* CurlHandlePool::Take() {
  CURL* handle;
  {
    std::lock_guard lock(Lock);
    handle = FSpare;
    FSpare = nullptr;
  }
  return handle ? handle : curl_easy_init();
}

void CurlHandlePool::Give(CURL* handle) {
  CURL* old;
  {
    std::lock_guard lock(Lock);
    old = FSpare;
    FSpare = handle;
  }
  if (old) curl_easy_cleanup(old);
}

HttpTransfer::HttpTransfer(TauCustomHTTP* owner, std::shared_ptr<CurlHandlePool> pool,
                           Settings settings, uint64_t resumeStart, uint64_t resumeEnd)
    : Owner(owner), S(std::move(settings)), ResumeStart(static_cast<int64_t>(resumeStart)),
      ResumeEnd(static_cast<int64_t>(resumeEnd)), FPool(std::move(pool)) {}

HttpTransfer::~HttpTransfer() {
  if (FHeaders) curl_slist_free_all(FHeaders);
  if (FRequestUrl) curl_url_cleanup(FRequestUrl);
}

void HttpTransfer::Cancel() {
  {
    std::lock_guard gate(FEventGate);
    Cancelled = true;
  }
  BreakConnection();
}

void HttpTransfer::BreakConnection() {
  std::lock_guard lock(FPool->Lock);
  for (auto [fd, user] : FPool->Sockets)
    if (user == this) shutdown(fd, SHUT_RDWR);
}

void HttpTransfer::FreeData() {
  std::unique_ptr<TauStream> data;
  bool wasFile;
  {
    std::lock_guard lock(StreamLock);
    data = std::move(Data);
    wasFile = OutputIsFile;
  }
  if (data) {
    data.reset();
    TauFileAttributes incomplete = S.Attributes.Incomplete();
    if (wasFile && !(incomplete == TauFileAttributes{atrArchive}))
      ApplyFileAttributes(S.OutputFileName, incomplete);
  }
  Active = false;
}

void HttpTransfer::AbortCleanup() {
  BreakConnection();
  bool wasFile;
  {
    std::lock_guard lock(StreamLock);
    wasFile = OutputIsFile;
  }
  FreeData();
  if (wasFile && DeleteOnAbort) unlink(S.OutputFileName.c_str());
}

bool HttpTransfer::HttpsOnly() const {
  return FDecoded.Scheme == "https" && !S.InternetOptions.Has(ioIgnoreRedirectToHTTP);
}

bool HttpTransfer::StopRequested() const {
  return Cancelled || (FThread && FThread->Terminated());
}

bool HttpTransfer::CheckPoint() {
  if (Cancelled) {
    Aborted = true;
    return true;
  }
  if (FThread && FThread->Terminated()) {
    Aborted = true;
    AbortCleanup();
    TauCustomHTTP* owner = Owner;
    Sync([owner] {
      Guarded([owner] {
        if (owner->OnTransferAborted) owner->OnTransferAborted(owner);
      });
    });
    return true;
  }
  return false;
}

void HttpTransfer::Sync(const std::function<void()>& fn) {
  if (FThread)
    FThread->Synchronize(fn);
  else
    fn();
}

void HttpTransfer::MarkActivity() {
  FLastActivityMs = NowMs();
}

void HttpTransfer::FireStatus(int status) {
  if (!S.OnStatusChange) return;
  std::lock_guard gate(FEventGate);
  if (Cancelled) return;
  Guarded([&] { S.OnStatusChange(Owner, status, StatusText(status)); });
}

void HttpTransfer::FireRedirect(const std::string& address) {
  FireStatus(110);
  if (!S.OnRedirect) return;
  std::lock_guard gate(FEventGate);
  if (Cancelled) return;
  Guarded([&] { S.OnRedirect(Owner, address); });
}

void HttpTransfer::FireRequestOpened(CURL* h) {
  if (!S.OnRequestOpened) return;
  std::lock_guard gate(FEventGate);
  if (Cancelled) return;
  Guarded([&] { S.OnRequestOpened(Owner, h); });
}

// --- the body ---

void HttpTransfer::Execute() {
  FThread = TauEventThread::Current();
  Status = -1;
  ContentType.clear();
  FStart = std::chrono::steady_clock::now();
  Continue = true;
  bool cracked = CrackURLParts(S.URL, FDecoded, true) && CrackURLParts(S.URL, FRaw, false);
  FUserName = FDecoded.UserName.empty() ? S.UserName : FDecoded.UserName;
  FPassword = FDecoded.Password.empty() ? S.Password : FDecoded.Password;
  if (CheckPoint() || !cracked) return;

  Outcome outcome;
  if (FDecoded.Scheme == "file")
    outcome = ReadLocalFile(FDecoded.Path);
  else if (S.WorkOffline)
    outcome = Outcome::Ended;
  else
    outcome = RunHttp();

  switch (outcome) {
  case Outcome::Aborted:
    Aborted = true;
    return;
  case Outcome::NoData:
    Succeeded = true;
    return;
  case Outcome::Ended:
    Succeeded = false;
    return;
  case Outcome::Read:
    break;
  }
  // A transport error after the status, or a body shorter than announced,
  // is a failure, never the end of the data.
  int status = Status;
  Succeeded = (status == 200 || status == 206) && !FTransportFailed;
  bool hasData;
  {
    std::lock_guard lock(StreamLock);
    hasData = Data != nullptr;
  }
  if (Succeeded && ContentLength != 0 && hasData) Succeeded = BytesTransferred == ContentLength;
}

HttpTransfer::Outcome HttpTransfer::RunHttp() {
  // The client's kept handle, so that its open connection serves this
  // transfer too; kept again afterwards unless the transfer was stopped.
  struct Handle {
    HttpTransfer* T;
    CURL* H;
    ~Handle() {
      T->FireStatus(70);
      tTransfer = nullptr;
      if (!H) return;
      if (T->S.InternetOptions.Has(ioKeepConnection) && !T->StopRequested()) {
        curl_easy_reset(H);
        T->FPool->Give(H);
      } else {
        curl_easy_cleanup(H);
      }
    }
  } easy{this, FPool->Take()};
  tTransfer = this;
  if (!easy.H) return Outcome::Ended;

  for (;;) {
    if (CheckPoint()) return Outcome::Aborted;
    PerformState ps;
    SetupRequest(easy.H, ps, false);
    FireRequestOpened(easy.H);
    if (CheckPoint()) return Outcome::Aborted;
    FPerform = &ps;
    MarkActivity();
    CURLcode rc = curl_easy_perform(easy.H);
    FPerform = nullptr;
    if (FCallbackError) std::rethrow_exception(FCallbackError);
    if (CheckPoint()) return Outcome::Aborted;
    const HeaderBlock& b = ps.Block;
    if (ps.StopKind == Stop::None && !ps.ResponseDone && b.Complete && !b.Redirecting &&
        b.Code >= 200) {
      ps.ResponseDone = true;
      ps.StopKind = ResponsePhase(ps);
    }
    switch (ps.StopKind) {
    case Stop::Abort:
      CheckPoint();
      return Outcome::Aborted;
    case Stop::Retry:
      continue;
    case Stop::Range416: {
      int64_t full = GetFullContentLength(easy.H);
      if (CheckPoint()) return Outcome::Aborted;
      if (full == ResumeStart) return Outcome::NoData;
      Status = -1;
      ResumeStart = ResumeEnd = 0;
      continue;
    }
    case Stop::Restart:
      // The whole resource into a rewritten file, at most once: the resume
      // offsets are gone.
      Status = -1;
      ResumeStart = ResumeEnd = 0;
      continue;
    case Stop::NoData:
      return Outcome::NoData;
    case Stop::End:
      return Outcome::Ended;
    case Stop::WriteFailed:
      FTransportFailed = true;
      return Outcome::Read;
    case Stop::FullLength:
    case Stop::None:
      break;
    }
    if (!ps.ResponseDone || rc == CURLE_OPERATION_TIMEDOUT) {
      // No usable response: refused, unreachable, malformed, a redirect to
      // another protocol or in a loop, silent, or too slow.
      curl_off_t connected = 0;
      StoppedAnswering =
          rc == CURLE_OPERATION_TIMEDOUT &&
          curl_easy_getinfo(easy.H, CURLINFO_CONNECT_TIME_T, &connected) == CURLE_OK &&
          connected > 0;
      Status = -1;
      return Outcome::Ended;
    }
    if (rc != CURLE_OK) FTransportFailed = true;
    return Outcome::Read;
  }
}

void HttpTransfer::SetupRequest(CURL* h, PerformState& ps, bool fullLengthProbe) {
  ps.FullLengthProbe = fullLengthProbe;
  ps.Handle = h;
  curl_easy_reset(h);
  if (FHeaders) curl_slist_free_all(FHeaders);
  FHeaders = nullptr;
  if (FRequestUrl) curl_url_cleanup(FRequestUrl);
  FRequestUrl = curl_url();

  // The path as written, the extra information encoded.
  std::string path = FRaw.Path.empty() ? "/" : FRaw.Path;
  std::string extra = EncodeURL(FDecoded.Extra);
  std::string query;
  if (!extra.empty() && extra[0] == '?')
    query = extra.substr(1);
  else
    path += extra;
  // Given as one address: libcurl keeps the escapes of a whole address as
  // they are, where it would write those of a query set on its own in lower
  // case.
  std::string address = FRaw.Scheme + "://" + FRaw.Host;
  if (FRaw.Port != 0) address += ":" + std::to_string(FRaw.Port);
  address += path;
  if (!query.empty()) address += "?" + query;
  curl_url_set(FRequestUrl, CURLUPART_URL, address.c_str(), CURLU_NON_SUPPORT_SCHEME);
  curl_easy_setopt(h, CURLOPT_CURLU, FRequestUrl);

  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, HttpsOnly() ? "https" : "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, S.InternetOptions.Has(ioNoAutoRedirect) ? 0L : 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, MaxRedirects);
  curl_easy_setopt(h, CURLOPT_USERAGENT, S.Agent.c_str());
  if (!S.Referer.empty()) curl_easy_setopt(h, CURLOPT_REFERER, S.Referer.c_str());

  // Certificates are always checked, whatever the options ask.
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!S.TrustedCertificates.empty()) {
    curl_easy_setopt(h, CURLOPT_CAINFO, S.TrustedCertificates.c_str());
    curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
  }

  const TauHTTPProxy& proxy = S.Proxy;
  if (proxy.AccessType == atDirect) {
    curl_easy_setopt(h, CURLOPT_PROXY, "");
  } else if (proxy.AccessType == atUseProxy) {
    std::string server = proxy.ProxyServer + ":" + std::to_string(proxy.ProxyPort);
    curl_easy_setopt(h, CURLOPT_PROXY, server.c_str());
    std::string bypass;
    std::string list = proxy.ProxyBypass;
    std::replace(list.begin(), list.end(), ';', ',');
    for (size_t from = 0; from <= list.size();) {
      size_t comma = list.find(',', from);
      std::string entry(TrimView(std::string_view(list).substr(from, comma - from)));
      from = comma == std::string::npos ? list.size() + 1 : comma + 1;
      if (entry.empty() || entry == "<local>") continue;
      if (entry.rfind("*.", 0) == 0) entry.erase(0, 1);
      bypass += (bypass.empty() ? "" : ",") + entry;
    }
    if (!bypass.empty()) curl_easy_setopt(h, CURLOPT_NOPROXY, bypass.c_str());
  }
  if (proxy.AccessType != atDirect && !proxy.ProxyUsername.empty() &&
      !proxy.ProxyPassword.empty()) {
    curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, proxy.ProxyUsername.c_str());
    curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, proxy.ProxyPassword.c_str());
    curl_easy_setopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
  }
  if (!S.InternetOptions.Has(ioNoAuthentication) && (!FUserName.empty() || !FPassword.empty())) {
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    curl_easy_setopt(h, CURLOPT_USERNAME, FUserName.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, FPassword.c_str());
  }

  auto addHeader = [this](const std::string& line) {
    if (curl_slist* l = curl_slist_append(FHeaders, line.c_str())) FHeaders = l;
  };
  if (!S.AcceptTypes.empty()) addHeader("Accept: " + S.AcceptTypes);
  if (S.CacheOptions.Has(coPragmaNoCache) || S.CacheOptions.Has(coAlwaysReload)) {
    addHeader("Pragma: no-cache");
    addHeader("Cache-Control: no-cache");
  }
  for (const std::string& line : S.RequestHeaders)
    if (!TrimView(line).empty()) addHeader(std::string(TrimView(line)));
  FRangeSent = false;
  if (fullLengthProbe) {
    addHeader("Range: bytes=0-");
  } else if (ResumeStart != 0 || ResumeEnd != 0 || S.Range.StartRange != 0 ||
             S.Range.EndRange != 0) {
    bool resume = ResumeStart != 0 || ResumeEnd != 0;
    FRangeStart = resume ? ResumeStart : static_cast<int64_t>(S.Range.StartRange);
    FRangeEnd = resume ? ResumeEnd : static_cast<int64_t>(S.Range.EndRange);
    FRangeSent = true;
    addHeader("Range: bytes=" + std::to_string(FRangeStart) + "-" +
              (FRangeEnd != 0 ? std::to_string(FRangeEnd) : std::string()));
  }
  addHeader("Expect:");
  bool post = S.Method == rmPost || (S.Method == rmAuto && !S.PostData.empty());
  if (post) {
    addHeader("Content-Type: application/x-www-form-urlencoded");
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(S.PostData.size()));
    curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, S.PostData.c_str());
  } else {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  }
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, FHeaders);

  uint32_t connect =
      S.Timeouts.ConnectTimeout ? S.Timeouts.ConnectTimeout : DefaultConnectTimeoutMs;
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect));
  const TauHTTPTimeouts& t = S.Timeouts;
  const uint32_t stallSeconds = (std::max(t.ReceiveTimeout, t.SendTimeout) + 999) / 1000;
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT,
                   static_cast<long>(t.LowSpeedLimit ? t.LowSpeedLimit : DefaultLowSpeedLimit));
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                   static_cast<long>(t.LowSpeedTime ? t.LowSpeedTime
                                                    : std::max(DefaultLowSpeedTime, stallSeconds)));
  long buffer = std::clamp<long>(S.BufferSize, 1024, CURL_MAX_READ_SIZE);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, buffer);

  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &HttpTransfer::HeaderCallback);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &HttpTransfer::WriteCallback);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &HttpTransfer::ProgressCallback);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &HttpTransfer::PrereqCallback);
  curl_easy_setopt(h, CURLOPT_PREREQDATA, this);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &HttpTransfer::OpenSocketCallback);
  // The pool outlives every handle and connection, and so every call of
  // these two.
  curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, FPool.get());
  curl_easy_setopt(h, CURLOPT_CLOSESOCKETFUNCTION, &HttpTransfer::CloseSocketCallback);
  curl_easy_setopt(h, CURLOPT_CLOSESOCKETDATA, FPool.get());
}

HttpTransfer::Stop HttpTransfer::ResponsePhase(PerformState& ps) {
  const HeaderBlock& b = ps.Block;
  Status = b.Code;
  if (StopRequested()) return Stop::Abort;

  if (Status == 416 && ResumeStart != 0) return Stop::Range416;
  bool tryAgain = false;
  if (Status == 401 && S.HasServerPassword) {
    std::string realm = b.HasWwwAuthenticate ? RealmOf(b.WwwAuthenticate) : std::string();
    TauCustomHTTP* owner = Owner;
    Sync([&] {
      if (owner->OnServerPasswordRequest) owner->OnServerPasswordRequest(owner, realm, tryAgain);
      FUserName = owner->HTTPUsername;
      FPassword = owner->HTTPPassword;
    });
  } else if (Status == 407 && S.HasProxyAuthentication) {
    TauCustomHTTP* owner = Owner;
    TauHTTPProxy& proxy = S.Proxy;
    Sync([&] {
      if (owner->OnProxyAuthenticationRequest)
        owner->OnProxyAuthenticationRequest(owner, owner->Proxy.ProxyUsername,
                                            owner->Proxy.ProxyPassword, tryAgain);
      proxy.ProxyUsername = owner->Proxy.ProxyUsername;
      proxy.ProxyPassword = owner->Proxy.ProxyPassword;
    });
  }
  if (StopRequested()) return Stop::Abort;
  if (tryAgain) return Stop::Retry;

  // Any data stream of an earlier pass goes.
  {
    std::lock_guard lock(StreamLock);
    Data.reset();
    OutputIsFile = false;
  }
  if (!b.ContentType.empty()) ContentType = b.ContentType;
  Succeeded = b.HasLength;
  ContentLength = b.HasLength ? b.Length : 0;
  bool partial = Status == 206;
  // Without a content range the server sends the whole resource, written
  // from the start.
  if (!partial || !b.HasContentRange) ResumeStart = 0;
  // A part other than the one asked for is never written in its place.
  if (partial && !RangeAgrees(b)) {
    Succeeded = false;
    FTransportFailed = true;
    return Stop::End;
  }

  if (S.HasHeaderInfo) {
    TDateTime date = b.Date.empty() ? 0 : ParseHTTPDate(b.Date);
    TDateTime modified = b.LastModified.empty() ? 0 : ParseHTTPDate(b.LastModified);
    TDateTime expires = b.Expires.empty() ? 0 : ParseHTTPDate(b.Expires);
    std::string raw = b.RawTooLong ? std::string() : b.Raw;
    int status = Status;
    int64_t length = ContentLength + ResumeStart;
    bool cont = true;
    TauCustomHTTP* owner = Owner;
    Sync([&] {
      if (owner->OnHeaderInfo)
        owner->OnHeaderInfo(owner, status, raw, ContentType, b.ContentLanguage, b.ContentEncoding,
                            length, b.Location, date, modified, expires, b.ETag, cont);
    });
    Continue = cont;
    if (StopRequested()) return Stop::Abort;
    if (!Continue) return Stop::End;
  }
  return OpenDataStream();
}

HttpTransfer::Stop HttpTransfer::OpenDataStream() {
  if (StopRequested()) return Stop::Abort;
  int status = Status;
  if ((status == 200 || status == 206) && !S.OutputFileName.empty()) {
    std::unique_ptr<TauFileStream> file;
    try {
      file = std::make_unique<TauFileStream>(S.OutputFileName, true, ResumeStart == 0);
    } catch (const FCreateError& e) {
      // An output file that cannot be opened ends the transfer without
      // data; the data never goes silently to memory instead.
      OutputRefused = std::error_code(e.Code, std::generic_category()).message();
      return Stop::NoData;
    }
    if (ResumeStart != 0 && file->Seek(ResumeStart) != ResumeStart) {
      Status = -1;
      return Stop::Restart;
    }
    TauFileAttributes incomplete = S.Attributes.Incomplete();
    if (!(incomplete == TauFileAttributes{atrArchive}))
      ApplyFileAttributes(S.OutputFileName, incomplete);
    std::lock_guard lock(StreamLock);
    Data = std::move(file);
    OutputIsFile = true;
  } else {
    auto memory = std::make_unique<TauMemoryStream>();
    if (Succeeded) memory->Reserve(std::min(ContentLength, MaxPresize));
    std::lock_guard lock(StreamLock);
    Data = std::move(memory);
  }
  FVerify = ResumeStart != 0 && OutputIsFile;
  BytesTransferred = 0;
  return Stop::None;
}

bool HttpTransfer::RangeAgrees(const HeaderBlock& b) const {
  if (!FRangeSent || !b.HasContentRange) return false;
  // "bytes first-last/complete"
  std::string_view v = TrimView(b.ContentRange);
  if (LowerAscii(v.substr(0, 6)) != "bytes ") return false;
  v = TrimView(v.substr(6));
  size_t dash = v.find('-'), slash = v.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
    return false;
  int64_t first, last;
  if (!ParseLength(v.substr(0, dash), first) ||
      !ParseLength(v.substr(dash + 1, slash - dash - 1), last) || last < first)
    return false;
  if (first != FRangeStart) return false;
  if (FRangeEnd != 0 && last > FRangeEnd) return false;
  return !b.HasLength || b.Length == last - first + 1;
}

bool HttpTransfer::HandleBlock(const char* data, size_t size, PerformState& ps) {
  if (StopRequested()) return false;
  auto n = static_cast<int64_t>(size);
  BytesTransferred += n;
  if (FVerify) {
    // The first block must match what the file holds at the resume offset,
    // byte for byte and only as far as it was received; a file that holds
    // less there does not match.
    FVerify = false;
    bool same = false;
    {
      std::lock_guard lock(StreamLock);
      if (auto* file = dynamic_cast<TauFileStream*>(Data.get())) {
        std::vector<char> held(size);
        same = file->ReadAt(file->Position(), held.data(), n) == n &&
               std::memcmp(held.data(), data, size) == 0;
        if (same) file->Seek(file->Position() + n);
      }
    }
    if (same) return true;
    Status = -1;
    ps.StopKind = Stop::Restart;
    return false;
  }
  {
    // Under the lock and after a last look at the flags: once an abort has
    // returned, nothing more reaches the file.
    std::lock_guard lock(StreamLock);
    if (StopRequested()) return false;
    if (!Data || Data->Write(data, n) != n) {
      ps.StopKind = Stop::WriteFailed;
      return false;
    }
  }
  if (S.HasProgress) FireProgress();
  return !StopRequested();
}

void HttpTransfer::FireProgress() {
  int64_t elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - FStart)
                          .count();
  auto elapsed = static_cast<uint32_t>(elapsedMs / 1000);
  uint8_t percent = GetPercent(BytesTransferred + ResumeStart, ContentLength + ResumeStart);
  int64_t left = 0;
  if (BytesTransferred > 0)
    left = static_cast<int64_t>(std::nearbyint(static_cast<double>(ContentLength) /
                                               static_cast<double>(BytesTransferred) * elapsed)) -
           elapsed;
  float rate = static_cast<float>(BytesTransferred) / 1024.0f;
  if (elapsed != 0) rate /= static_cast<float>(elapsed);
  TauStream* data;
  {
    std::lock_guard lock(StreamLock);
    data = Data.get();
  }
  TauCustomHTTP* owner = Owner;
  int64_t size = ContentLength + ResumeStart;
  int64_t received = BytesTransferred + ResumeStart;
  Sync([&] {
    if (owner->OnDownloadProgress)
      owner->OnDownloadProgress(owner, ContentType, size, received, elapsed, left, percent, rate,
                                data);
  });
}

int64_t HttpTransfer::GetFullContentLength(CURL* h) {
  PerformState ps;
  SetupRequest(h, ps, true);
  if (CheckPoint()) return 0;
  FPerform = &ps;
  MarkActivity();
  curl_easy_perform(h);
  FPerform = nullptr;
  if (FCallbackError) std::rethrow_exception(FCallbackError);
  if (StopRequested()) return 0;
  const HeaderBlock& b = ps.Block;
  if (!b.Complete || b.Redirecting) return 0;
  Status = b.Code;
  return (b.Code == 200 || b.Code == 206) && b.HasLength ? b.Length : 0;
}

HttpTransfer::Outcome HttpTransfer::ReadLocalFile(const std::string& path) {
  for (;;) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(fd);
      fd = -1;
    }
    struct Closer {
      int& Fd;
      ~Closer() {
        if (Fd >= 0) close(Fd);
      }
    } closer{fd};
    if (fd < 0) {
      Status = 404;
      ContentLength = 0;
    } else {
      Status = 200;
      int64_t start = ResumeStart != 0 ? ResumeStart : static_cast<int64_t>(S.Range.StartRange);
      lseek(fd, static_cast<off_t>(start), SEEK_SET);
      ContentLength = std::max<int64_t>(0, static_cast<int64_t>(st.st_size) - start);
    }
    if (CheckPoint()) return Outcome::Aborted;
    Stop stop = OpenDataStream();
    if (stop == Stop::Abort) {
      CheckPoint();
      return Outcome::Aborted;
    }
    if (stop == Stop::NoData) return Outcome::NoData;
    if (stop == Stop::Restart) {
      Status = -1;
      ResumeStart = ResumeEnd = 0;
      continue;
    }
    if (fd < 0) return Outcome::Read;
    PerformState ps;
    std::vector<char> buffer(std::clamp<uint32_t>(S.BufferSize, 255, CURL_MAX_READ_SIZE));
    for (;;) {
      if (CheckPoint()) return Outcome::Aborted;
      ssize_t n = read(fd, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        FTransportFailed = true;
        break;
      }
      if (n == 0) break;
      if (!HandleBlock(buffer.data(), static_cast<size_t>(n), ps)) break;
    }
    if (CheckPoint()) return Outcome::Aborted;
    if (ps.StopKind == Stop::Restart) {
      Status = -1;
      ResumeStart = ResumeEnd = 0;
      continue;
    }
    if (ps.StopKind == Stop::WriteFailed) FTransportFailed = true;
    return Outcome::Read;
  }
}

// --- libcurl callbacks, on the worker inside curl_easy_perform ---

size_t HttpTransfer::HeaderCallback(char* buffer, size_t size, size_t count, void* user) {
  auto* t = static_cast<HttpTransfer*>(user);
  size_t length = size * count;
  PerformState* ps = t->FPerform;
  if (!ps) return length;
  try {
    t->MarkActivity();
    std::string_view line(buffer, length);
    HeaderBlock& b = ps->Block;
    if (line.rfind("HTTP/", 0) == 0) {
      b = HeaderBlock();
      std::string_view rest =
          line.substr(line.find(' ') == std::string_view::npos ? line.size() : line.find(' ') + 1);
      int code = 0;
      std::from_chars(rest.data(), rest.data() + std::min<size_t>(3, rest.size()), code);
      b.Code = code;
      b.Raw.assign(line);
      t->FireStatus(40);
      return length;
    }
    if (TrimView(line).empty()) {
      b.Complete = true;
      t->FireStatus(41);
      bool follow = !t->S.InternetOptions.Has(ioNoAutoRedirect);
      if (follow && b.Code >= 300 && b.Code < 400 && b.Code != 304 && !b.Location.empty()) {
        b.Redirecting = true;
        // The new address, resolved against the one that answered.
        std::string address = b.Location;
        char* current = nullptr;
        curl_easy_getinfo(ps->Handle, CURLINFO_EFFECTIVE_URL, &current);
        CURLU* resolve = curl_url();
        char* effective = nullptr;
        std::string scheme;
        if (resolve && current &&
            curl_url_set(resolve, CURLUPART_URL, current, CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
            curl_url_set(resolve, CURLUPART_URL, b.Location.c_str(), CURLU_NON_SUPPORT_SCHEME) ==
                CURLUE_OK &&
            curl_url_get(resolve, CURLUPART_URL, &effective, 0) == CURLUE_OK && effective) {
          address = effective;
          curl_free(effective);
          scheme = LowerAscii(address.substr(0, address.find(':')));
        }
        if (resolve) curl_url_cleanup(resolve);
        t->FireRedirect(address);
        if (!scheme.empty() && scheme != "https" && (scheme != "http" || t->HttpsOnly())) {
          // Never followed: the transfer ends without an answer.
          t->RefusedRedirect = address;
          return 0;
        }
      }
      // The final answer's headers are in: decide now rather than at the
      // first byte of the body. A 401 or 407 may still be answered by
      // libcurl itself with the credentials it holds, so those wait for the
      // body or the end.
      if (!b.Redirecting && b.Code >= 200 && b.Code != 401 && b.Code != 407 &&
          !ps->FullLengthProbe && !ps->ResponseDone) {
        ps->ResponseDone = true;
        Stop stop = t->ResponsePhase(*ps);
        if (stop != Stop::None) {
          ps->StopKind = stop;
          return 0;
        }
      }
      return length;
    }
    if (b.Raw.size() + line.size() > MaxHeaderValue) b.RawTooLong = true;
    if (!b.RawTooLong) b.Raw.append(line);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return length;
    std::string name = LowerAscii(TrimView(line.substr(0, colon)));
    std::string_view value = TrimView(line.substr(colon + 1));
    if (value.size() > MaxHeaderValue) return length;
    auto first = [&](std::string& field) {
      if (field.empty()) field.assign(value);
    };
    if (name == "content-type") {
      first(b.ContentType);
    } else if (name == "content-length") {
      int64_t v;
      if (!b.HasLength && ParseLength(value, v)) {
        b.HasLength = true;
        b.Length = v;
      }
    } else if (name == "content-range") {
      if (!b.HasContentRange) {
        b.HasContentRange = true;
        b.ContentRange.assign(value);
      }
    } else if (name == "content-language") {
      first(b.ContentLanguage);
    } else if (name == "content-encoding") {
      first(b.ContentEncoding);
    } else if (name == "location") {
      first(b.Location);
    } else if (name == "etag") {
      first(b.ETag);
    } else if (name == "date") {
      first(b.Date);
    } else if (name == "last-modified") {
      first(b.LastModified);
    } else if (name == "expires") {
      first(b.Expires);
    } else if (name == "www-authenticate") {
      if (!b.HasWwwAuthenticate) {
        b.HasWwwAuthenticate = true;
        b.WwwAuthenticate.assign(value);
      }
    }
    return length;
  } catch (...) {
    t->FCallbackError = std::current_exception();
    return 0;
  }
}

size_t HttpTransfer::WriteCallback(char* buffer, size_t size, size_t count, void* user) {
  auto* t = static_cast<HttpTransfer*>(user);
  size_t length = size * count;
  PerformState* ps = t->FPerform;
  if (!ps || length == 0) return length;
  try {
    t->MarkActivity();
    if (ps->FullLengthProbe) {
      ps->StopKind = Stop::FullLength;
      return 0;
    }
    if (!ps->ResponseDone) {
      ps->ResponseDone = true;
      Stop stop = t->ResponsePhase(*ps);
      if (stop != Stop::None) {
        ps->StopKind = stop;
        return 0;
      }
    }
    return t->HandleBlock(buffer, length, *ps) ? length : 0;
  } catch (...) {
    t->FCallbackError = std::current_exception();
    return 0;
  }
}

int HttpTransfer::ProgressCallback(void* user, curl_off_t, curl_off_t dlNow, curl_off_t,
                                   curl_off_t ulNow) {
  auto* t = static_cast<HttpTransfer*>(user);
  if (t->StopRequested()) return 1;
  if (dlNow != t->FLastDown || ulNow != t->FLastUp) {
    t->FLastDown = dlNow;
    t->FLastUp = ulNow;
    t->MarkActivity();
    return 0;
  }
  uint32_t stall = std::max(t->S.Timeouts.ReceiveTimeout, t->S.Timeouts.SendTimeout);
  if (stall == 0) stall = DefaultStallTimeoutMs;
  if (NowMs() - t->FLastActivityMs > static_cast<int64_t>(stall)) {
    t->FStalled = true;
    return 1;
  }
  return 0;
}

int HttpTransfer::PrereqCallback(void* user, char*, char*, int, int) {
  auto* t = static_cast<HttpTransfer*>(user);
  // A connection kept from an earlier transfer now belongs to this one.
  curl_socket_t active = CURL_SOCKET_BAD;
  if (t->FPerform &&
      curl_easy_getinfo(t->FPerform->Handle, CURLINFO_ACTIVESOCKET, &active) == CURLE_OK &&
      active != CURL_SOCKET_BAD) {
    std::lock_guard lock(t->FPool->Lock);
    t->FPool->Sockets[active] = t;
  }
  t->FireStatus(21);
  return CURL_PREREQFUNC_OK;
}

curl_socket_t HttpTransfer::OpenSocketCallback(void* user, curlsocktype, curl_sockaddr* address) {
  auto* pool = static_cast<CurlHandlePool*>(user);
  std::lock_guard lock(pool->Lock);
  int fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd < 0) return CURL_SOCKET_BAD;
  pool->Sockets[fd] = tTransfer;
  return fd;
}

int HttpTransfer::CloseSocketCallback(void* user, curl_socket_t socket) {
  auto* pool = static_cast<CurlHandlePool*>(user);
  // Closed under the lock, so that a shutdown never reaches a number the
  // system has already given to another file.
  std::lock_guard lock(pool->Lock);
  pool->Sockets.erase(socket);
  return close(socket);
}

} // namespace bw
