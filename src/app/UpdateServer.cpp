#include "app/UpdateServer.h"

#ifndef BW_UPDATE_INFO_URL
#define BW_UPDATE_INFO_URL ""
#endif

namespace bw {

namespace {
std::string& Address() {
  static std::string address = BW_UPDATE_INFO_URL;
  return address;
}
} // namespace

const std::string& UpdateInfoURL() {
  return Address();
}

void SetUpdateInfoURL(std::string url) {
  Address() = std::move(url);
}

} // namespace bw
