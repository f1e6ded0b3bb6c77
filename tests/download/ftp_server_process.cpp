#include "ftp_server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumora::test {

// The port comes on the script's first output line.
FtpServer::FtpServer(const std::string& root, const std::vector<std::string>& options) {
  int out[2];
  if (::pipe(out) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::string script = std::string(LUMORA_TEST_DIR) + "/ftp_server.py";
  std::vector<const char*> argv = {"/usr/bin/python3", script.c_str(), root.c_str()};
  for (const std::string& o : options) argv.push_back(o.c_str());
  argv.push_back(nullptr);
  if (::posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv.data()),
                    environ) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string line;
  char c;
  pollfd p{out[0], POLLIN, 0};
  while (pid_ > 0 && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
    line += c;
  ::close(out[0]);
  port_ = line.empty() ? 0 : std::stoi(line);
}

FtpServer::~FtpServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

}  // namespace lumora::test
