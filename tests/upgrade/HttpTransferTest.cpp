#include "LoopbackServer.h"
#include "ProcessUntil.h"
#include "TestFiles.h"

#include "foundation/ErrorReport.h"
#include "upgrade/HttpClient.h"
#include "upgrade/UpgradeUtils.h"

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>

namespace bw::test {
namespace {

using std::filesystem::exists;
using Events = std::vector<std::string>;

// Records what a transfer reports, in order.
struct TransferRecorder {
  std::vector<std::string> Events;
  std::string Body;
  std::string ContentType;
  int64_t DataSize = -1;
  int64_t Announced = -1;
  int64_t Received = -1;
  int ErrorCode = 0;
  bool DataWasNull = false;
  int64_t MemoryCapacity = -1;

  explicit TransferRecorder(TauCustomHTTP& http) {
    http.OnDone = [this](TauCustomHTTP*, const std::string& type, int64_t size, TauStream* data) {
      Events.push_back("Done");
      ContentType = type;
      DataSize = size;
      DataWasNull = data == nullptr;
      if (data) Body = data->ReadToEnd();
    };
    http.OnConnectionLost = [this](TauCustomHTTP*, const std::string& type, int64_t length,
                                   int64_t received, TauStream* data) {
      Events.push_back("ConnectionLost");
      ContentType = type;
      Announced = length;
      Received = received;
      if (auto* memory = dynamic_cast<TauMemoryStream*>(data)) MemoryCapacity = memory->Capacity();
    };
    http.OnNoResponse = [this](TauCustomHTTP*) { Events.push_back("NoResponse"); };
    http.OnHTTPError = [this](TauCustomHTTP*, int code, TauStream* data) {
      Events.push_back("HTTPError");
      ErrorCode = code;
      if (data) Body = data->ReadToEnd();
    };
    http.OnTransferFailed = [this](TauCustomHTTP*) { Events.push_back("TransferFailed"); };
    http.OnDoneWithoutData = [this](TauCustomHTTP*) { Events.push_back("DoneWithoutData"); };
    http.OnTransferSkipped = [this](TauCustomHTTP*) { Events.push_back("TransferSkipped"); };
    http.OnTransferAborted = [this](TauCustomHTTP*) { Events.push_back("TransferAborted"); };
  }
};

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
    Rec.Events.clear();
    Http.URL = Server.Url(path);
    ASSERT_TRUE(Http.Read(true));
  }
  // Resumes the address at start into an output file that holds these
  // bytes; the file's name.
  std::string Resume(const std::string& held, const std::string& path, uint64_t start) {
    Rec.Events.clear();
    Http.OutputFileName = Path("resume.bin");
    Write(Http.OutputFileName, held);
    Http.URL = Server.Url(path);
    EXPECT_TRUE(Http.ReadRange(start, 0, true));
    return Http.OutputFileName;
  }
};

// The data comes whole with a length, chunked, or ending by closing; the
// progress grows block by block, with a percentage and a time left only
// when the length is known.
TEST_F(HttpTransferTest, DownloadsIntoMemoryWithAndWithoutALength) {
  struct Case {
    const char* path;
    int64_t size;
    bool announced;
  };
  for (const Case& c :
       {Case{"/file?size=50000", 50000, true}, Case{"/file?size=30000&chunked=1", 30000, false},
        Case{"/file?size=30000&nolength=1", 30000, false}}) {
    SCOPED_TRACE(c.path);
    std::vector<int64_t> received;
    int lastPercent = -1;
    Http.OnDownloadProgress = [&](TauCustomHTTP*, const std::string&, int64_t dataSize,
                                  int64_t bytesRead, uint32_t elapsed, int64_t left,
                                  uint8_t percent, float, TauStream*) {
      received.push_back(bytesRead);
      lastPercent = percent;
      EXPECT_EQ(dataSize, c.announced ? c.size : 0);
      if (c.announced) {
        EXPECT_GE(left, -static_cast<int64_t>(elapsed));
      } else {
        EXPECT_EQ(percent, 0);
        EXPECT_EQ(left, -static_cast<int64_t>(elapsed));
      }
    };
    Fetch(c.path);
    EXPECT_EQ(Rec.Events, (Events{"Done"}));
    EXPECT_EQ(Rec.Body, FixtureContent(0, c.size));
    EXPECT_EQ(Rec.DataSize, c.size);
    EXPECT_EQ(Rec.ContentType, "application/octet-stream");
    EXPECT_EQ(Http.StatusCode(), 200);
    EXPECT_FALSE(Http.Active());
    ASSERT_FALSE(received.empty());
    EXPECT_TRUE(std::is_sorted(received.begin(), received.end()));
    EXPECT_EQ(received.back(), c.size);
    EXPECT_EQ(lastPercent, c.announced ? 100 : 0);
  }
}

