// The FTP control connection of one connection's session: commands out,
// numbered replies in, logging in, and setting up the data channel
// (passive first, active when PASV fails). Used on the connection's thread.
#pragma once

#include "connection.h"
#include "lumora/text/text.h"
#include "socket.h"

namespace lumora {

class FtpControl {
 public:
  FtpControl(Link& link, Socket& socket) : link_(link), socket_(socket) {}

  // The code of the next complete reply (multi-line ones included), or 0
  // when none arrived; `failure` tells why.
  int reply(TransferResult& failure);
  // Sends one command and reads its reply code (0 on failure). `shown` is
  // logged instead of the line when given.
  int command(const Text& line, TransferResult& failure, const Text& shown = {});
  // Sends QUIT and reads what is still due until its 221, so the server
  // sees an orderly end rather than a reset: some servers lose track of
  // other sessions' data channels after one.
  void quit();
  // The last reply's last line.
  const Text& last_text() const { return last_; }
  Socket& socket() { return socket_; }

 private:
  Link& link_;
  Socket& socket_;
  Text pending_;
  Text last_;
};

// Waits for the greeting, sends USER and PASS. kGoOn when logged in.
TransferResult ftp_log_in(Link& link, FtpControl& control);

// A data channel in the making: after ftp_open_data() the passive one is
// connected; an active one is listening and connects after the transfer
// command, in ftp_ready_data().
struct FtpData {
  Socket socket;
  Socket listener;
  bool active = false;
};

// PASV and a connect to the control connection's own peer at the port the
// reply gives (the reply's host is only logged when it differs); when PASV
// fails, PORT with a listening socket.
// kGoOn when set up, else the result the connection acts on (logged).
TransferResult ftp_open_data(Link& link, FtpControl& control, FtpData& data);
// After the transfer command's preliminary reply: accepts the server's
// connection in active mode. kGoOn when the channel is ready.
TransferResult ftp_ready_data(Link& link, FtpData& data);

}  // namespace lumora
