// lumorafm-road-shots OUTDIR: walks the album road through the real windows
// against the in-process simulator and saves what the X server shows at each
// step (run under Xvfb, see docs/render_road.sh):
//   road_search.png       the Main window after searching 心理罪
//   road_tracks.png       the Track window: album listed, all ticked, folder chosen
//   road_downloading.png  the Track window mid-download
//   road_done.png         the Track window when the walk has ended
// The album's files are served slowly, so the progress can be caught.
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "lumora/app/fonts.h"
#include "lumora/controls/control_names.h"
#include "lumora/text/code_page.h"
#include "road_driver.h"

namespace {

namespace fs = std::filesystem;
using lumora::bench::RoadDriver;
using lumora::kList;

constexpr std::int64_t kAlbum = lumora::sim::albums::kTwentyTracks;
// Per connection: the album's files (about 40 to 340 KB) then take a second
// or two each over the walk's 10 connections.
constexpr std::uint64_t kSlowRate = 12 << 10;
constexpr int kCaughtRow = 3;  // the row shown mid-download

bool save(QWidget* window, const QString& path) {
  const QRect r = window->frameGeometry();
  const bool ok = QApplication::primaryScreen()
                      ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
                      .save(path);
  if (!ok) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
  return ok;
}

// Lets the windows be exposed and painted before a grab.
void settle() {
  RoadDriver::run_until([] { return false; }, 400);
}

// A row's cell mid-download reads like "37%-85KB": caught between a third
// and two thirds of the file, so the picture shows a file half done.
bool half_done(const lumora::Text& cell) {
  const auto mark = cell.find("%-");
  if (mark == lumora::Text::npos) return false;
  const int percent = std::atoi(cell.substr(0, mark).c_str());
  return percent >= 30 && percent <= 70;
}

int render(const QString& out) {
  lumora::sim::Simulator sim;
  for (const auto& track : sim.catalogue().album(kAlbum)->tracks)
    sim.audio().set_faults(track.audio_path, {.rate_cap = kSlowRate});
  const fs::path folder = fs::temp_directory_path() / "LumoraFM";
  fs::remove_all(folder);
  fs::create_directories(folder);

  int status = 0;
  {
    RoadDriver road(sim);
    road.main_window()->move(10, 10);
    const std::string_view kw = lumora::sim::kKeyword;
    if (!road.search(QString::fromUtf8(kw.data(), static_cast<int>(kw.size())))) return 1;
    const int row = road.album_row(kAlbum);
    if (row < 0) return 1;
    road.double_click_album(row);
    road.track_window()->move(640, 10);
    RoadDriver::run_until([&] { return road.app().running_workers() == 0; }, 30000);
    settle();
    if (!save(road.main_window(), out + "/road_search.png")) status = 1;
    if (!road.check_all()) return 1;
    road.choose_folder(folder);
    settle();
    if (!save(road.track_window(), out + "/road_tracks.png")) status = 1;

    // The walk runs inside the click; the timer fires in its waits.
    bool caught = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (caught) return;
      if (!half_done(road.controls().cell(lumora::WindowId::track, kList, kCaughtRow, 3)))
        return;
      caught = true;
      if (!save(road.track_window(), out + "/road_downloading.png")) status = 1;
    });
    watch.start(50);
    road.click_download();
    watch.stop();
    if (!caught) {
      std::fprintf(stderr, "no progress caught mid-download\n");
      status = 1;
    }
    settle();
    if (!save(road.track_window(), out + "/road_done.png")) status = 1;
  }
  fs::remove_all(folder);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: lumorafm-road-shots OUTDIR\n");
    return 2;
  }
  lumora::prepare_fonts();
  return render(QString::fromLocal8Bit(argv[1]));
}