TEST_F(HttpTransferTest, DownloadsIntoAFileWithItsAttributes) {
  std::string out = Path("out.bin");
  Http.OutputFileName = out;
  TauOutputFileAttributes attributes;
  attributes.SetIncomplete({atrReadOnly});
  attributes.SetComplete({atrArchive});
  Http.OutputFileAttributes.Assign(&attributes);
  mode_t whileIncomplete = 0;
  Http.OnDownloadProgress = [&](TauCustomHTTP*, const std::string&, int64_t, int64_t, uint32_t,
                                int64_t, uint8_t, float,
                                TauStream*) { whileIncomplete = Mode(out); };
  Fetch("/file?size=20000");
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_TRUE(Rec.DataWasNull);
  EXPECT_EQ(Rec.DataSize, 20000);
  EXPECT_EQ(ReadAll(out), FixtureContent(0, 20000));
  EXPECT_NE(whileIncomplete, 0u);
  EXPECT_FALSE(whileIncomplete & S_IWUSR);
  EXPECT_TRUE(Mode(out) & S_IWUSR);
}

// A connection that breaks is a failure even when no length was announced
// (chunked, or a reset of a body that ends by closing).
TEST_F(HttpTransferTest, ABrokenBodyIsAFailureWithOrWithoutALength) {
  for (const char* path :
       {"/file?size=30000&chunked=1&break=10000", "/file?size=30000&nolength=1&break=10000&rst=1",
        "/file?size=30000&break=10000"}) {
    SCOPED_TRACE(path);
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
  EXPECT_FALSE(exists(Http.OutputFileName));
}

// Credentials in the address come before the client's; without either the
// handler is asked with the realm and the request is sent again.
TEST_F(HttpTransferTest, CredentialsComeFromTheAddressOrThePasswordRequest) {
  Fetch("/auth?user=anna&pass=s3cret");
  EXPECT_EQ(Rec.Events, (Events{"HTTPError", "TransferFailed"}));
  EXPECT_EQ(Rec.ErrorCode, 401);

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
  Http.HTTPUsername = Http.HTTPPassword = "wrong";
  Rec.Events.clear();
  Http.URL =
      "http://anna:pw@127.0.0.1:" + std::to_string(Server.Port()) + "/auth?user=anna&pass=pw";
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, "secret");
}

