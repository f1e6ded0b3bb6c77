#include "lumora/sim/server_runner.h"

#include <sys/socket.h>

#include <httplib.h>

#include <memory>

namespace lumora::sim {
namespace {

// Ten parallel connections per file, several files, and idle keep-alive
// connections each holding a worker: the library's default of 8 would queue.
constexpr std::size_t kWorkers = 64;
// The library listens with a backlog of 5: ten connections opened at once
// overflow it, and the kernel makes the late ones wait a second for a
// repeated SYN-ACK. A server of audio files takes more than that.
constexpr int kBacklog = 128;

}  // namespace

ServerRunner::ServerRunner(httplib::Server& server, RequestLog& log) : server_(server) {
  server_.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_.set_keep_alive_timeout(2);
  server_.set_pre_routing_handler([&log](const httplib::Request& request, httplib::Response&) {
    log.record(request);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // The listening socket, so that it can listen again with a longer queue.
  auto listening = std::make_shared<int>(-1);
  server_.set_socket_options([listening](socket_t sock) {
    httplib::default_socket_options(sock);
    if (*listening < 0) *listening = sock;
  });
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ > 0 && *listening >= 0) ::listen(*listening, kBacklog);
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
