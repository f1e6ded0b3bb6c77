#include "stop_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace lumora {

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

StopSignal::~StopSignal() { ::close(fd_); }

void StopSignal::raise() {
  const std::uint64_t one = 1;
  // Only fails when the counter would overflow, and then it is readable anyway.
  [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

void StopSignal::lower() {
  std::uint64_t count = 0;
  // Reading takes the counter back to zero; nothing to read is fine too.
  [[maybe_unused]] const ssize_t n = ::read(fd_, &count, sizeof count);
}

}  // namespace lumora
