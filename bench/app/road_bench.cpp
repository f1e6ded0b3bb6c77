// lumorafm-road-bench: the album road's speed through the real widgets
// (offscreen), against the in-process platform simulator.
//
//   lumorafm-road-bench listing [runs]   double-click on the 205-track album
//                                        to its last row in the Track list
//   lumorafm-road-bench walk [rounds]    the download walk of 10 files of
//                                        20 MiB at 1 MiB/s per connection,
//                                        against aria2c on the same addresses
//   lumorafm-road-bench engine           the same files through the engine
//                                        alone, no windows, with the first
//                                        file's event timeline (diagnosis)
//
// Every downloaded file is checked by SHA-256; a mismatch fails the run.
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lumora/app/fonts.h"
#include "lumora/queue/download_queue.h"
#include "lumora/text/code_page.h"
#include "road_driver.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using lumora::bench::RoadDriver;
using lumora::WindowId;

constexpr int kAlbumRows = 205;
constexpr int kWalkFiles = 10;
constexpr std::uint64_t kWalkFileSize = 20u << 20;
constexpr std::uint64_t kRateCap = 1u << 20;  // bytes per second per connection

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Counts the paints of a widget: where the UI thread's time goes.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

struct ListingRun {
  double ms = -1;
  int paints = 0;  // of the Track list's viewport, up to the last row
};

// One listing run: a fresh application, the search, then the timed
// double-click. The end is taken in the slot that sees the last row's
// address cell written, so no polling period is added.
ListingRun listing_run(lumora::sim::Simulator& sim) {
  RoadDriver road(sim);
  const std::string_view kw = lumora::sim::kKeyword;
  if (!road.search(QString::fromUtf8(kw.data(), static_cast<int>(kw.size())))) return {};
  const int row = road.album_row(lumora::sim::albums::kTwoHundredFiveTracks);
  if (row < 0) return {};
  const Clock::time_point start = Clock::now();
  road.double_click_album(row);
  lumora::ListView* list = road.track_list();
  if (!list) return {};
  PaintCounter counter;
  list->viewport()->installEventFilter(&counter);
  ListingRun run;
  QEventLoop loop;
  QObject::connect(list->model(), &QAbstractItemModel::dataChanged, &loop, [&] {
    if (list->topLevelItemCount() < kAlbumRows) return;
    if (list->topLevelItem(kAlbumRows - 1)->text(2).isEmpty()) return;
    run.ms = ms_since(start);
    run.paints = counter.paints;
    loop.quit();
  });
  QTimer::singleShot(30000, &loop, &QEventLoop::quit);
  loop.exec();
  list->viewport()->removeEventFilter(&counter);
  return run;
}

int bench_listing(int runs) {
  lumora::sim::Simulator sim;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const ListingRun run = listing_run(sim);
    if (run.ms < 0) {
      std::fprintf(stderr, "listing run %d did not reach row %d\n", i + 1, kAlbumRows);
      return 1;
    }
    std::printf("listing_run %d: %.1f ms, %d paints of the list\n", i + 1, run.ms, run.paints);
    times.push_back(run.ms);
  }
  const double m = median(times);
  std::printf("listing_205_rows_median_ms %.1f (min %.1f, max %.1f, %d runs)\n", m,
              *std::min_element(times.begin(), times.end()),
              *std::max_element(times.begin(), times.end()), runs);
  std::printf("listing_lower_bound_ms %d (1 ms pause a row)\n", kAlbumRows);
  std::printf("listing_above_bound_ms %.1f (%.2f x the bound)\n", m - kAlbumRows,
              m / kAlbumRows);
  return 0;
}

struct WalkFiles {
  std::vector<lumora::sim::AudioFile> files;
  std::vector<std::string> sha256;
};

