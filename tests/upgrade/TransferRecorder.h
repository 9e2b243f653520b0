// Records what a transfer of the HTTP client reports, in order.
#pragma once

#include "upgrade/HttpClient.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <string>
#include <vector>

namespace bw::test {

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

// Processes events until the condition holds; false when it did not within
// the limit (a guard against a hanging test, not a measurement).
template <typename Condition>
bool ProcessUntil(Condition condition, int limitMs = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

using Events = std::vector<std::string>;

} // namespace bw::test
