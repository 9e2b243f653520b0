#include "LoopbackServer.h"
#include "TransferRecorder.h"

#include "foundation/ErrorReport.h"
#include "upgrade/HttpClient.h"
#include "upgrade/UpgradeUtils.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace bw::test {
namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& name, const std::string& data) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << data;
}

bool Exists(const std::string& name) {
  struct stat st {};
  return stat(name.c_str(), &st) == 0;
}

class HttpTransferTest : public ::testing::Test {
protected:
  LoopbackServer& Server = LoopbackServer::Plain();
  QTemporaryDir Dir;
  TauCustomHTTP Http;
  TransferRecorder Rec{Http};

  std::string Path(const std::string& name) {
    return Dir.filePath(QString::fromStdString(name)).toStdString();
  }
  // Starts a transfer of the address and waits for its end.
  void Fetch(const std::string& path) {
    Http.URL = Server.Url(path);
    ASSERT_TRUE(Http.Read(true));
  }
};

TEST_F(HttpTransferTest, DownloadsIntoMemory) {
  Fetch("/file?size=10000");
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 10000));
  EXPECT_EQ(Rec.DataSize, 10000);
  EXPECT_EQ(Rec.ContentType, "application/octet-stream");
  EXPECT_EQ(Http.StatusCode(), 200);
  EXPECT_FALSE(Http.Active());
}

TEST_F(HttpTransferTest, DownloadsIntoAFileWithItsAttributes) {
  std::string out = Path("out.bin");
  Http.OutputFileName = out;
  TauOutputFileAttributes attributes;
  attributes.SetIncomplete({atrReadOnly});
  attributes.SetComplete({atrArchive});
  Http.OutputFileAttributes.Assign(&attributes);
  bool readOnlyWhileIncomplete = false;
  Http.OnDownloadProgress = [&](TauCustomHTTP*, const std::string&, int64_t, int64_t, uint32_t,
                                int64_t, uint8_t, float, TauStream*) {
    struct stat st {};
    readOnlyWhileIncomplete = stat(out.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
  };
  Fetch("/file?size=20000");
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_TRUE(Rec.DataWasNull);
  EXPECT_EQ(Rec.DataSize, 20000);
  EXPECT_EQ(ReadFile(out), FixtureContent(0, 20000));
  EXPECT_TRUE(readOnlyWhileIncomplete);
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
}

TEST_F(HttpTransferTest, ReportsProgressOfEveryBlock) {
  std::vector<int64_t> received;
  std::vector<int> percents;
  int64_t size = 0;
  Http.OnDownloadProgress = [&](TauCustomHTTP*, const std::string&, int64_t dataSize,
                                int64_t bytesRead, uint32_t elapsed, int64_t left, uint8_t percent,
                                float, TauStream*) {
    size = dataSize;
    received.push_back(bytesRead);
    percents.push_back(percent);
    EXPECT_GE(left, -static_cast<int64_t>(elapsed));
  };
  Fetch("/file?size=50000");
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(size, 50000);
  EXPECT_TRUE(std::is_sorted(received.begin(), received.end()));
  EXPECT_EQ(received.back(), 50000);
  EXPECT_EQ(percents.back(), 100);
}

TEST_F(HttpTransferTest, WithoutALengthProgressHasNoPercentAndNegativeTimeLeft) {
  bool checked = false;
  Http.OnDownloadProgress = [&](TauCustomHTTP*, const std::string&, int64_t dataSize, int64_t,
                                uint32_t elapsed, int64_t left, uint8_t percent, float,
                                TauStream*) {
    checked = true;
    EXPECT_EQ(dataSize, 0);
    EXPECT_EQ(percent, 0);
    EXPECT_EQ(left, -static_cast<int64_t>(elapsed));
  };
  Fetch("/file?size=30000&nolength=1");
  EXPECT_TRUE(checked);
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 30000));
}

TEST_F(HttpTransferTest, ReadsChunkedBodies) {
  Fetch("/file?size=30000&chunked=1");
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 30000));
}