WalkFiles add_walk_files(lumora::sim::Simulator& sim) {
  WalkFiles out;
  for (int i = 0; i < kWalkFiles; ++i) {
    out.files.push_back(sim.audio().add_file(kWalkFileSize, {.rate_cap = kRateCap}));
    out.sha256.push_back(sim.audio().sha256(out.files.back().path));
  }
  return out;
}

std::string walk_title(int i) { return "track" + std::to_string(i + 1); }

// The walk through the widgets: rows filled as the listing would, all
// ticked through the menu, the folder chosen, "下载选中" clicked. Milliseconds
// from the click to the walk's end, or -1 when a file is wrong.
double walk_run(lumora::sim::Simulator& sim, const WalkFiles& w, const fs::path& folder) {
  RoadDriver road(sim);
  road.app().shell().open_track_window();
  lumora::Controls& c = road.controls();
  for (int i = 0; i < kWalkFiles; ++i) {
    const int row = c.append_row(WindowId::track, u8"超级列表框1");
    c.set_cell(WindowId::track, u8"超级列表框1", row, 1, walk_title(i));
    c.set_cell(WindowId::track, u8"超级列表框1", row, 2, w.files[i].url);
  }
  if (!road.check_all()) return -1;
  road.choose_folder(folder);
  const Clock::time_point start = Clock::now();
  road.click_download();
  const double elapsed = ms_since(start);
  bool ok = true;
  for (int i = 0; i < kWalkFiles; ++i) {
    const fs::path file = folder / (walk_title(i) + ".mp3");
    if (lumora::bench::sha256_of_file(file) != w.sha256[i]) {
      std::fprintf(stderr, "walk: %s differs from the served file\n", file.c_str());
      ok = false;
    }
    if (c.cell(WindowId::track, u8"超级列表框1", i, 3) != lumora::gbk(u8"下载完成")) ok = false;
  }
  return ok ? elapsed : -1;
}

// aria2c in the same run, one file at a time with the same 10 connections.
double aria2c_run(const WalkFiles& w, const fs::path& folder) {
  const fs::path list = folder / "list";
  {
    std::ofstream out(list);
    for (const auto& f : w.files) out << f.url << '\n';
  }
  const QStringList args = {"-x10", "-s10", "-k1M", "-j1", "-q", "-d",
                            QString::fromStdString(folder.string()), "-i",
                            QString::fromStdString(list.string())};
  const Clock::time_point start = Clock::now();
  const int status = QProcess::execute("aria2c", args);
  const double elapsed = ms_since(start);
  if (status != 0) {
    std::fprintf(stderr, "aria2c ended with %d\n", status);
    return -1;
  }
  bool ok = true;
  for (int i = 0; i < kWalkFiles; ++i) {
    const fs::path file = folder / fs::path(w.files[i].path).filename();
    if (lumora::bench::sha256_of_file(file) != w.sha256[i]) {
      std::fprintf(stderr, "aria2c: %s differs from the served file\n", file.c_str());
      ok = false;
    }
  }
  return ok ? elapsed : -1;
}

