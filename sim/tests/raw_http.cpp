#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <strings.h>

namespace lumora::sim::test {
namespace {

std::string read_all(int fd) {
  std::string out;
  char buffer[65536];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 30000) <= 0) break;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace

bool RawAnswer::has_header(std::string_view name) const {
  return head.find("\r\n" + std::string(name) + ":") != std::string::npos;
}

std::string RawAnswer::header(std::string_view name) const {
  const std::string key = "\r\n" + std::string(name) + ": ";
  const auto at = head.find(key);
  if (at == std::string::npos) return {};
  const auto from = at + key.size();
  return head.substr(from, head.find("\r\n", from) - from);
}

RawAnswer raw_get(int port, std::string_view target, std::string_view extra) {
  RawAnswer answer;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return answer;
  }
  const std::string request = "GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                              std::to_string(port) + "\r\n" + std::string(extra) +
                              "Connection: close\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  const std::string all = read_all(fd);
  close(fd);
  const auto end = all.find("\r\n\r\n");
  if (end == std::string::npos) return answer;
  answer.head = all.substr(0, end + 2);
  answer.body = all.substr(end + 4);
  if (answer.head.size() > 12) answer.status = std::atoi(answer.head.c_str() + 9);
  return answer;
}

}  // namespace lumora::sim::test
