#include "ftp_server_process.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace lumora::test {
namespace {

std::vector<std::string> script_and(const std::string& root, const std::vector<std::string>& options) {
  std::vector<std::string> args = {std::string(LUMORA_TEST_DIR) + "/ftp_server.py", root};
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

}  // namespace

// The port comes on the script's first output line; its log is not wanted.
FtpServer::FtpServer(const std::string& root, const std::vector<std::string>& options)
    : process_("/usr/bin/python3", script_and(root, options),
               {.errors = ChildSetup::Errors::kDiscard}) {
  const std::string& out = process_.out();
  if (process_.pump_until([&] { return out.find('\n') != std::string::npos; },
                          std::chrono::seconds(10)))
    port_ = std::stoi(out);
  process_.close_output();
}

FtpServer::~FtpServer() { process_.terminate(); }

FtpServedFolder::FtpServedFolder(std::int64_t size, unsigned seed) {
  std::filesystem::create_directory(root());
  std::mt19937 random(seed);
  std::ofstream out(track(), std::ios::binary);
  for (std::int64_t i = 0; i < size; ++i) out.put(static_cast<char>(random()));
}

}  // namespace lumora::test