int bench_walk(int rounds) {
  lumora::sim::Simulator sim;
  const WalkFiles w = add_walk_files(sim);
  const fs::path base = fs::temp_directory_path() / ("lumora-walk-bench-" + std::to_string(::getpid()));
  std::vector<double> walk_ms, aria_ms, ratios;
  int status = 0;
  for (int r = 0; r < rounds && status == 0; ++r) {
    const fs::path walk_dir = base / "walk", aria_dir = base / "aria2c";
    fs::remove_all(base);
    fs::create_directories(walk_dir);
    fs::create_directories(aria_dir);
    // Alternate who goes first, so a slow spell of the shared machine does
    // not always fall on the same side.
    double walk = 0, aria = 0;
    if (r % 2 == 0) {
      walk = walk_run(sim, w, walk_dir);
      aria = aria2c_run(w, aria_dir);
    } else {
      aria = aria2c_run(w, aria_dir);
      walk = walk_run(sim, w, walk_dir);
    }
    if (walk < 0 || aria < 0) {
      status = 1;
      break;
    }
    std::printf("round %d: walk %.0f ms, aria2c %.0f ms, ratio %.3f\n", r + 1, walk, aria,
                walk / aria);
    std::fflush(stdout);
    walk_ms.push_back(walk);
    aria_ms.push_back(aria);
    ratios.push_back(walk / aria);
  }
  fs::remove_all(base);
  if (status != 0) return status;
  std::printf("walk_median_ms %.0f\naria2c_median_ms %.0f\nratio_median %.3f (goal <= 1.15)\n",
              median(walk_ms), median(aria_ms), median(ratios));
  std::printf("ideal_ms %.0f (%d files x %.0f MiB over 10 connections of 1 MiB/s)\n",
              kWalkFiles * static_cast<double>(kWalkFileSize) / (10.0 * kRateCap) * 1000,
              kWalkFiles, kWalkFileSize / double(1 << 20));
  return 0;
}

// The walk's engine settings without the walk: where a file's time goes.
int bench_engine() {
  lumora::sim::Simulator sim;
  const WalkFiles w = add_walk_files(sim);
  const fs::path folder =
      fs::temp_directory_path() / ("lumora-engine-bench-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::mutex mutex;
  std::condition_variable ended_cv;
  bool ended = false;
  Clock::time_point start;
  bool trace = true;
  std::vector<std::string> timeline;
  lumora::TaskParam param;
  param.event_routine = [&](int kind, int connection, std::int64_t value, std::int64_t value2,
                            lumora::TaskContext&) {
    std::lock_guard lock(mutex);
    if (trace && kind != lumora::kEventBytesStored) {
      char line[128];
      std::snprintf(line, sizeof line, "%8.1f ms: kind %2d, connection %2d, %lld, %lld",
                    ms_since(start), kind, connection, static_cast<long long>(value),
                    static_cast<long long>(value2));
      timeline.emplace_back(line);
    }
    if (kind == lumora::kEventTaskEnded) {
      ended = true;
      ended_cv.notify_all();
    }
    return 0;
  };
  lumora::Download download;
  double total = 0;
  int status = 0;
  for (int i = 0; i < kWalkFiles; ++i) {
    // The walk's own settings, without its windows.
    lumora::set_walk_task(param, w.files[i].url, (folder / (walk_title(i) + ".mp3")).string());
    {
      std::lock_guard lock(mutex);
      ended = false;
      start = Clock::now();
    }
    if (!download.start_task(param)) return 1;
    {
      std::unique_lock lock(mutex);
      ended_cv.wait(lock, [&] { return ended; });
      trace = false;
    }
    while (download.busy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double ms = ms_since(start);
    total += ms;
    const bool ok = lumora::bench::sha256_of_file(param.save_path) == w.sha256[i];
    if (!ok) status = 1;
    std::printf("file %d: %.0f ms%s\n", i + 1, ms, ok ? "" : " (content differs)");
  }
  std::printf("engine_total_ms %.0f\nfirst file's events:\n", total);
  for (const auto& line : timeline) std::printf("  %s\n", line.c_str());
  // More than one request a connection means pieces were split at the end.
  std::printf("audio requests: %zu for %d files\n", sim.audio_log().snapshot().size(),
              kWalkFiles);
  fs::remove_all(folder);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lumora::prepare_fonts();
  const std::string mode = argc > 1 ? argv[1] : "";
  const int runs = argc > 2 ? std::atoi(argv[2]) : 0;
  if (mode == "listing") return bench_listing(runs > 0 ? runs : 9);
  if (mode == "walk") return bench_walk(runs > 0 ? runs : 3);
  if (mode == "engine") return bench_engine();
  std::fprintf(stderr, "usage: lumorafm-road-bench listing [runs] | walk [rounds] | engine\n");
  return 2;
}