// A connection that breaks is a failure even when no length was announced
// (chunked, or a reset of a body that ends by closing).
TEST_F(HttpTransferTest, ABrokenBodyIsAFailureWithOrWithoutALength) {
  for (const char* path :
       {"/file?size=30000&chunked=1&break=10000", "/file?size=30000&nolength=1&break=10000&rst=1",
        "/file?size=30000&break=10000"}) {
    SCOPED_TRACE(path);
    Rec.Events.clear();
    Fetch(path);
    EXPECT_EQ(Rec.Events, (Events{"ConnectionLost", "TransferFailed"}));
    EXPECT_LT(Rec.Received, 30000);
  }
  EXPECT_EQ(Rec.Announced, 30000);
}

TEST_F(HttpTransferTest, AnErrorStatusGoesToMemoryAndCreatesNoFile) {
  Http.OutputFileName = Path("missing.bin");
  Fetch("/status/404");
  EXPECT_EQ(Rec.Events, (Events{"HTTPError", "TransferFailed"}));
  EXPECT_EQ(Rec.ErrorCode, 404);
  EXPECT_EQ(Rec.Body, "Error 404 page");
  EXPECT_FALSE(Exists(Http.OutputFileName));
}

TEST_F(HttpTransferTest, AskesForAPasswordWithTheRealmAndTriesAgain) {
  std::string realm;
  Http.OnServerPasswordRequest = [&](TauCustomHTTP* sender, const std::string& r, bool& tryAgain) {
    realm = r;
    sender->HTTPUsername = "anna";
    sender->HTTPPassword = "s3cret";
    tryAgain = true;
  };
  Fetch("/auth?user=anna&pass=s3cret");
  EXPECT_EQ(realm, "Upgrade area");
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, "secret");

  Http.OnServerPasswordRequest = nullptr;
  Http.HTTPUsername.clear();
  Rec.Events.clear();
  Fetch("/auth?user=anna&pass=s3cret");
  EXPECT_EQ(Rec.Events, (Events{"HTTPError", "TransferFailed"}));
  EXPECT_EQ(Rec.ErrorCode, 401);
}

TEST_F(HttpTransferTest, CredentialsInTheAddressComeFirst) {
  Http.HTTPUsername = "wrong";
  Http.HTTPPassword = "wrong";
  Http.URL =
      "http://anna:pw@127.0.0.1:" + std::to_string(Server.Port()) + "/auth?user=anna&pass=pw";
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Body, "secret");
}

TEST_F(HttpTransferTest, SendsTheRequestHeadersAndTheRange) {
  Http.RequestCacheOptions.Include(coPragmaNoCache);
  Http.RequestHeaders.Add("X-Extra: yes");
  Fetch("/echo");
  EXPECT_NE(Rec.Body.find("User-Agent: Upgrade HTTP client\r\n"), std::string::npos);
  EXPECT_NE(Rec.Body.find("Accept: text/html, */*\r\n"), std::string::npos);
  EXPECT_NE(Rec.Body.find("Pragma: no-cache\r\n"), std::string::npos);
  EXPECT_NE(Rec.Body.find("X-Extra: yes\r\n"), std::string::npos);
  EXPECT_EQ(Rec.Body.find("Range:"), std::string::npos);

  Http.Range.StartRange = 100;
  Fetch("/echo");
  EXPECT_NE(Rec.Body.find("Range: bytes=100-\r\n"), std::string::npos);
  ASSERT_TRUE(Http.ReadRange(100, 199, true));
  EXPECT_NE(Rec.Body.find("Range: bytes=100-199\r\n"), std::string::npos);
}

TEST_F(HttpTransferTest, PostsFormData) {
  Http.PostData = "a=1&b=two";
  Fetch("/echo");
  EXPECT_EQ(Rec.Body.rfind("POST /echo HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(Rec.Body.find("Content-Type: application/x-www-form-urlencoded\r\n"),
            std::string::npos);
  EXPECT_EQ(Rec.Body.substr(Rec.Body.size() - 9), "a=1&b=two");
}

TEST_F(HttpTransferTest, AnAddressWithoutSchemeIsHttp) {
  Http.URL = "127.0.0.1:" + std::to_string(Server.Port()) + "/file?size=10";
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 10));
}

