#include "lumora/cli/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "lumora/cli/interrupt.h"
#include "lumora/cli/listing_output.h"

namespace lumora::cli {
namespace {

std::atomic<int> g_write_error{0};

void die_quietly_of_closed_pipe() {
  std::signal(SIGPIPE, SIG_DFL);
  std::raise(SIGPIPE);
}

void note_write_error(int error) {
  if (error == EPIPE) die_quietly_of_closed_pipe();
  int none = 0;
  if (g_write_error.compare_exchange_strong(none, error == 0 ? EIO : error)) stop_for_output();
}

void fill_if_closed(int fd, int flags) {
  if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
  const int opened = ::open("/dev/null", flags);
  if (opened >= 0 && opened != fd) {
    ::dup2(opened, fd);
    ::close(opened);
  }
}

}  // namespace

void guard_standard_streams() {
  // In order, so each open takes the lowest free number: the stream's own.
  fill_if_closed(STDIN_FILENO, O_RDONLY);
  fill_if_closed(STDOUT_FILENO, O_RDONLY);
  fill_if_closed(STDERR_FILENO, O_RDONLY);
  std::signal(SIGPIPE, SIG_IGN);
}

void print_out(std::string_view text) {
  if (output_failed()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
    return note_write_error(errno);
  flush_checked(stdout);
}

void flush_checked(std::FILE* stream) {
  errno = 0;
  const bool flushed = std::fflush(stream) == 0;
  if (stream != stdout || output_failed()) return;
  if (!flushed || std::ferror(stream)) note_write_error(errno);
}

bool output_failed() { return g_write_error.load() != 0; }

void print_problem(const std::string& text) {
  std::fprintf(stderr, "lumorafm-cli: %s\n", visible(text).c_str());
}

int finish_output(int code) {
  if (!output_failed()) {
    errno = 0;
    if (std::fclose(stdout) != 0) note_write_error(errno);
  }
  const int error = g_write_error.load();
  if (error == 0) return code;
  std::fprintf(stderr, "lumorafm-cli: write error: %s\n", std::strerror(error));
  return code > 1 ? code : 1;
}

}  // namespace lumora::cli
