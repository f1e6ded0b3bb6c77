// A real server program run as a child for one test: started in the
// foreground with the config the test wrote, ready once its port accepts a
// connection, stopped (SIGTERM, then SIGKILL after a deadline) when the
// object goes. A server that cannot start is an error with its own words.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lumora/test_support/child_process.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {

class LiveServer {
 public:
  LiveServer() = default;
  ~LiveServer();
  LiveServer(const LiveServer&) = delete;
  LiveServer& operator=(const LiveServer&) = delete;

  // Runs `argv` (argv[0] a full path) with its standard output and error
  // in `output_path`, and waits up to 15 s for `port` on `host` to accept.
  // On failure returns a message naming the program, why, and the end of
  // its output and of `extra_log` (a log file the server writes itself);
  // "" when ready.
  std::string start(const std::vector<std::string>& argv, int port,
                    const std::string& output_path, const std::string& extra_log = {},
                    const std::string& host = "127.0.0.1");
  void stop();
  int port() const { return port_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

// The installed version of a Debian package ("" when not installed).
std::string package_version(const std::string& package);

}  // namespace lumora::test
