// The upgrade helper program as the program carries it.
#pragma once

#include <span>

namespace bw {

std::span<const unsigned char> EmbeddedUpgradeHelper();

} // namespace bw
