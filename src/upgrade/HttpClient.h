// The HTTP client of the automatic upgrade: fetches one address over HTTP,
// HTTPS or from a "file" address into memory or into an output file, on a
// worker thread of its own, with proxy, authentication, byte ranges and
// resume, progress, time-outs and abort.
//
// Every transfer keeps its state in an object of its own, so a transfer
// started from inside the previous one's completion events never shares
// state with it. Events run on the user-interface thread as synchronous
// calls from the worker, except OnStatusChange, OnRedirect and
// OnRequestOpened, which run on the worker: their handlers must not touch
// widgets or wait for the user-interface thread.
//
// TLS certificates are always verified against the system's store (or the
// file set with SetTrustedCertificates); the options that would ignore
// certificate errors have no effect. Redirects are followed to http and
// https addresses only, and from https to http only with
// ioIgnoreRedirectToHTTP. There is no cache, so the cache options other than
// coAlwaysReload and coPragmaNoCache (which ask proxies for a fresh copy)
// have no effect, and WorkOffline makes every transfer fail as "no
// response".
#pragma once

#include "foundation/SerialDate.h"
#include "upgrade/AuStringList.h"
#include "upgrade/HttpSettings.h"
#include "upgrade/Streams.h"
#include "upgrade/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace bw {

class TauCustomHTTP;
class HttpTransfer;
class CurlHandlePool;

using TauHTTPNotifyEvent = std::function<void(TauCustomHTTP* Sender)>;
using TauHTTPStatusChangeEvent =
    std::function<void(TauCustomHTTP* Sender, int StatusCode, const std::string& StatusText)>;
using TauHTTPRedirectEvent =
    std::function<void(TauCustomHTTP* Sender, const std::string& NewAddress)>;
// The handle is the transfer's CURL easy handle.
using TauHTTPRequestOpenedEvent = std::function<void(TauCustomHTTP* Sender, void* Request)>;
using TauHTTPPasswordRequestEvent =
    std::function<void(TauCustomHTTP* Sender, const std::string& Realm, bool& TryAgain)>;
using TauHTTPProxyAuthenticationEvent = std::function<void(
    TauCustomHTTP* Sender, std::string& ProxyUsername, std::string& ProxyPassword, bool& TryAgain)>;
// ContentLength is the announced length plus the resume start; dates are
// local times, 0 when absent.
using TauHTTPHeaderInfoEvent =
    std::function<void(TauCustomHTTP* Sender, int StatusCode, const std::string& RawHeaders,
                       const std::string& ContentType, const std::string& ContentLanguage,
                       const std::string& ContentEncoding, int64_t ContentLength,
                       const std::string& Location, TDateTime Date, TDateTime LastModified,
                       TDateTime Expires, const std::string& ETag, bool& Continue)>;
using TauHTTPProgressEvent =
    std::function<void(TauCustomHTTP* Sender, const std::string& ContentType, int64_t DataSize,
                       int64_t BytesRead, uint32_t ElapsedTime, int64_t EstimatedTimeLeft,
                       uint8_t PercentsDone, float TransferRate, TauStream* Data)>;
// Data is null for file output.
using TauHTTPDoneEvent = std::function<void(TauCustomHTTP* Sender, const std::string& ContentType,
                                            int64_t DataSize, TauStream* Data)>;
using TauHTTPConnectionLostEvent =
    std::function<void(TauCustomHTTP* Sender, const std::string& ContentType, int64_t ContentLength,
                       int64_t BytesRead, TauStream* Data)>;
using TauHTTPErrorEvent =
    std::function<void(TauCustomHTTP* Sender, int ErrorCode, TauStream* Data)>;
using TauHTTPWaitTimeoutEvent = std::function<void(TauCustomHTTP* Sender, bool& Terminate)>;

class TauCustomHTTP : public TauLoginComponent {
public:
  TauCustomHTTP();
  TauCustomHTTP(const TauCustomHTTP&) = delete;
  TauCustomHTTP& operator=(const TauCustomHTTP&) = delete;
  // A running transfer is abandoned: it stops at once and reports nothing.
  ~TauCustomHTTP() override;

  // "://" missing means "http://" in front.
  std::string URL;
  // Empty keeps the data in memory.
  std::string OutputFileName;
  TauOutputFileAttributes OutputFileAttributes;
  TauHTTPRequestMethod RequestMethod = rmAuto;
  // The body of a POST, sent form-encoded.
  std::string PostData;
  std::string Referer;
  std::string AcceptTypes = "text/html, */*";
  std::string Agent = "Upgrade HTTP client";
  // Extra request header lines.
  TauStringList RequestHeaders;
  TauCacheOptions RequestCacheOptions{coReloadIfNoExpireInformation, coReloadUpdatedObjects,
                                      coCreateTempFilesIfCantCache};
  TauInternetOptions InternetOptions{ioKeepConnection};
  TauHTTPRange Range;
  TauHTTPTimeouts Timeouts;
  TauHTTPProxy Proxy;
  bool GoOnline = false;
  bool WorkOffline = false;

