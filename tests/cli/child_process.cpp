#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumora::test {
namespace {

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
  int out_pipe[2], err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) return;
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && exit_code_ < 0) {
    ::kill(pid_, SIGKILL);
    reap(true);
  }
  close_fd(out_fd_);
  close_fd(err_fd_);
}

void ChildProcess::pump(std::chrono::milliseconds wait) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (::poll(fds, 2, static_cast<int>(wait.count())) <= 0) return;
  int* owned[2] = {&out_fd_, &err_fd_};
  std::string* sinks[2] = {&out_, &err_};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buffer[4096];
    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0)
      sinks[i]->append(buffer, static_cast<std::size_t>(n));
    else
      close_fd(*owned[i]);
  }
}

bool ChildProcess::reap(bool block) {
  int status = 0;
  const pid_t r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (r != pid_) return false;
  exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

bool ChildProcess::finish(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    pump(std::chrono::milliseconds(20));
  }
  while (exit_code_ < 0) {
    if (reap(false)) break;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::usleep(1000);
  }
  return true;
}

void ChildProcess::signal(int signal_number) {
  if (pid_ > 0 && exit_code_ < 0) ::kill(pid_, signal_number);
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args) {
  ChildProcess child(program, args);
  if (!child.started() || !child.finish()) return {};
  return {child.exit_code(), child.out(), child.err()};
}

}  // namespace lumora::test
