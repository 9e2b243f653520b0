#include "upgrade/helper/HelperBlob.h"

extern "C" const unsigned char kAuUpgBlob[];
extern "C" const unsigned char kAuUpgBlobEnd[];

namespace bw {

std::span<const unsigned char> EmbeddedUpgradeHelper() {
  return {kAuUpgBlob, static_cast<size_t>(kAuUpgBlobEnd - kAuUpgBlob)};
}

} // namespace bw
