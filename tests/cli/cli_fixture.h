// lumorafm-cli run as a child process against a simulator in the test, with
// a temporary download folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "lumora/sim/simulator.h"

namespace lumora::test {

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The program's arguments after the platform options.
  std::vector<std::string> with_platform(std::vector<std::string> args) const;
  RunResult cli(std::vector<std::string> args) const;
  // "get ALBUM --dir <folder>" followed by `extra`.
  RunResult get(std::int64_t album, std::vector<std::string> extra = {}) const;

  const sim::SimAlbum& album(std::int64_t id) const { return *sim.catalogue().album(id); }
  // GET requests the audio server has received so far.
  std::size_t audio_gets() const;
  // Names of the .mp3 files in the folder, sorted.
  std::vector<std::string> mp3_files() const;
  std::string file_sha256(const std::string& name) const;
  std::string file_name(const sim::SimTrack& track, const std::string& number = "") const;

  mutable sim::Simulator sim;
  std::filesystem::path folder;
};

// Lines of `text` that start with `prefix`.
std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix);
// A whole file's bytes; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace lumora::test
