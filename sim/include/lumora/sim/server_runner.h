// Runs one cpp-httplib server on a loopback address (127.0.0.1 unless told
// otherwise) at an ephemeral port, on a thread
// of its own, with every request recorded in a RequestLog before routing
// and answered from the overrides when one matches.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "lumora/sim/answer_overrides.h"
#include "lumora/sim/request_log.h"

namespace httplib {
class Server;
}

namespace lumora::sim {

class ServerRunner {
 public:
  // `server` has its routes set already; it, `log` and `overrides` are owned
  // by the caller and must outlive this runner. Binds and starts listening
  // before returning; the port is 0 when binding failed.
  ServerRunner(httplib::Server& server, RequestLog& log, const AnswerOverrides* overrides = nullptr,
               const std::string& host = "127.0.0.1");
  ~ServerRunner();  // stop()
  ServerRunner(const ServerRunner&) = delete;
  ServerRunner& operator=(const ServerRunner&) = delete;

  int port() const { return port_; }
  // Ends listening, waits for handlers in progress and joins the thread.
  // Idempotent; any thread but a handler's.
  void stop();

 private:
  httplib::Server& server_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace lumora::sim
