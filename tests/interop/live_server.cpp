#include "live_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;

// "127.0.0.1" or "::1" and a port.
sockaddr_storage loopback(const std::string& host, int port, socklen_t& length) {
  sockaddr_storage s{};
  if (host.find(':') != std::string::npos) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&s);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET6, host.c_str(), &a->sin6_addr);
    length = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&s);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, host.c_str(), &a->sin_addr);
    length = sizeof *a;
  }
  return s;
}

bool accepts(const std::string& host, int port) {
  socklen_t length = 0;
  const sockaddr_storage a = loopback(host, port, length);
  const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), length) == 0;
  ::close(fd);
  return ok;
}

std::string tail_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

}  // namespace

int free_loopback_port(const std::string& host) {
  socklen_t length = 0;
  sockaddr_storage a = loopback(host, 0, length);
  const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), length) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
    port = ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(a).sin6_port
                                         : reinterpret_cast<sockaddr_in&>(a).sin_port);
  if (fd >= 0) ::close(fd);
  return port;
}

LiveServer::~LiveServer() { stop(); }

std::string LiveServer::start(const std::vector<std::string>& argv, int port,
                              const std::string& output_path, const std::string& extra_log,
                              const std::string& host) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int spawned = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  const std::string who = argv[0];
  if (spawned != 0) {
    pid_ = -1;
    return who + " could not be started: " + std::to_string(spawned) +
           " (is its package installed? scripts/setup.sh installs it)";
  }
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return who + " ended before accepting on port " + std::to_string(port) + " (status " +
             std::to_string(status) + "); its output:\n" + tail_of(output_path) +
             (extra_log.empty() ? "" : "\nits log:\n" + tail_of(extra_log));
    }
    if (accepts(host, port)) {
      port_ = port;
      return "";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  stop();
  return who + " did not accept on port " + std::to_string(port) + " within 15 s; its output:\n" +
         tail_of(output_path) + (extra_log.empty() ? "" : "\nits log:\n" + tail_of(extra_log));
}

void LiveServer::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string package_version(const std::string& package) {
  const std::string command = "dpkg-query -W -f='${Version}' " + package + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return "";
  char buffer[128];
  std::string version;
  while (std::fgets(buffer, sizeof buffer, pipe)) version += buffer;
  ::pclose(pipe);
  return version;
}

}  // namespace lumora::test
