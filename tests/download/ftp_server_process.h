// The loopback FTP server of the engine's tests (ftp_server.py over
// Debian's pyftpdlib) as a child process for one test.
#pragma once

#include <string>
#include <vector>

#include "lumora/test_support/child_process.h"

namespace lumora::test {

class FtpServer {
 public:
  // Serves `root` with the script's `options` ("no-pasv", "rate=N", ...);
  // port() is 0 when it did not start.
  explicit FtpServer(const std::string& root, const std::vector<std::string>& options = {});
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;
  int port() const { return port_; }

 private:
  ChildProcess process_;
  int port_ = 0;
};

}  // namespace lumora::test
