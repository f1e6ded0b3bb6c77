#include "lumora/app/download_folder.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <filesystem>
#include <fstream>
#include <string>

#include "lumora/test_support/temp_folder.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope.
class EnvOverride {
 public:
  EnvOverride(const char* name, const std::string& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, QByteArray::fromStdString(value));
  }
  ~EnvOverride() {
    if (had_) qputenv(name_, old_);
    else qunsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

TEST(DefaultDownloadFolder, ProgramFolderWhenWritableElseTheMusicFolder) {
  const test::TempFolder temp("lumora-folder");
  const fs::path& root = temp.path();
  const fs::path home = root / "home";
  const fs::path program = root / "bin";
  fs::create_directories(home);
  fs::create_directories(program);
  // A home without a user-dirs file: the music folder is home + "/Music".
  const EnvOverride home_env("HOME", home.string());
  const EnvOverride config_env("XDG_CONFIG_HOME", (root / "config").string());
  const struct {
    const char* what;
    fs::path program_dir;
    fs::path folder;
  } cases[] = {
      {"writable program folder", program, program / "LumoraFM"},
      {"missing program folder", root / "gone", home / "Music" / "LumoraFM"},
      {"program 'folder' is a file", root / "bin" / "LumoraFM" / "x", home / "Music" / "LumoraFM"},
  };
  fs::create_directories(program / "LumoraFM");
  std::ofstream(program / "LumoraFM" / "x") << "x";
  for (const auto& c : cases) {
    const Text folder = default_download_folder(utf8_to_gbk(c.program_dir.string()));
    EXPECT_EQ(folder, utf8_to_gbk(c.folder.string()) + "/") << c.what;
    EXPECT_TRUE(fs::is_directory(c.folder)) << c.what;
  }
  EXPECT_TRUE(fs::exists(program / "LumoraFM" / "x"));  // an existing folder is left as it is
}

}  // namespace
}  // namespace lumora
