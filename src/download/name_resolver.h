// Resolving a host name without holding up a stop. getaddrinfo cannot be
// interrupted, so a name runs through it on a thread of its own while the
// connection waits for the answer or for its stop marks, whichever comes
// first. A connection that stops leaves the thread behind: that thread owns
// nothing but the request both share, and ends by itself once getaddrinfo
// returns, freeing whatever it got.
#pragma once

#include <netdb.h>

#include <memory>

#include "lumora/text/text.h"
#include "socket.h"

namespace lumora {

struct AddressListFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, AddressListFree>;

enum class ResolveStatus { kOk, kFailed, kStopped };

// The stream addresses of `host` (a name, or an IPv4 or IPv6 address
// text, which needs no thread) and `port`. Called on a connection thread.
ResolveStatus resolve_host(const Text& host, int port, const StopMarks& marks, AddressList& out);

// getaddrinfo's shape and results. Tests put another in its place to make a
// name hang; nullptr restores getaddrinfo. Address texts never reach it.
using ResolveFunction = int (*)(const char* node, const char* service, const addrinfo* hints,
                                addrinfo** result);
void set_resolve_function(ResolveFunction resolve);

// Resolver threads that have not ended yet, abandoned ones included.
int resolver_threads_running();

}  // namespace lumora