TEST_F(HttpTransferTest, ResumesWhenTheFileHoldsTheSameBytes) {
  std::string out = Path("resume.bin");
  WriteFile(out, FixtureContent(0, 10000));
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=10000");
  ASSERT_TRUE(Http.ReadRange(4000, 0, true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.DataSize, 10000);
  EXPECT_EQ(ReadFile(out), FixtureContent(0, 10000));
}

TEST_F(HttpTransferTest, AResumeOverDifferentBytesRestartsOnceWithTheWholeFile) {
  std::string out = Path("resume.bin");
  WriteFile(out, std::string(12000, 'x'));
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=10000");
  ASSERT_TRUE(Http.ReadRange(4000, 0, true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(ReadFile(out), FixtureContent(0, 10000));
}

// A block of zeros past the end of the file is not "already there": only
// bytes the file really holds are compared.
TEST_F(HttpTransferTest, AResumeBehindTheEndOfTheFileFetchesEverything) {
  std::string out = Path("zeros.bin");
  WriteFile(out, std::string(4000, '\0'));
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=10000&zeros=1");
  ASSERT_TRUE(Http.ReadRange(4000, 0, true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(ReadFile(out), std::string(10000, '\0'));
}

TEST_F(HttpTransferTest, A416ForACompleteFileEndsWithoutData) {
  std::string out = Path("complete.bin");
  WriteFile(out, FixtureContent(0, 10000));
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=10000");
  ASSERT_TRUE(Http.ReadRange(10000, 0, true));
  EXPECT_EQ(Rec.Events, (Events{"TransferFailed", "DoneWithoutData"}));
  EXPECT_EQ(ReadFile(out), FixtureContent(0, 10000));
}

TEST_F(HttpTransferTest, A416OtherwiseRestartsFromTheStart) {
  std::string out = Path("short.bin");
  WriteFile(out, FixtureContent(0, 20000));
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=10000");
  ASSERT_TRUE(Http.ReadRange(15000, 0, true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(ReadFile(out), FixtureContent(0, 10000));
}

TEST_F(HttpTransferTest, AWholeAnswerToARangeRewritesTheFile) {
  std::string out = Path("whole.bin");
  WriteFile(out, std::string(30000, 'x'));
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=10000&ignorerange=1");
  ASSERT_TRUE(Http.ReadRange(4000, 0, true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(ReadFile(out), FixtureContent(0, 10000));
}

TEST_F(HttpTransferTest, APartOtherThanTheOneAskedForIsNotWritten) {
  std::string out = Path("part.bin");
  std::string held = FixtureContent(0, 4000) + std::string(6000, 'x');
  WriteFile(out, held);
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=10000&badrange=1");
  ASSERT_TRUE(Http.ReadRange(4000, 0, true));
  EXPECT_EQ(Rec.Events, (Events{"ConnectionLost", "TransferFailed"}));
  EXPECT_EQ(ReadFile(out), held);
}

TEST_F(HttpTransferTest, FollowsARedirectToAnotherPath) {
  std::vector<std::string> redirects;
  std::vector<int> statuses;
  Http.OnRedirect = [&](TauCustomHTTP*, const std::string& address) {
    redirects.push_back(address);
  };
  Http.OnStatusChange = [&](TauCustomHTTP*, int status, const std::string&) {
    statuses.push_back(status);
  };
  Fetch("/redirect?to=/file%3Fsize%3D100");
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 100));
  EXPECT_EQ(redirects, (std::vector<std::string>{Server.Url("/file?size=100")}));
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), 110), statuses.end());
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), 21), statuses.end());
}

TEST_F(HttpTransferTest, RedirectsToOtherProtocolsAndLoopsGetNoResponse) {
  Http.OutputFileName = Path("never.bin");
  for (const char* path :
       {"/redirect?to=file:///etc/passwd", "/redirect?to=ftp://127.0.0.1/x", "/loop"}) {
    SCOPED_TRACE(path);
    Rec.Events.clear();
    Fetch(path);
    EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));
    EXPECT_EQ(Http.StatusCode(), -1);
  }
  EXPECT_FALSE(Exists(Http.OutputFileName));
}

TEST_F(HttpTransferTest, WithoutAutoRedirectTheRedirectIsTheAnswer) {
  std::atomic<bool> openedOnWorker{false};
  Http.OnRequestOpened = [&](TauCustomHTTP*, void* request) {
    openedOnWorker = request && TauEventThread::Current() != nullptr;
  };
  Http.InternetOptions.Include(ioNoAutoRedirect);
  Fetch("/redirect?to=/file");
  EXPECT_TRUE(openedOnWorker);
  EXPECT_EQ(Rec.Events, (Events{"HTTPError", "TransferFailed"}));
  EXPECT_EQ(Rec.ErrorCode, 302);
}