TEST_F(HttpTransferTest, SendsTheRequestHeadersTheRangeAndFormData) {
  Http.RequestCacheOptions.Include(coPragmaNoCache);
  Http.RequestHeaders.Add("X-Extra: yes");
  Fetch("/echo");
  for (const char* line :
       {"GET /echo HTTP/1.1\r\n", "User-Agent: Upgrade HTTP client\r\n",
        "Accept: text/html, */*\r\n", "Pragma: no-cache\r\n", "X-Extra: yes\r\n"})
    EXPECT_NE(Rec.Body.find(line), std::string::npos) << line;
  EXPECT_EQ(Rec.Body.find("Range:"), std::string::npos);

  Http.Range.StartRange = 100;
  Fetch("/echo");
  EXPECT_NE(Rec.Body.find("Range: bytes=100-\r\n"), std::string::npos);
  ASSERT_TRUE(Http.ReadRange(100, 199, true));
  EXPECT_NE(Rec.Body.find("Range: bytes=100-199\r\n"), std::string::npos);

  Http.Range.Assign(nullptr);
  Http.PostData = "a=1&b=two";
  Fetch("/echo");
  EXPECT_EQ(Rec.Body.rfind("POST /echo HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(Rec.Body.find("Content-Type: application/x-www-form-urlencoded\r\n"),
            std::string::npos);
  EXPECT_EQ(Rec.Body.substr(Rec.Body.size() - 9), "a=1&b=two");
}

// A resume keeps the file's bytes only when they are the server's; any
// other answer starts the file again from the beginning, once. Either way the
// file ends as the whole resource.
TEST_F(HttpTransferTest, AResumeKeepsOnlyTheBytesTheServerConfirms) {
  const std::string whole = FixtureContent(0, 10000);
  struct Case {
    const char* name;
    std::string held;
    uint64_t start;
    const char* options;
    bool nothingToFetch;
  };
  for (const Case& c :
       {Case{"same bytes", whole, 4000, "", false},
        Case{"other bytes", std::string(12000, 'x'), 4000, "", false},
        Case{"whole answer", std::string(30000, 'x'), 4000, "&ignorerange=1", false},
        Case{"416, complete", whole, 10000, "", true},
        Case{"416, too long", FixtureContent(0, 20000), 15000, "", false}}) {
    SCOPED_TRACE(c.name);
    const std::string out = Resume(c.held, std::string("/file?size=10000") + c.options, c.start);
    const Events expected =
        c.nothingToFetch ? Events{"TransferFailed", "DoneWithoutData"} : Events{"Done"};
    EXPECT_EQ(Rec.Events, expected);
    EXPECT_EQ(ReadAll(out), whole);
    if (!c.nothingToFetch) {
      EXPECT_EQ(Rec.DataSize, 10000);
    }
  }
}

// A block of zeros past the end of the file is not "already there": only
// bytes the file really holds are compared.
TEST_F(HttpTransferTest, AResumeBehindTheEndOfTheFileFetchesEverything) {
  const std::string out = Resume(std::string(4000, '\0'), "/file?size=10000&zeros=1", 4000);
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(ReadAll(out), std::string(10000, '\0'));
}

TEST_F(HttpTransferTest, APartOtherThanTheOneAskedForIsNotWritten) {
  const std::string held = FixtureContent(0, 4000) + std::string(6000, 'x');
  const std::string out = Resume(held, "/file?size=10000&badrange=1", 4000);
  EXPECT_EQ(Rec.Events, (Events{"ConnectionLost", "TransferFailed"}));
  EXPECT_EQ(ReadAll(out), held);
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
  for (int status : {21, 110})
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), status), statuses.end()) << status;
}

TEST_F(HttpTransferTest, RedirectsToOtherProtocolsAndLoopsGetNoResponse) {
  Http.OutputFileName = Path("never.bin");
  for (auto [path, refused] : {std::pair{"/redirect?to=file:///etc/passwd", "file:///etc/passwd"},
                               {"/redirect?to=ftp://127.0.0.1/x", "ftp://127.0.0.1/x"},
                               {"/loop", ""}}) {
    SCOPED_TRACE(path);
    Fetch(path);
    EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));
    EXPECT_EQ(Http.StatusCode(), -1);
    EXPECT_EQ(Http.RefusedRedirect(), refused);
  }
  EXPECT_FALSE(exists(Http.OutputFileName));
}

