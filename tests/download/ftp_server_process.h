// The loopback FTP server of the engine's tests (ftp_server.py over
// Debian's pyftpdlib) as a child process for one test.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/test_support/child_process.h"
#include "lumora/test_support/temp_folder.h"

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

// What a test's server serves and the files that steer it, in a temporary
// folder of their own that goes with all of them: the served files under
// root(), the control files (pace, logs, flags) beside it, so that no
// listing or upload meets them.
class FtpServedFolder {
 public:
  // root() holds "track.mp3": `size` bytes of a generator seeded with `seed`.
  FtpServedFolder(std::int64_t size, unsigned seed);
  std::string root() const { return folder_ / "root"; }
  std::string track() const { return root() + "/track.mp3"; }
  // A control file's path, beside root().
  std::string beside(std::string_view name) const { return folder_ / name; }

 private:
  TempFolder folder_{"lumora-ftp"};
};

}  // namespace lumora::test