TEST_F(HttpTransferTest, WorkingOfflineGetsNoResponse) {
  Http.WorkOffline = true;
  Fetch("/file?size=10");
  EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));
}

TEST_F(HttpTransferTest, ABodySlowerThanTheTimeOutIsLost) {
  Http.Timeouts.ReceiveTimeout = 200;
  Http.OutputFileName = Path("slow.bin");
  Fetch("/file?size=1000&slow=3000");
  EXPECT_EQ(Rec.Events, (Events{"ConnectionLost", "TransferFailed"}));
  EXPECT_EQ(Rec.Received, 0);
}

// Every malformed or missing answer ends as "no response", with no output
// file where the complete one would be.
TEST_F(HttpTransferTest, MalformedAndMissingAnswersGetNoResponse) {
  Http.Timeouts.ReceiveTimeout = 200;
  Http.OutputFileName = Path("bad.bin");
  for (const char* name :
       {"badstatus", "garbage", "neglength", "nanlength", "hugeheader", "closeatonce", "silent"}) {
    SCOPED_TRACE(name);
    Rec.Events.clear();
    Fetch(std::string("/raw/") + name);
    EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));
    EXPECT_EQ(Http.StatusCode(), -1);
    EXPECT_FALSE(Exists(Http.OutputFileName));
  }
  EXPECT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }));
}

// A length the server merely announces never sizes the memory buffer.
TEST_F(HttpTransferTest, AHugeAnnouncedLengthAllocatesLittle) {
  Fetch("/raw/hugelength");
  EXPECT_EQ(Rec.Events, (Events{"ConnectionLost", "TransferFailed"}));
  EXPECT_EQ(Rec.Announced, 1000000000000000000);
  EXPECT_EQ(Rec.Received, 10);
  EXPECT_LE(Rec.MemoryCapacity, 2 << 20);
}

TEST_F(HttpTransferTest, AHeaderValueOver4KBCountsAsAbsent) {
  Fetch("/file?size=100&bigtype=1");
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.ContentType, "");
  EXPECT_EQ(Rec.Body, FixtureContent(0, 100));
}

TEST_F(HttpTransferTest, HttpsIsRefusedUnlessTheCertificateIsTrusted) {
  LoopbackServer& secure = LoopbackServer::Secure();
  Http.URL = secure.HttpsUrl("/file?size=1000");
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));

  Rec.Events.clear();
  Http.SetTrustedCertificates(secure.CertificateFile());
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 1000));
}

TEST_F(HttpTransferTest, HeaderInfoReportsTheResponseAndMaySkipIt) {
  std::string out = Path("kept.bin");
  WriteFile(out, "old");
  Http.OutputFileName = out;
  int status = 0;
  int64_t length = 0;
  std::string type, etag;
  TDateTime modified = 0;
  Http.OnHeaderInfo = [&](TauCustomHTTP*, int code, const std::string& raw, const std::string& t,
                          const std::string&, const std::string&, int64_t contentLength,
                          const std::string&, TDateTime, TDateTime lastModified, TDateTime,
                          const std::string& e, bool& cont) {
    status = code;
    type = t;
    length = contentLength;
    etag = e;
    modified = lastModified;
    EXPECT_EQ(raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    cont = false;
  };
  Fetch("/file?size=500&etag=v2&lastmod=Sun,%2006%20Nov%201994%2008:49:37%20GMT");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(type, "application/octet-stream");
  EXPECT_EQ(length, 500);
  EXPECT_EQ(etag, "\"v2\"");
  EXPECT_NE(modified, 0);
  EXPECT_EQ(Rec.Events, (Events{"TransferSkipped"}));
  EXPECT_EQ(ReadFile(out), "old");
}

TEST_F(HttpTransferTest, ASecondReadWhileActiveChangesNothing) {
  Http.URL = Server.Url("/file?size=1000&slow=300");
  ASSERT_TRUE(Http.Read(false));
  Http.URL = Server.Url("/file?size=5");
  EXPECT_FALSE(Http.Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return !Rec.Events.empty() && !Http.Busy(); }));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 1000));
}

