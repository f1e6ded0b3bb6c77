#include "name_resolver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace lumora {
namespace {

std::atomic<ResolveFunction> resolve_function{nullptr};
std::atomic<int> threads_running{0};

addrinfo stream_hints(int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags;
  return hints;
}

// Shared by the waiting connection and the resolver thread; whichever lets
// go last frees it.
struct Request {
  Request(std::string h, std::string p, ResolveFunction f)
      : host(std::move(h)), port(std::move(p)), resolve(f),
        done_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~Request() {
    if (list) ::freeaddrinfo(list);
    if (done_fd >= 0) ::close(done_fd);
  }
  const std::string host, port;
  const ResolveFunction resolve;
  const int done_fd;  // readable once `done`
  std::mutex mutex;
  bool done = false;
  int result = EAI_FAIL;
  addrinfo* list = nullptr;
};

void run(const std::shared_ptr<Request>& r) {
  const addrinfo hints = stream_hints(0);
  addrinfo* list = nullptr;
  const int result = r->resolve(r->host.c_str(), r->port.c_str(), &hints, &list);
  {
    std::lock_guard lock(r->mutex);
    r->result = result;
    r->list = list;
    r->done = true;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(r->done_fd, &one, sizeof one);
}

// Until the request is done (true) or a mark is raised (false).
bool wait_done(const Request& r, const StopMarks& marks) {
  for (;;) {
    if (marks.raised()) return false;
    pollfd p[2] = {{r.done_fd, POLLIN, 0}, {marks.wake_fd, POLLIN, 0}};
    const int n = ::poll(p, 2, marks.wake_fd >= 0 ? -1 : kWaitSliceMs);
    if (n > 0 && p[0].revents != 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

ResolveStatus take(Request& r, AddressList& out) {
  std::lock_guard lock(r.mutex);
  if (r.result != 0 || !r.list) return ResolveStatus::kFailed;
  out.reset(std::exchange(r.list, nullptr));
  return ResolveStatus::kOk;
}

}  // namespace

void set_resolve_function(ResolveFunction resolve) { resolve_function.store(resolve); }

int resolver_threads_running() { return threads_running.load(); }

ResolveStatus resolve_host(const Text& host, int port, const StopMarks& marks, AddressList& out) {
  const std::string service = std::to_string(port);
  const addrinfo numeric = stream_hints(AI_NUMERICHOST);
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), service.c_str(), &numeric, &list) == 0 && list) {
    out.reset(list);
    return ResolveStatus::kOk;
  }
  const ResolveFunction chosen = resolve_function.load();
  auto request = std::make_shared<Request>(host, service, chosen ? chosen : ::getaddrinfo);
  if (request->done_fd < 0) return ResolveStatus::kFailed;
  ++threads_running;
  try {
    std::thread([request]() mutable {
      run(request);
      request.reset();  // the last owner frees the request here, not after the count
      --threads_running;
    }).detach();
  } catch (const std::system_error&) {
    --threads_running;
    return ResolveStatus::kFailed;
  }
  if (!wait_done(*request, marks))
    return marks.raised() ? ResolveStatus::kStopped : ResolveStatus::kFailed;
  return take(*request, out);
}

}  // namespace lumora
