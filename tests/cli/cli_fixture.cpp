#include "cli_fixture.h"

#include <algorithm>
#include <sstream>

#include "lumora/sim/audio_bytes.h"

namespace lumora::test {

std::vector<std::string> CliTest::with_platform(std::vector<std::string> args) const {
  args.insert(args.begin(), {"--search-base", sim.search_base(), "--mobile-base", sim.mobile_base()});
  return args;
}

RunResult CliTest::cli(std::vector<std::string> args) const {
  return run_program(LUMORAFM_CLI_PATH, with_platform(std::move(args)));
}

RunResult CliTest::get(std::int64_t album, std::vector<std::string> extra) const {
  std::vector<std::string> args = {"get", std::to_string(album), "--dir", folder.string()};
  args.insert(args.end(), extra.begin(), extra.end());
  return cli(args);
}

std::size_t CliTest::audio_gets() const {
  const auto requests = sim.audio_log().snapshot();
  return std::count_if(requests.begin(), requests.end(),
                       [](const sim::LoggedRequest& r) { return r.method == "GET"; });
}

std::vector<std::string> CliTest::mp3_files() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.path().extension() == ".mp3") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string CliTest::file_sha256(const std::string& name) const {
  return sim::file_sha256((folder / name).string());
}

std::string CliTest::file_name(const sim::SimTrack& track, const std::string& number) const {
  std::string name = track.title;
  // The listing's body is percent-decoded before it is read.
  for (std::size_t at; (at = name.find("%41")) != std::string::npos;) name.replace(at, 3, 1, 'A');
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), '\\', '_');
  return name + number + ".mp3";
}

std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

}  // namespace lumora::test
