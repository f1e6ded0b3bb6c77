// An FTP session's data channel: passive (the client connects) first,
// active (the server connects) when the server refuses that. Over IPv4 with
// PASV and PORT; over IPv6, whose addresses those cannot carry, with EPSV
// and EPRT. Used on the connection's thread.
#pragma once

#include "link.h"
#include "ftp_control.h"
#include "socket.h"

namespace lumora {

// A data channel in the making: after ftp_open_data() the passive one is
// connected; an active one is listening and connects after the transfer
// command, in ftp_ready_data().
struct FtpData {
  Socket socket;
  Socket listener;
  bool active = false;
};

// PASV (EPSV) and a connect to the control connection's own peer at the
// port the reply gives (a PASV reply's host is only logged when it
// differs); when that fails, PORT (EPRT) with a listening socket.
// kGoOn when set up, else the result the connection acts on (logged).
TransferResult ftp_open_data(Link& link, FtpControl& control, FtpData& data);
// After the transfer command's preliminary reply: accepts the server's
// connection in active mode. kGoOn when the channel is ready.
TransferResult ftp_ready_data(Link& link, FtpData& data);

}  // namespace lumora
