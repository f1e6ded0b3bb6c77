// sync's word about new tracks: one desktop notification per album that
// gains tracks, on a private session bus with a stand-in notification
// service; only a note when there is no bus; and --exec.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "cli_fixture.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using sim::albums::kWithoutCategory;

class NotifyTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    const std::filesystem::path work = folder.parent_path();
    ::setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
    std::filesystem::create_directories(work / "bus");
    std::ofstream(work / "bus.conf")
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:dir="
        << (work / "bus").string()
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/></policy></busconfig>\n";
    bus = std::make_unique<ChildProcess>(
        "/usr/bin/dbus-daemon", std::vector<std::string>{"--config-file", (work / "bus.conf").string(),
                                                          "--nofork", "--nopidfile", "--print-address=1"});
    ASSERT_TRUE(bus->started());
    ASSERT_TRUE(wait_for(*bus, "\n")) << bus->err();
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus->out().substr(0, bus->out().find('\n')).c_str(), 1);
    service = std::make_unique<ChildProcess>(NOTIFICATION_SERVICE_PATH, std::vector<std::string>{});
    ASSERT_TRUE(service->started());
    ASSERT_TRUE(wait_for(*service, "ready\n")) << service->err();
  }
  void TearDown() override {
    service.reset();
    bus.reset();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("XDG_CONFIG_HOME");
    CliTest::TearDown();
  }

  static bool wait_for(ChildProcess& child, const std::string& text) {
    return child.pump_until([&] { return child.out().find(text) != std::string::npos; }, 20s);
  }
  // The notifications the service has received, each "APP\tSUMMARY\tBODY".
  std::vector<std::string> notices(std::size_t at_least) {
    service->pump_until(
        [&] { return lines_starting(service->out(), "lumorafm-cli").size() >= at_least; }, 20s);
    return lines_starting(service->out(), "lumorafm-cli");
  }
  std::string dir_of(const std::string& id) const { return (folder / id).string(); }
  RunResult follow(const std::string& id, std::vector<std::string> extra = {}) const {
    std::vector<std::string> args = {"follow", id, "--dir", dir_of(id)};
    args.insert(args.end(), extra.begin(), extra.end());
    return cli(args);
  }

  std::unique_ptr<ChildProcess> bus;
  std::unique_ptr<ChildProcess> service;
};

TEST_F(NotifyTest, ASyncNotifiesOncePerAlbumThatGainsTracks) {
  const sim::SimAlbum& plain = album(kWithoutCategory);
  const auto& twenty = album(sim::albums::kTwentyTracks).tracks;
  sim.mobile_overrides().add(
      {.needle = "albumId=4243&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"a","playUrl64":")" + twenty[0].play_url +
               R"(","albumTitle":"心理罪之教化场"},{"title":"b","playUrl64":")" + twenty[1].play_url +
               R"("}]}})"});
  ASSERT_EQ(follow("4243", {"--notify"}).code, 0);
  ASSERT_EQ(follow(std::to_string(plain.id)).code, 0);

  const RunResult first = cli({"sync"});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(notices(1), std::vector<std::string>{"lumorafm-cli\t2 new tracks: 心理罪之教化场\t" +
                                                 dir_of("4243")});
  // Nothing new: nothing said. Then one new track in the album followed
  // without --notify, synced with it: said, and only that.
  ASSERT_EQ(cli({"sync"}).code, 0);
  sim.grow_album(plain.id, 1);
  const RunResult grown = cli({"sync", "--notify"});
  ASSERT_EQ(grown.code, 0) << grown.err;
  EXPECT_EQ(notices(2), (std::vector<std::string>{
                            "lumorafm-cli\t2 new tracks: 心理罪之教化场\t" + dir_of("4243"),
                            "lumorafm-cli\t1 new track: album 3700005\t" +
                                dir_of(std::to_string(plain.id))}));
  EXPECT_EQ(grown.err, "");
}

// Under a timer there may be no session bus: the sync is not the worse for it.
TEST_F(NotifyTest, WithoutASessionBusThereIsOnlyANote) {
  const std::filesystem::path empty = folder.parent_path() / "runtime";
  std::filesystem::create_directories(empty);
  ASSERT_EQ(follow(std::to_string(kWithoutCategory), {"--notify"}).code, 0);
  const RunResult r = run_program(
      LUMORAFM_CLI_PATH, with_platform({"sync"}),
      {.output = ChildSetup::Output::kPipe, .output_file = {},
       .env = {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR=" + empty.string()}});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("album 3700005  done 3, skipped 0, failed 0, held 3/3"), std::string::npos);
  EXPECT_EQ(r.err.rfind("lumorafm-cli: album 3700005: notification not sent: no session bus: ", 0), 0u)
      << r.err;
  EXPECT_EQ(lines_starting(r.err, "").size(), 1u) << r.err;
}

}  // namespace
}  // namespace lumora::test
