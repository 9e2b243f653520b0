#include "upgrade/HttpClient.h"

#include "foundation/ErrorReport.h"
#include "upgrade/HttpTransfer.h"

#include <curl/curl.h>

#include <unistd.h>

namespace bw {

namespace {

// libcurl is set up once, on the user-interface thread, before the first
// worker starts.
void InitCurlOnce() {
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)done;
}

} // namespace

TauCustomHTTP::TauCustomHTTP()
    : FThread(nullptr), FPool(std::make_shared<CurlHandlePool>()),
      FAlive(std::make_shared<bool>(true)) {
  InitCurlOnce();
  FThread.OnTimeout = [this](TauCustomThread*, bool& terminate) { ThreadTimeout(terminate); };
}

TauCustomHTTP::~TauCustomHTTP() {
  *FAlive = false;
  if (FTransfer) FTransfer->Cancel();
  if (FThread.Running()) FThread.Terminate(true);
  if (FTransfer) FTransfer->FreeData();
}

void TauCustomHTTP::SetTransferBufferSize(uint32_t size) {
  FTransferBufferSize = std::clamp<uint32_t>(size, 255, 2147483647u);
}

int TauCustomHTTP::StatusCode() const {
  return FTransfer ? FTransfer->Status.load() : -1;
}

std::string TauCustomHTTP::RefusedRedirect() const {
  return FTransfer ? FTransfer->RefusedRedirect : std::string();
}

bool TauCustomHTTP::StoppedAnswering() const {
  return FTransfer && FTransfer->StoppedAnswering;
}

std::string TauCustomHTTP::OutputFileRefused() const {
  return FTransfer ? FTransfer->OutputRefused : std::string();
}

bool TauCustomHTTP::Active() const {
  return FTransfer && FTransfer->Active;
}

bool TauCustomHTTP::ReadRange(uint64_t resumeStart, uint64_t resumeEnd, bool wait) {
  if (Active()) return false;
  // A worker still inside the previous transfer (at the latest in its
  // completion) is abandoned by the start below; it must not go on.
  if (FTransfer && Busy()) FTransfer->Cancel();

  HttpTransfer::Settings s;
  s.URL = URL;
  s.OutputFileName = OutputFileName;
  s.PostData = PostData;
  s.Referer = Referer;
  s.AcceptTypes = AcceptTypes;
  s.Agent = Agent;
  s.UserName = HTTPUsername;
  s.Password = HTTPPassword;
  s.TrustedCertificates = FTrustedCertificates;
  s.RequestHeaders = RequestHeaders.Lines();
  s.Method = RequestMethod;
  s.CacheOptions = RequestCacheOptions;
  s.InternetOptions = InternetOptions;
  s.Range = Range;
  s.Timeouts = Timeouts;
  s.Proxy = Proxy;
  s.Attributes = OutputFileAttributes;
  s.WorkOffline = WorkOffline;
  s.BufferSize = FTransferBufferSize;
  s.HasServerPassword = static_cast<bool>(OnServerPasswordRequest);
  s.HasProxyAuthentication = static_cast<bool>(OnProxyAuthenticationRequest);
  s.HasHeaderInfo = static_cast<bool>(OnHeaderInfo);
  s.HasProgress = static_cast<bool>(OnDownloadProgress);
  s.OnStatusChange = OnStatusChange;
  s.OnRedirect = OnRedirect;
  s.OnRequestOpened = OnRequestOpened;

  auto t = std::make_shared<HttpTransfer>(this, FPool, std::move(s), resumeStart, resumeEnd);
  FTransfer = t;
  FThread.OnExecute = [t](TauCustomThread*) { t->Execute(); };
  FThread.OnFinish = [this, t](TauCustomThread*) { ThreadFinish(t); };
  FThread.OnException = [this, t](TauCustomThread*) { ThreadException(t); };

  bool oldWait = FThread.WaitThread;
  if (wait) FThread.WaitThread = true;
  auto alive = FAlive;
  bool result = FThread.Execute();
  if (*alive && wait) FThread.WaitThread = oldWait;
  return result;
}

