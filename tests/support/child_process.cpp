#include "lumora/test_support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Our environment with the setup's changes.
std::vector<std::string> environment_for(const ChildSetup& setup) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& change : setup.env) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(env, [&](const std::string& e) { return e.substr(0, e.find('=')) == name; });
    if (change.find('=') != std::string::npos) env.push_back(change);
  }
  return env;
}

// The two ends for standard output: ours to read, the child's to write.
bool output_ends(const ChildSetup& setup, int ends[2]) {
  ends[0] = ends[1] = -1;
  if (setup.output == ChildSetup::Output::kPipe) return ::pipe2(ends, O_CLOEXEC) == 0;
  if (setup.output != ChildSetup::Output::kTerminal) return true;
  ends[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (ends[0] < 0 || ::grantpt(ends[0]) != 0 || ::unlockpt(ends[0]) != 0) return false;
  ends[1] = ::open(::ptsname(ends[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
  return ends[1] >= 0;
}

bool error_ends(const ChildSetup& setup, int ends[2]) {
  ends[0] = ends[1] = -1;
  return setup.errors != ChildSetup::Errors::kPipe || ::pipe2(ends, O_CLOEXEC) == 0;
}

void add_output(posix_spawn_file_actions_t& actions, const ChildSetup& setup, int write_end) {
  using Output = ChildSetup::Output;
  if (setup.output == Output::kFile)
    posix_spawn_file_actions_addopen(&actions, 1, setup.output_file.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  else if (setup.output == Output::kClosed)
    posix_spawn_file_actions_addclose(&actions, 1);
  else if (setup.output != Output::kInherit)
    posix_spawn_file_actions_adddup2(&actions, write_end, 1);
}

void add_errors(posix_spawn_file_actions_t& actions, const ChildSetup& setup, int write_end) {
  using Errors = ChildSetup::Errors;
  if (setup.errors == Errors::kPipe)
    posix_spawn_file_actions_adddup2(&actions, write_end, 2);
  else if (setup.errors == Errors::kWithOutput)
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  else if (setup.errors == Errors::kDiscard)
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const ChildSetup& setup) {
  int out_pipe[2], err_pipe[2];
  if (!output_ends(setup, out_pipe) || !error_ends(setup, err_pipe)) {
    start_error_ = errno;
    close_fd(out_pipe[0]);
    close_fd(out_pipe[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  add_output(actions, setup, out_pipe[1]);
  add_errors(actions, setup, err_pipe[1]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env = environment_for(setup);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  start_error_ = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  if (start_error_ == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  close_fd(out_pipe[1]);
  close_fd(err_pipe[1]);
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

bool ChildProcess::pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done() && Clock::now() < deadline) {
    if (out_fd_ < 0 && err_fd_ < 0 && ended()) break;  // nothing more can come
    pump(std::chrono::milliseconds(10));
  }
  return done();
}

bool ChildProcess::reap(bool block) {
  int status = 0;
  const pid_t r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (r != pid_) return false;
  exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

bool ChildProcess::ended() { return exit_code_ >= 0 || (pid_ > 0 && reap(false)); }

bool ChildProcess::finish(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    if (Clock::now() >= deadline) return false;
    pump(std::chrono::milliseconds(20));
  }
  while (!ended()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void ChildProcess::signal(int signal_number) {
  if (pid_ > 0 && exit_code_ < 0) ::kill(pid_, signal_number);
}

void ChildProcess::terminate(std::chrono::milliseconds grace) {
  if (pid_ <= 0 || ended()) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + grace;
  while (!ended() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (ended()) return;
  ::kill(pid_, SIGKILL);
  reap(true);
}

void ChildProcess::close_output() { close_fd(out_fd_); }

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const ChildSetup& setup) {
  ChildProcess child(program, args, setup);
  if (!child.started() || !child.finish()) return {};
  return {child.exit_code(), child.out(), child.err()};
}

}  // namespace lumora::test
