// Feeds arbitrary bytes, in arbitrary pieces, to the FTP reply reader, the
// way a control connection delivers them, and to the PASV address and EPSV
// port readers.
//
// Input: a byte that sets the piece length, then the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lumora/download/ftp_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t step = data[0] % 64 + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  lumora::Text pending;
  for (std::size_t at = 0; at < bytes.size(); at += step) {
    pending.append(bytes.substr(at, step));
    while (true) {
      const std::size_t before = pending.size();
      const auto reply = lumora::take_ftp_reply(pending);
      if (!reply) {
        if (pending.size() != before) std::abort();  // an incomplete reply stays whole
        break;
      }
      if (reply->code < 0 || reply->code > 999 || pending.size() >= before) std::abort();
      if (const auto hp = lumora::passive_address(reply->last))
        if (hp->port < 1 || hp->port > 65535) std::abort();
      if (const auto port = lumora::extended_passive_port(reply->last))
        if (*port < 1 || *port > 65535) std::abort();
    }
  }
  lumora::passive_address(lumora::Text(bytes));
  lumora::extended_passive_port(lumora::Text(bytes));
  return 0;
}
