// Steps shared by the HTTP and FTP exchanges of a connection.
#pragma once

#include <cstdint>
#include <string_view>

#include "link.h"
#include "socket.h"

namespace lumora {

// Resolves and connects with the task's connect time-out, logging each step
// ("正在解析域名", "正在连接", ...). kGoOn once connected, kRetry on failure,
// kStopped on a stop.
TransferResult dial(Link& link, Socket& socket, const Text& host, int port, bool proxy);

// Logs the socket-layer text for a failed receive or send and gives the
// result a connection acts on.
TransferResult io_failure(Link& link, IoStatus status, bool sending);

// Bytes one receive may ask for: the block size, within the connection
// buffer, and within the throughput cap's share of this connection.
std::size_t receive_size(const Link& link);

// Bytes one slow ranged answer carries before the piece is asked for
// again. A server that paces each answer lets a new one start with a burst
// (nginx grants a second's worth at once), which a peer's bounded ranges
// collect too; a fast answer runs on.
inline constexpr std::int64_t kAnswerSpan = 8 << 20;

class ChunkedDecoder;
// How a body arrives: the file offset of its first byte, the offset past
// its last one (-1: up to the end of the stream), and its decoder when it
// comes in chunks (nullptr: the bytes as they are).
struct BodyFrame {
  std::int64_t offset = 0;
  std::int64_t end = -1;
  ChunkedDecoder* chunks = nullptr;
  // The body answers a Range from the piece's offset: when its first
  // kAnswerSpan bytes took over a second and more than that is left, the
  // attempt ends with kAskAgain.
  bool ranged = false;
};
// Stores the body arriving on `socket` into the link's piece until the
// piece is complete; bytes past the frame's end are never stored. A body
// that ends (or breaks) first is a failed attempt. `early` holds bytes that
// came with the head.
TransferResult receive_body(Link& link, Socket& socket, const BodyFrame& frame,
                            std::string_view early);
inline TransferResult receive_body(Link& link, Socket& socket, std::int64_t stream_offset,
                                   std::string_view early) {
  return receive_body(link, socket, BodyFrame{.offset = stream_offset}, early);
}

}  // namespace lumora