  // The size of each block read, 255 up to 2147483647 bytes (default 4096).
  uint32_t TransferBufferSize() const { return FTransferBufferSize; }
  void SetTransferBufferSize(uint32_t size);
  TThreadPriority ThreadPriority() const { return FThread.Priority(); }
  void SetThreadPriority(TThreadPriority priority) { FThread.SetPriority(priority); }
  bool WaitThread() const { return FThread.WaitThread; }
  void SetWaitThread(bool wait) { FThread.WaitThread = wait; }
  // Milliseconds a waiting Read waits before OnWaitTimeout; 0 no limit.
  uint32_t WaitTimeout() const { return FThread.WaitTimeout; }
  void SetWaitTimeout(uint32_t ms) { FThread.WaitTimeout = ms; }
  // A certificate file (PEM) that replaces the system's trusted
  // authorities; empty uses the system's.
  void SetTrustedCertificates(const std::string& fileName) { FTrustedCertificates = fileName; }

  // The HTTP status of the last response: 200 for a local file that opened,
  // 404 for one that did not, -1 when there was none.
  int StatusCode() const;
  // The address of a redirect that the last transfer refused to follow;
  // empty when none. Read it in the transfer's completion events.
  std::string RefusedRedirect() const;
  // Whether the last transfer ended because the server, once reached,
  // stopped answering; read it in the completion events.
  bool StoppedAnswering() const;
  // The system's reason why the last transfer's output file could not be
  // opened; empty when it was. Read it in the completion events.
  std::string OutputFileRefused() const;
  // The worker runs a transfer body (until its completion has run).
  bool Busy() const { return FThread.Running(); }
  // A transfer was started and is not yet cleaned up.
  bool Active() const;

  bool Read(bool wait) { return ReadRange(0, 0, wait); }
  // Starts a transfer of URL, resuming at resumeStart (up to resumeEnd when
  // not 0). False, with nothing changed, while a transfer is active;
  // otherwise true, except that a waiting start whose wait ran out and was
  // stopped gives false.
  bool ReadRange(uint64_t resumeStart, uint64_t resumeEnd, bool wait);
  // Stops a running transfer. Force cleans up at once here and abandons the
  // worker; otherwise the worker stops at its next check point and reports
  // OnTransferAborted itself. No completion follows either way.
  void Abort(bool deleteOutputFile, bool force);
  // Frees the transfer's data stream; an output file is closed with the
  // Incomplete attributes. Call it before starting the next transfer from
  // inside a completion event with memory output.
  void FreeDataStream();
  // Breaks the connection of a running transfer.
  void CloseHandles();
  std::string GetURLFileName() const { return ExtractURLFileName(URL); }
  std::string GetURLHostName() const { return ExtractURLHostName(URL); }

  // Worker-thread events.
  TauHTTPStatusChangeEvent OnStatusChange;
  TauHTTPRedirectEvent OnRedirect;
  TauHTTPRequestOpenedEvent OnRequestOpened;
  // User-interface-thread events.
  TauHTTPPasswordRequestEvent OnServerPasswordRequest;
  TauHTTPProxyAuthenticationEvent OnProxyAuthenticationRequest;
  TauHTTPHeaderInfoEvent OnHeaderInfo;
  TauHTTPProgressEvent OnDownloadProgress;
  TauHTTPDoneEvent OnDone;
  TauHTTPConnectionLostEvent OnConnectionLost;
  TauHTTPNotifyEvent OnNoResponse;
  TauHTTPErrorEvent OnHTTPError;
  TauHTTPNotifyEvent OnTransferFailed;
  TauHTTPNotifyEvent OnDoneWithoutData;
  TauHTTPNotifyEvent OnTransferSkipped;
  TauHTTPNotifyEvent OnTransferAborted;
  TauHTTPWaitTimeoutEvent OnWaitTimeout;

protected:
  TauCustomThread& WorkerThread() { return FThread; }

private:
  friend class HttpTransfer;
  void ThreadFinish(const std::shared_ptr<HttpTransfer>& t);
  void ThreadException(const std::shared_ptr<HttpTransfer>& t);
  void ThreadTimeout(bool& terminate);
  // Cleans up an aborted transfer and reports it; forced on this thread,
  // otherwise on the worker at its check point.
  void DoAbort(const std::shared_ptr<HttpTransfer>& t, bool forced);
  void FreeDataStream(HttpTransfer& t);

  TauCustomThread FThread;
  std::shared_ptr<HttpTransfer> FTransfer;
  std::shared_ptr<CurlHandlePool> FPool;
  uint32_t FTransferBufferSize = 4096;
  std::string FTrustedCertificates;
  std::shared_ptr<bool> FAlive;
};

} // namespace bw