TEST_F(HttpTransferTest, AGentleAbortReportsOnceAndDeletesTheFile) {
  std::string out = Path("aborted.bin");
  Http.OutputFileName = out;
  Http.OnDownloadProgress = [&](TauCustomHTTP* sender, const std::string&, int64_t, int64_t,
                                uint32_t, int64_t, uint8_t, float,
                                TauStream*) { sender->Abort(true, false); };
  Http.URL = Server.Url("/file?size=5000000");
  ASSERT_TRUE(Http.Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return !Http.Busy(); }));
  EXPECT_EQ(Rec.Events, (Events{"TransferAborted"}));
  EXPECT_FALSE(Exists(out));
  EXPECT_FALSE(Http.Active());
}

TEST_F(HttpTransferTest, AForcedAbortOfASilentServerIsImmediate) {
  std::string out = Path("forced.bin");
  Http.OutputFileName = out;
  Http.URL = Server.Url("/file?size=1000&slow=5000");
  bool headers = false;
  Http.OnHeaderInfo = [&](TauCustomHTTP*, int, const std::string&, const std::string&,
                          const std::string&, const std::string&, int64_t, const std::string&,
                          TDateTime, TDateTime, TDateTime, const std::string&,
                          bool&) { headers = true; };
  ASSERT_TRUE(Http.Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return headers && Exists(out); }));
  Http.Abort(false, true);
  EXPECT_EQ(Rec.Events, (Events{"TransferAborted"}));
  EXPECT_FALSE(Http.Active());
  EXPECT_FALSE(Http.Busy());
  // The abandoned worker ends at once and reports nothing more.
  ASSERT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }, 2000));
  EXPECT_EQ(Rec.Events, (Events{"TransferAborted"}));
  EXPECT_TRUE(Exists(out));
}

// The next transfer started from inside a completion event keeps its own
// stream, output and Active flag whatever the first completion does after.
TEST_F(HttpTransferTest, ATransferStartedInsideACompletionIsLeftAlone) {
  std::string second = Path("second.bin");
  int done = 0;
  Http.OnDone = [&](TauCustomHTTP* sender, const std::string&, int64_t, TauStream* data) {
    if (++done == 1) {
      EXPECT_NE(data, nullptr);
      sender->FreeDataStream();
      sender->OutputFileName = second;
      sender->URL = Server.Url("/file?size=70000");
      EXPECT_TRUE(sender->Read(false));
    }
  };
  Http.URL = Server.Url("/file?size=100");
  ASSERT_TRUE(Http.Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return done == 2; }));
  EXPECT_EQ(ReadFile(second), FixtureContent(0, 70000));
  EXPECT_FALSE(Http.Active());
}

TEST_F(HttpTransferTest, AFailedFirstTransferDeletesNothingOfTheNext) {
  std::string first = Path("first.bin"), second = Path("second.bin");
  bool started = false, secondDone = false;
  Http.OnConnectionLost = [&](TauCustomHTTP* sender, const std::string&, int64_t, int64_t,
                              TauStream*) {
    sender->FreeDataStream();
    sender->OutputFileName = second;
    sender->URL = Server.Url("/file?size=50000");
    started = sender->Read(false);
  };
  Http.OnDone = [&](TauCustomHTTP*, const std::string&, int64_t, TauStream*) { secondDone = true; };
  Http.OutputFileName = first;
  Http.URL = Server.Url("/file?size=50000&break=1000");
  ASSERT_TRUE(Http.Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return secondDone; }));
  EXPECT_TRUE(started);
  EXPECT_TRUE(Exists(first));
  EXPECT_EQ(ReadFile(second), FixtureContent(0, 50000));
}

TEST_F(HttpTransferTest, ReadsLocalFiles) {
  std::string local = Path("local.bin");
  WriteFile(local, "0123456789");
  Http.URL = "file://" + local;
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, "0123456789");
  EXPECT_EQ(Http.StatusCode(), 200);

  Rec.Events.clear();
  Http.Range.StartRange = 4;
  Http.Range.EndRange = 5;
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Body, "456789");

  Rec.Events.clear();
  Http.URL = "file://" + Path("nothing.bin");
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"HTTPError", "TransferFailed"}));
  EXPECT_EQ(Rec.ErrorCode, 404);
  EXPECT_EQ(Rec.Body, "");
}

TEST_F(HttpTransferTest, AnOutputFileThatCannotBeOpenedFails) {
  for (const char* path : {"/file?size=100", "/file?size=100&nolength=1"}) {
    SCOPED_TRACE(path);
    Rec.Events.clear();
    Http.OutputFileName = Path("no/such/folder/out.bin");
    Fetch(path);
    EXPECT_EQ(Rec.Events, (Events{"TransferFailed", "DoneWithoutData"}));
  }
}

