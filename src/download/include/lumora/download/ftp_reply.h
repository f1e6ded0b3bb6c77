// Reading what an FTP server says on its control connection: numbered
// replies (multi-line ones included), the address a PASV reply gives and the
// port an EPSV reply gives.
// Pure functions over bytes received, no I/O.
#pragma once

#include <optional>

#include "lumora/text/text.h"

namespace lumora {

struct FtpReply {
  int code = 0;  // the three digits, 100..599 or any three digits sent
  Text last;     // the reply's last line, without its line end
};

// Cuts the first complete reply off the front of `pending` and returns it;
// nullopt, leaving `pending` as it was, while the reply is incomplete. Lines
// before a reply's first numbered line are skipped; a multi-line reply
// ("123-" ... "123 ") ends at the first line that starts with its code and
// a blank.
std::optional<FtpReply> take_ftp_reply(Text& pending);

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the host as dotted text
// and the port, or nullopt when a number is missing or out of range.
struct HostPort {
  Text host;
  int port = 0;
};
std::optional<HostPort> passive_address(const Text& reply);

// "229 Entering Extended Passive Mode (|||6446|)": the port, or nullopt
// when the reply is not of that form (any delimiter the server chose, the
// same one four times; no network or address between them) or the port is
// not in 1..65535.
std::optional<int> extended_passive_port(const Text& reply);

}  // namespace lumora
