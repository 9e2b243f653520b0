// One transfer of the HTTP client: its own copy of the settings, its state
// and its data stream, shared between the client and the worker that runs
// its body. Completion, abort and clean-up act on this object only, so a
// transfer started from inside another's completion never touches the
// other's output. Internal to the upgrade library.
#pragma once

#include "upgrade/HttpClient.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace bw {

// The client's kept libcurl handle, whose open connections the next
// transfer reuses, and every socket its transfers opened, each with the
// transfer that uses it now, so that one transfer's connection can be
// broken from another thread. Shared by the client and its transfers.
class CurlHandlePool {
public:
  CurlHandlePool() = default;
  CurlHandlePool(const CurlHandlePool&) = delete;
  CurlHandlePool& operator=(const CurlHandlePool&) = delete;
  ~CurlHandlePool();
  // The kept handle, or a new one.
  CURL* Take();
  // Keeps the handle (with its connections) for the next transfer.
  void Give(CURL* handle);

  std::mutex Lock;
  std::map<curl_socket_t, const void*> Sockets;

private:
  CURL* FSpare = nullptr;
};

class HttpTransfer : public std::enable_shared_from_this<HttpTransfer> {
public:
  // What the body reads of the client, copied when the transfer starts.
  struct Settings {
    std::string URL, OutputFileName, PostData, Referer, AcceptTypes, Agent;
    std::string UserName, Password, TrustedCertificates;
    std::vector<std::string> RequestHeaders;
    TauHTTPRequestMethod Method = rmAuto;
    TauCacheOptions CacheOptions;
    TauInternetOptions InternetOptions;
    TauHTTPRange Range;
    TauHTTPTimeouts Timeouts;
    TauHTTPProxy Proxy;
    TauOutputFileAttributes Attributes;
    bool WorkOffline = false;
    uint32_t BufferSize = 4096;
    bool HasServerPassword = false, HasProxyAuthentication = false, HasHeaderInfo = false,
         HasProgress = false;
    TauHTTPStatusChangeEvent OnStatusChange;
    TauHTTPRedirectEvent OnRedirect;
    TauHTTPRequestOpenedEvent OnRequestOpened;
  };

  // The largest memory buffer made ahead of the data, whatever length the
  // server announces; it grows as data arrives.
  static constexpr int64_t MaxPresize = 1 << 20;

  HttpTransfer(TauCustomHTTP* owner, std::shared_ptr<CurlHandlePool> pool, Settings settings,
               uint64_t resumeStart, uint64_t resumeEnd);
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;
  ~HttpTransfer();

  // The body, on the worker.
  void Execute();
  // Any thread: the transfer stops at once and reports nothing more from
  // the worker; when it returns, no worker-thread event runs any longer.
  void Cancel();
  // Any thread: shuts the transfer's connections down, so that a wait for
  // data ends now.
  void BreakConnection();
  // Frees the data stream; an output file gets the Incomplete attributes.
  // Clears Active.
  void FreeData();
  // The clean-up of an abort: frees the data and deletes the output file
  // when asked to.
  void AbortCleanup();

  TauCustomHTTP* const Owner;
  // Changed only by the body (credentials a handler supplied).
  Settings S;
  std::atomic<bool> Active{true};
  std::atomic<bool> Cancelled{false};
  std::atomic<bool> DeleteOnAbort{false};
  std::atomic<int> Status{-1};

  // Written by the body, read by the completion once the body has ended.
  bool Succeeded = false;
  bool Continue = true;
  // The body stopped at a check point: no completion follows.
  bool Aborted = false;
  int64_t ContentLength = 0;
  int64_t BytesTransferred = 0;
  int64_t ResumeStart = 0;
  int64_t ResumeEnd = 0;
  std::string ContentType;
  // A redirect to an address of another scheme, or from https to http
  // without ioIgnoreRedirectToHTTP, is refused: this address.
  std::string RefusedRedirect;
  // The server was reached but stopped answering (it sent nothing, or too
  // little for too long).
  bool StoppedAnswering = false;
  // The system's reason when the output file could not be opened.
  std::string OutputRefused;

  // The data stream, shared by the body and the user-interface thread.
  std::mutex StreamLock;
  std::unique_ptr<TauStream> Data;
  bool OutputIsFile = false;

private:
  struct HeaderBlock;
  struct PerformState;
  enum class Outcome { Read, NoData, Ended, Aborted };
  enum class Stop { None, Abort, Retry, FullLength, Range416, Restart, NoData, End, WriteFailed };

  Outcome RunHttp();
  Outcome ReadLocalFile(const std::string& path);
  void SetupRequest(CURL* h, PerformState& ps, bool fullLengthProbe);
  Stop ResponsePhase(PerformState& ps);
  Stop OpenDataStream();
  bool HandleBlock(const char* data, size_t size, PerformState& ps);
  int64_t GetFullContentLength(CURL* h);
  bool RangeAgrees(const HeaderBlock& block) const;
  // Redirects go to https, and to http unless the transfer began on https
  // without ioIgnoreRedirectToHTTP.
  bool HttpsOnly() const;
  bool CheckPoint();
  bool StopRequested() const;
  void Sync(const std::function<void()>& fn);
  void FireStatus(int status);
  void FireRedirect(const std::string& address);
  void FireRequestOpened(CURL* h);
  void FireProgress();
  void MarkActivity();

  static size_t HeaderCallback(char* buffer, size_t size, size_t count, void* user);
  static size_t WriteCallback(char* buffer, size_t size, size_t count, void* user);
  static int ProgressCallback(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                              curl_off_t ulNow);
  static int PrereqCallback(void* user, char*, char*, int, int);
  static curl_socket_t OpenSocketCallback(void* user, curlsocktype purpose, curl_sockaddr* address);
  static int CloseSocketCallback(void* user, curl_socket_t socket);

  TauEventThread* FThread = nullptr;
  std::chrono::steady_clock::time_point FStart;
  std::atomic<int64_t> FLastActivityMs{0};
  bool FStalled = false;
  bool FTransportFailed = false;
  bool FVerify = false;
  std::string FUserName, FPassword;
  TauURLParts FRaw, FDecoded;
  // The range the request asked for, to hold a partial answer against.
  bool FRangeSent = false;
  int64_t FRangeStart = 0, FRangeEnd = 0;
  PerformState* FPerform = nullptr;
  std::exception_ptr FCallbackError;
  curl_slist* FHeaders = nullptr;
  CURLU* FRequestUrl = nullptr;
  int64_t FLastDown = 0, FLastUp = 0;

  std::mutex FEventGate;
  std::shared_ptr<CurlHandlePool> FPool;
};

} // namespace bw
