// A plain socket client for the simulator's tests: sends request text as
// given and reads until the server closes, so truncated and
// close-delimited answers can be checked byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace lumora::sim::test {

struct RawAnswer {
  std::string head;  // status line and header lines, up to the empty line
  std::string body;
  int status = 0;
  bool has_header(std::string_view name) const;
  std::string header(std::string_view name) const;
};

// Sends "GET <target> HTTP/1.1" with Host, "Connection: close" and `extra`
// header lines (each ending in "\r\n") to 127.0.0.1:port. Gives up after
// 30 s without data.
RawAnswer raw_get(int port, std::string_view target, std::string_view extra = {});

}  // namespace lumora::sim::test
