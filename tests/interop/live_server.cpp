#include "live_server.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "lumora/test_support/temp_folder.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;

bool accepts(const std::string& host, int port) {
  const int fd = connect_loopback(port, host);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

std::string tail_of(const std::string& path) {
  const std::string text = read_file(path);
  return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

}  // namespace

LiveServer::~LiveServer() { stop(); }

std::string LiveServer::start(const std::vector<std::string>& argv, int port,
                              const std::string& output_path, const std::string& extra_log,
                              const std::string& host) {
  const std::string who = argv[0];
  process_ = std::make_unique<ChildProcess>(
      who, std::vector<std::string>(argv.begin() + 1, argv.end()),
      ChildSetup{.output = ChildSetup::Output::kFile,
                 .output_file = output_path,
                 .errors = ChildSetup::Errors::kWithOutput});
  if (!process_->started())
    return who + " could not be started: " + std::strerror(process_->start_error()) +
           " (is its package installed? scripts/setup.sh installs it)";
  const auto tails = [&] {
    return "; its output:\n" + tail_of(output_path) +
           (extra_log.empty() ? "" : "\nits log:\n" + tail_of(extra_log));
  };
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (Clock::now() < deadline) {
    if (process_->ended())
      return who + " ended before accepting on port " + std::to_string(port) + " (status " +
             std::to_string(process_->exit_code()) + ")" + tails();
    if (accepts(host, port)) {
      port_ = port;
      return "";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  stop();
  return who + " did not accept on port " + std::to_string(port) + " within 15 s" + tails();
}

void LiveServer::stop() {
  if (process_) process_->terminate(std::chrono::seconds(10));
  process_.reset();
}

std::string package_version(const std::string& package) {
  return run_program("/usr/bin/dpkg-query", {"-W", "-f=${Version}", package}).out;
}

}  // namespace lumora::test