void TauCustomHTTP::Abort(bool deleteOutputFile, bool force) {
  if (!Busy() || !FTransfer) return;
  std::shared_ptr<HttpTransfer> t = FTransfer;
  t->DeleteOnAbort = deleteOutputFile;
  if (force) {
    t->Cancel();
    FThread.Terminate(true);
    DoAbort(t, true);
  } else {
    FThread.Terminate(false);
    t->BreakConnection();
  }
}

void TauCustomHTTP::DoAbort(const std::shared_ptr<HttpTransfer>& t, bool /*forced*/) {
  t->AbortCleanup();
  Guarded([&] {
    if (OnTransferAborted) OnTransferAborted(this);
  });
}

void TauCustomHTTP::FreeDataStream() {
  if (FTransfer) FreeDataStream(*FTransfer);
}

void TauCustomHTTP::FreeDataStream(HttpTransfer& t) {
  t.FreeData();
}

void TauCustomHTTP::CloseHandles() {
  if (FTransfer) FTransfer->BreakConnection();
}

void TauCustomHTTP::ThreadException(const std::shared_ptr<HttpTransfer>& /*t*/) {
  Guarded([&] {
    if (OnTransferFailed) OnTransferFailed(this);
  });
}

void TauCustomHTTP::ThreadTimeout(bool& terminate) {
  auto alive = FAlive;
  Guarded([&] {
    if (OnWaitTimeout) OnWaitTimeout(this, terminate);
  });
  if (!*alive || !terminate || !FTransfer) return;
  FTransfer->Cancel();
  FreeDataStream(*FTransfer);
}

void TauCustomHTTP::ThreadFinish(const std::shared_ptr<HttpTransfer>& t) {
  if (t->Aborted) return;
  auto alive = FAlive;
  // Each event may destroy the client; nothing of it is touched afterwards.
  auto fire = [&](auto&& body) {
    Guarded(body);
    return *alive;
  };
  bool deleteAfter = false;
  TauStream* data;
  bool outputIsFile;
  {
    std::lock_guard lock(t->StreamLock);
    data = t->Data.get();
    outputIsFile = t->OutputIsFile;
  }
  if (data) data->Seek(0);
  if (t->Continue) {
    if (t->Succeeded && !data) {
      if (!fire([&] {
            if (OnTransferFailed) OnTransferFailed(this);
          }))
        return;
      if (!fire([&] {
            if (OnDoneWithoutData) OnDoneWithoutData(this);
          }))
        return;
      t->Active = false;
      return;
    }
    if (t->Succeeded) {
      if (outputIsFile) {
        FreeDataStream(*t);
        TauFileAttributes complete = t->S.Attributes.Complete();
        if (!(complete == t->S.Attributes.Incomplete()))
          ApplyFileAttributes(t->S.OutputFileName, complete);
      }
      TauStream* done = outputIsFile ? nullptr : data;
      int64_t size = t->BytesTransferred + t->ResumeStart;
      if (!fire([&] {
            if (OnDone) OnDone(this, t->ContentType, size, done);
          }))
        return;
    } else {
      int status = t->Status;
      if (status == 200 || status == 206) {
        if (!fire([&] {
              if (OnConnectionLost)
                OnConnectionLost(this, t->ContentType, t->ContentLength, t->BytesTransferred, data);
            }))
          return;
      } else if (status == -1) {
        if (!fire([&] {
              if (OnNoResponse) OnNoResponse(this);
            }))
          return;
      } else {
        if (!fire([&] {
              if (OnHTTPError) OnHTTPError(this, status, data);
            }))
          return;
        deleteAfter = outputIsFile;
      }
      if (!fire([&] {
            if (OnTransferFailed) OnTransferFailed(this);
          }))
        return;
    }
  }
  // This transfer's own stream and output name, whatever a handler started
  // meanwhile.
  FreeDataStream(*t);
  if (deleteAfter) unlink(t->S.OutputFileName.c_str());
  if (!t->Continue)
    fire([&] {
      if (OnTransferSkipped) OnTransferSkipped(this);
    });
}

} // namespace bw
