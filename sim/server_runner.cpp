#include "lumora/sim/server_runner.h"

#include <httplib.h>

namespace lumora::sim {
namespace {

// Ten parallel connections per file, several files, and idle keep-alive
// connections each holding a worker: the library's default of 8 would queue.
constexpr std::size_t kWorkers = 64;

}  // namespace

ServerRunner::ServerRunner(httplib::Server& server, RequestLog& log) : server_(server) {
  server_.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_.set_keep_alive_timeout(2);
  server_.set_pre_routing_handler([&log](const httplib::Request& request, httplib::Response&) {
    log.record(request);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) {
    port_ = 0;
    return;
  }
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // The socket already listens; wait only so that a stop() right away cannot
  // come before the accept loop and leave it running.
  while (!server_.is_running()) std::this_thread::yield();
}

ServerRunner::~ServerRunner() { stop(); }

void ServerRunner::stop() {
  if (!thread_.joinable()) return;
  server_.stop();
  thread_.join();
}

}  // namespace lumora::sim
