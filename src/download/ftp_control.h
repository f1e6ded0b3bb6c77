// The FTP control connection of one connection's session: commands out,
// numbered replies in, logging in. Used on the connection's thread.
#pragma once

#include "link.h"
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

}  // namespace lumora