TEST_F(HttpTransferTest, TheProxyIsUsedUnlessBypassed) {
  Http.Proxy.AccessType = atUseProxy;
  Http.Proxy.ProxyServer = "127.0.0.1";
  Http.Proxy.ProxyPort = static_cast<uint16_t>(Server.Port());
  Http.Proxy.ProxyBypass = "";
  // The fixture answers the proxy's absolute-form request itself.
  Http.URL = "http://127.0.0.2:9/echo";
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Body.rfind("GET http://127.0.0.2:9/echo HTTP/1.1\r\n", 0), 0u);

  Http.Proxy.ProxyPort = 9;
  Http.Proxy.ProxyBypass = "<local>;127.0.0.1;";
  Fetch("/echo");
  EXPECT_EQ(Rec.Body.rfind("GET /echo HTTP/1.1\r\n", 0), 0u);
}

TEST_F(HttpTransferTest, AWaitThatRunsOutStopsTheTransferUnlessTheHandlerWaitsOn) {
  int timeouts = 0;
  bool keepWaiting = false;
  Http.OnWaitTimeout = [&](TauCustomHTTP*, bool& terminate) {
    ++timeouts;
    terminate = !keepWaiting;
  };
  Http.SetWaitTimeout(100);
  Http.URL = Server.Url("/file?size=100&slow=1000");
  EXPECT_FALSE(Http.Read(true));
  EXPECT_EQ(timeouts, 1);
  EXPECT_TRUE(Rec.Events.empty());
  EXPECT_FALSE(Http.Active());

  keepWaiting = true;
  timeouts = 0;
  Http.URL = Server.Url("/file?size=100&slow=300");
  EXPECT_TRUE(Http.Read(true));
  EXPECT_GE(timeouts, 1);
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
}

TEST_F(HttpTransferTest, AHandlerExceptionIsReportedAndTheTransferStillEnds) {
  std::vector<std::string> reported;
  auto previous =
      SetExceptionReporter([&](std::exception_ptr e) { reported.push_back(ExceptionMessage(e)); });
  Http.OnDone = [](TauCustomHTTP*, const std::string&, int64_t, TauStream*) {
    throw std::runtime_error("handler failed");
  };
  Fetch("/file?size=10");
  SetExceptionReporter(previous);
  EXPECT_EQ(reported, (std::vector<std::string>{"handler failed"}));
  EXPECT_FALSE(Http.Active());
}

int CountEntries(const char* folder) {
  return static_cast<int>(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// Each transfer started from the previous one's completion, as the upgrade
// does; afterwards no thread and no file handle is left.
TEST_F(HttpTransferTest, TransfersInARowLeaveNoThreadOrFileBehind) {
  Fetch("/file?size=10");
  int threads = CountEntries("/proc/self/task"), files = CountEntries("/proc/self/fd");
  {
    TauCustomHTTP http;
    int done = 0;
    QEventLoop loop;
    http.OnDone = [&](TauCustomHTTP* sender, const std::string&, int64_t, TauStream*) {
      sender->FreeDataStream();
      if (++done < 100)
        EXPECT_TRUE(sender->Read(false));
      else
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    };
    http.OnTransferFailed = [&](TauCustomHTTP*) { loop.quit(); };
    http.URL = Server.Url("/file?size=100");
    http.OutputFileName = Path("many.bin");
    ASSERT_TRUE(http.Read(false));
    loop.exec();
    EXPECT_EQ(done, 100);
    ASSERT_TRUE(ProcessUntil([&] { return !http.Busy(); }));
  }
  ASSERT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }));
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountEntries("/proc/self/fd"), files);
}

TEST_F(HttpTransferTest, DestroyingTheClientMidTransferReportsNothing) {
  auto http = std::make_unique<TauCustomHTTP>();
  TransferRecorder rec(*http);
  http->URL = Server.Url("/file?size=1000&slow=5000");
  http->OutputFileName = Path("gone.bin");
  ASSERT_TRUE(http->Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return Exists(Path("gone.bin")); }));
  http.reset();
  ASSERT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }, 2000));
  EXPECT_TRUE(rec.Events.empty());
}

} // namespace
} // namespace bw::test