// The query goes out in its encoded form: a blank as "%20" and a "+" as
// "%2B", so that neither is taken for the other; escapes in upper case, and
// an escape already there stays one escape.
TEST_F(HttpTransferTest, TheQueryGoesOutEncodedOnce) {
  const std::pair<std::string, std::string> cases[] = {
      {"?name=a b", "?name=a%20b"},
      {"?v=1.0+beta", "?v=1.0%2Bbeta"},
      {"?name=a b+c", "?name=a%20b%2Bc"},
      {"?x=%e9&y=%E9", "?x=%E9&y=%E9"},
      {"?name=a%20b&p=%2B", "?name=a%20b&p=%2B"},
      {"?a=b#c d", "?a=b%23c%20d"},
      {"?n=\xC3\xA9", "?n=%C3%A9"},
      {"?", ""},
      {"", ""},
  };
  for (const auto& [query, sent] : cases) {
    SCOPED_TRACE(query);
    Fetch("/echo" + query);
    EXPECT_EQ(Rec.Body.substr(0, Rec.Body.find("\r\n")), "GET /echo" + sent + " HTTP/1.1");
  }
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

// A server that sends a byte now and then ends as "no response" once the
// transfer stays under the low-speed bound for its time (one second here);
// an abort still stops it at any moment.
TEST_F(HttpTransferTest, ATricklingServerGetsNoResponseAndCanBeAborted) {
  Http.Timeouts.LowSpeedLimit = 1000;
  Http.Timeouts.LowSpeedTime = 1;
  Http.OutputFileName = Path("trickle.bin");
  Http.URL = Server.Url("/file?size=100000&trickle=20");
  ASSERT_TRUE(Http.Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return !Rec.Events.empty(); }, 8000));
  EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));
  EXPECT_EQ(Http.StatusCode(), -1);

  Http.Timeouts.LowSpeedTime = 60;
  int64_t received = 0;
  Http.OnDownloadProgress = [&](TauCustomHTTP*, const std::string&, int64_t, int64_t bytesRead,
                                uint32_t, int64_t, uint8_t, float,
                                TauStream*) { received = bytesRead; };
  Rec.Events.clear();
  ASSERT_TRUE(Http.Read(false));
  ASSERT_TRUE(ProcessUntil([&] { return received > 0; }));
  Http.Abort(true, false);
  ASSERT_TRUE(ProcessUntil([&] { return !Rec.Events.empty(); }, 3000));
  EXPECT_EQ(Rec.Events, (Events{"TransferAborted"}));
  EXPECT_FALSE(exists(Http.OutputFileName));
}

// The output file is never written through a link or into a file with
// another name, where someone else may have put either; a stale file of its
// own is made anew.
TEST_F(HttpTransferTest, TheOutputFileIsOnlyEverAFileOfItsOwn) {
  Write(Path("victim"), "the user's");
  std::filesystem::create_symlink(Path("victim"), Path("link"));
  for (bool rewrite : {true, false})
    EXPECT_THROW(TauFileStream(Path("link"), true, rewrite), FCreateError) << rewrite;
  EXPECT_EQ(ReadAll(Path("victim")), "the user's");

  Write(Path("stale"), "old");
  std::filesystem::create_hard_link(Path("stale"), Path("second name"));
  EXPECT_THROW(TauFileStream(Path("stale"), true, false), FCreateError);
  {
    TauFileStream file(Path("stale"), true, true);
    EXPECT_EQ(file.Size(), 0);
    EXPECT_EQ(file.Write("new", 3), 3);
  }
  EXPECT_EQ(ReadAll(Path("stale")), "new");
  EXPECT_EQ(ReadAll(Path("second name")), "old");
}

// Every malformed or missing answer ends as "no response", with no output
// file where the complete one would be.
TEST_F(HttpTransferTest, MalformedAndMissingAnswersGetNoResponse) {
  Http.Timeouts.ReceiveTimeout = 200;
  Http.OutputFileName = Path("bad.bin");
  for (const char* name :
       {"badstatus", "garbage", "neglength", "nanlength", "hugeheader", "closeatonce", "silent"}) {
    SCOPED_TRACE(name);
    Fetch(std::string("/raw/") + name);
    EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));
    EXPECT_EQ(Http.StatusCode(), -1);
    EXPECT_FALSE(exists(Http.OutputFileName));
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

