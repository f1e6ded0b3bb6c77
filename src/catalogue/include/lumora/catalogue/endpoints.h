// Where the platform is reached. The product uses the built-in hosts; tests
// and the demo point the catalogue at the simulator's loopback addresses.
#pragma once

#include "lumora/text/text.h"

namespace lumora {

struct PlatformEndpoints {
  // Album search, over HTTPS: scheme and host, no trailing "/".
  Text search_base = "https://www.lumorafm.com";
  // Mobile track interface, over plain HTTP.
  Text mobile_base = "http://mobile.lumorafm.com";
};

}  // namespace lumora
