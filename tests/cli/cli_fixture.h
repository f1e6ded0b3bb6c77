// lumorafm-cli run as a child process against a simulator in the test, with
// a temporary download folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lumora/sim/simulator.h"
#include "lumora/test_support/child_process.h"
#include "lumora/test_support/temp_folder.h"

namespace lumora::test {

class CliTest : public ::testing::Test {
 protected:
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
  TempFolder work{"lumora-cli"};
  std::filesystem::path folder = work.path() / "albums";  // made by the program
};

// Lines of `text` that start with `prefix`.
std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix);

}  // namespace lumora::test