// A secure transfer is not redirected to a plain address unless the option
// allows it.
TEST_F(HttpTransferTest, HttpsIsNotRedirectedToHttpUnlessAllowed) {
  LoopbackServer& secure = LoopbackServer::Secure();
  Http.SetTrustedCertificates(secure.CertificateFile());
  Http.URL = secure.HttpsUrl("/redirect?to=" + secure.Url("/file%3Fsize%3D10"));
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"NoResponse", "TransferFailed"}));

  Rec.Events.clear();
  Http.InternetOptions.Include(ioIgnoreRedirectToHTTP);
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, FixtureContent(0, 10));
}

TEST_F(HttpTransferTest, HeaderInfoReportsTheResponseAndMaySkipIt) {
  std::string out = Path("kept.bin");
  Write(out, "old");
  Http.OutputFileName = out;
  bool asked = false;
  Http.OnHeaderInfo = [&](TauCustomHTTP*, int code, const std::string& raw, const std::string& type,
                          const std::string&, const std::string&, int64_t length,
                          const std::string&, TDateTime, TDateTime modified, TDateTime,
                          const std::string& etag, bool& cont) {
    asked = true;
    EXPECT_EQ(code, 200);
    EXPECT_EQ(raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(type, "application/octet-stream");
    EXPECT_EQ(length, 500);
    EXPECT_EQ(etag, "\"v2\"");
    EXPECT_NE(modified, 0);
    cont = false;
  };
  Fetch("/file?size=500&etag=v2&lastmod=Sun,%2006%20Nov%201994%2008:49:37%20GMT");
  EXPECT_TRUE(asked);
  EXPECT_EQ(Rec.Events, (Events{"TransferSkipped"}));
  EXPECT_EQ(ReadAll(out), "old");
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
  EXPECT_FALSE(exists(out));
  EXPECT_FALSE(Http.Active());
}

// A forced abort of a silent server reports at once; destroying the client
// reports nothing. Either way the abandoned worker ends at once, reports
// nothing more and leaves the output file.
TEST_F(HttpTransferTest, AForcedAbortOrDestroyingTheClientStopsAtOnce) {
  for (bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed" : "forced abort");
    const std::string out = Path(destroy ? "gone.bin" : "forced.bin");
    auto http = std::make_unique<TauCustomHTTP>();
    TransferRecorder rec(*http);
    http->OutputFileName = out;
    http->URL = Server.Url("/file?size=1000&slow=5000");
    ASSERT_TRUE(http->Read(false));
    ASSERT_TRUE(ProcessUntil([&] { return exists(out); }));
    if (destroy) {
      http.reset();
    } else {
      http->Abort(false, true);
      EXPECT_EQ(rec.Events, (Events{"TransferAborted"}));
      EXPECT_FALSE(http->Active());
      EXPECT_FALSE(http->Busy());
    }
    ASSERT_TRUE(ProcessUntil([] { return TauEventThread::UnjoinedThreadCount() == 0; }, 2000));
    EXPECT_EQ(rec.Events, destroy ? Events{} : Events{"TransferAborted"});
    EXPECT_TRUE(exists(out));
  }
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
  EXPECT_EQ(ReadAll(second), FixtureContent(0, 70000));
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
  EXPECT_TRUE(exists(first));
  EXPECT_EQ(ReadAll(second), FixtureContent(0, 50000));
}

TEST_F(HttpTransferTest, ReadsLocalFiles) {
  std::string local = Path("local.bin");
  Write(local, "0123456789");
  Http.URL = "file://" + local;
  ASSERT_TRUE(Http.Read(true));
  EXPECT_EQ(Rec.Events, (Events{"Done"}));
  EXPECT_EQ(Rec.Body, "0123456789");
  EXPECT_EQ(Http.StatusCode(), 200);

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
  Http.OutputFileName = Path("no/such/folder/out.bin");
  for (const char* path : {"/file?size=100", "/file?size=100&nolength=1"}) {
    SCOPED_TRACE(path);
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

} // namespace
} // namespace bw::test
