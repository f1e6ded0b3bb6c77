// Getting an HTTP exchange's connection ready for its request: directly or
// through the proxy, and over TLS for an https address. Through a proxy an
// https address goes through a CONNECT tunnel, so the proxy carries the
// encrypted stream and never sees the request.
#pragma once

#include <optional>

#include "link.h"
#include "lumora/download/address.h"
#include "socket.h"

namespace lumora {

// Logs each step and reports any trouble. kGoOn when the request can go
// out: then `absolute_form` tells whether it names the whole address (a
// proxy's plain HTTP request) rather than the path. A refused certificate
// or a peer with no TLS to agree on is kFatal; a retry cannot mend them.
TransferResult dial_http(Link& link, Socket& socket, const Address& address,
                         const std::optional<Address>& proxy, bool& absolute_form);

}  // namespace lumora
