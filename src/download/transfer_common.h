// Steps shared by the HTTP and FTP exchanges of a connection.
#pragma once

#include <string_view>

#include "connection.h"
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

}  // namespace lumora
