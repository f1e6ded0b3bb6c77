#include "lumora/sim/server_runner.h"

#include <httplib.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace lumora::sim {
namespace {

// Ten parallel connections per file, several files, and idle keep-alive
// connections each holding a worker: the library's default of 8 would queue.
constexpr std::size_t kWorkers = 64;
// The library listens with a backlog of 5; ten connections opened at once
// then lose SYNs and each waits a second for the retransmit.
constexpr int kListenBacklog = 128;

}  // namespace

ServerRunner::ServerRunner(httplib::Server& server, RequestLog& log, const AnswerOverrides* overrides,
                           const std::string& host)
    : server_(server) {
  server_.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_.set_keep_alive_timeout(2);
  // Accepted sockets inherit these. Without TCP_NODELAY the library's small
  // TLS writes wait for delayed ACKs, some 40 ms per answer.
  int listening = -1;
  server_.set_socket_options([&listening](socket_t socket) {
    listening = socket;
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  });
  server_.set_pre_routing_handler([&log, overrides](const httplib::Request& request, httplib::Response& response) {
    log.record(request);
    const auto canned = overrides ? overrides->find(request.target) : std::nullopt;
    if (!canned) return httplib::Server::HandlerResponse::Unhandled;
    response.status = canned->status;
    response.set_content(canned->body_for ? canned->body_for(request.target) : canned->body,
                         canned->content_type);
    return httplib::Server::HandlerResponse::Handled;
  });
  port_ = server_.bind_to_any_port(host);
  if (port_ <= 0) {
    port_ = 0;
    return;
  }
  // Listening again on a listening socket only changes its backlog.
  if (listening >= 0) ::listen(listening, kListenBacklog);
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
