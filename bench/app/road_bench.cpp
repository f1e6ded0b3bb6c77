// lumorafm-road-bench: the album road's speed through the real widgets
// (offscreen), against the in-process platform simulator.
//
//   lumorafm-road-bench listing [runs] [205|205_hidden|2000]
//                                        double-click on the 205-track album,
//                                        then on the 2,000-track one, to its
//                                        last row in the Track list
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
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "lumora/app/fonts.h"
#include "lumora/controls/control_names.h"
#include "lumora/download/download.h"
#include "lumora/road/walk_task.h"
#include "lumora/text/code_page.h"
#include "road_driver.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using lumora::bench::RoadDriver;
using lumora::kList;
using lumora::WindowId;

constexpr int kWalkFiles = 10;
constexpr std::uint64_t kWalkFileSize = 20u << 20;
constexpr std::uint64_t kRateCap = 1u << 20;  // bytes per second per connection

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the whole process (UI thread, workers, simulator) or of the
// calling thread, which a busy machine stretches far less than the wall clock.
double cpu_ms(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Counts the paints of a widget and notes the time of the last one.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  Clock::time_point last_paint;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      last_paint = Clock::now();
    }
    return false;
  }
};

struct ListedAlbum {
  const char* name;
  std::string_view keyword;
  std::int64_t id;
  int rows;
  bool hidden = false;  // the Track window hidden at once: the cost without painting
};

constexpr ListedAlbum kListedAlbums[] = {
    {"205", lumora::sim::kKeyword, lumora::sim::albums::kTwoHundredFiveTracks, 205},
    {"205_hidden", lumora::sim::kKeyword, lumora::sim::albums::kTwoHundredFiveTracks, 205, true},
    {"2000", lumora::sim::kLongKeyword, lumora::sim::albums::kTwoThousandTracks, 2000},
};

struct ListingRun {
  double ms = -1;        // to the last row's address in the list's model
  double shown_ms = -1;  // to the first paint of the list after that
  double cpu_ms = 0;     // process CPU time from the double-click to the last row
  double ui_cpu_ms = 0;  // the UI thread's share of it
  int paints = 0;        // of the Track list's viewport, up to the last row
};

// One listing run: a fresh application, the search, then the timed
// double-click. The end is taken in the slot that sees the last row with
// its address cell, so no polling period is added; the run goes on to
// the list's next paint, when that row is on the screen.
ListingRun listing_run(lumora::sim::Simulator& sim, const ListedAlbum& album) {
  RoadDriver road(sim);
  if (!road.search(QString::fromUtf8(album.keyword.data(), static_cast<int>(album.keyword.size()))))
    return {};
  const int row = road.album_row(album.id);
  if (row < 0) return {};
  const Clock::time_point start = Clock::now();
  const double cpu_start = cpu_ms(CLOCK_PROCESS_CPUTIME_ID);
  const double ui_cpu_start = cpu_ms(CLOCK_THREAD_CPUTIME_ID);
  road.double_click_album(row);
  lumora::ListView* list = road.track_list();
  if (!list) return {};
  if (album.hidden) road.track_window()->hide();
  PaintCounter counter;
  list->viewport()->installEventFilter(&counter);
  ListingRun run;
  QEventLoop loop;
  const auto see_last_row = [&] {
    if (run.ms >= 0 || list->topLevelItemCount() < album.rows) return;
    if (list->topLevelItem(album.rows - 1)->text(2).isEmpty()) return;
    run.ms = ms_since(start);
    run.cpu_ms = cpu_ms(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
    run.ui_cpu_ms = cpu_ms(CLOCK_THREAD_CPUTIME_ID) - ui_cpu_start;
    run.paints = counter.paints;
    loop.quit();
  };
  // A row may arrive with its cells filled, or be filled after it arrived.
  QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, &loop, see_last_row);
  QObject::connect(list->model(), &QAbstractItemModel::dataChanged, &loop, see_last_row);
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  loop.exec();
  if (run.ms >= 0 && album.hidden) run.shown_ms = run.ms;
  if (run.ms >= 0 && !album.hidden) {
    const int painted = counter.paints;
    RoadDriver::run_until([&] { return counter.paints > painted; }, 1000);
    if (counter.paints > painted)
      run.shown_ms = std::chrono::duration<double, std::milli>(counter.last_paint - start).count();
  }
  list->viewport()->removeEventFilter(&counter);
  return run;
}

int bench_listing_album(lumora::sim::Simulator& sim, const ListedAlbum& album, int runs) {
  std::vector<double> times, shown, cpu, ui_cpu;
  for (int i = 0; i < runs; ++i) {
    const ListingRun run = listing_run(sim, album);
    if (run.ms < 0 || run.shown_ms < 0) {
      std::fprintf(stderr, "listing run %d did not show row %d (%.1f ms, shown %.1f ms)\n", i + 1,
                   album.rows, run.ms, run.shown_ms);
      return 1;
    }
    std::printf(
        "listing_%s run %d: %.1f ms, shown at %.1f ms, %d paints of the list, CPU %.1f ms "
        "(UI thread %.1f ms)\n",
        album.name, i + 1, run.ms, run.shown_ms, run.paints, run.cpu_ms, run.ui_cpu_ms);
    std::fflush(stdout);
    times.push_back(run.ms);
    shown.push_back(run.shown_ms);
    cpu.push_back(run.cpu_ms);
    ui_cpu.push_back(run.ui_cpu_ms);
  }
  const double m = median(times);
  const double s = median(shown);
  std::printf("listing_%s_rows_median_ms %.1f (min %.1f, max %.1f, %d runs)\n", album.name, m,
              *std::min_element(times.begin(), times.end()),
              *std::max_element(times.begin(), times.end()), runs);
  std::printf("listing_%s_shown_median_ms %.1f\n", album.name, s);
  std::printf("listing_%s_lower_bound_ms %d (1 ms pause a row)\n", album.name, album.rows);
  std::printf("listing_%s_above_bound_ms %.1f (%.2f x the bound; shown %.2f x)\n", album.name,
              m - album.rows, m / album.rows, s / album.rows);
  std::printf("listing_%s_ms_per_row %.3f (CPU %.3f, of which the UI thread %.3f)\n",
              album.name, m / album.rows, median(cpu) / album.rows, median(ui_cpu) / album.rows);
  return 0;
}

// What `rows` pauses of 1 ms take on this machine now: a busy machine
// stretches them, and the listing with them.
double measured_pauses_ms(int rows) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < rows; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return ms_since(start);
}

// Both albums, so that a cost growing with the list's length shows as a
// higher time per row for the long one.
int bench_listing(int runs, std::string_view only) {
  std::printf("pauses_205_measured_ms %.1f (205 sleeps of 1 ms, before the runs)\n",
              measured_pauses_ms(205));
  lumora::sim::Simulator sim;
  for (const ListedAlbum& album : kListedAlbums) {
    if (!only.empty() && only != album.name) continue;
    if (const int status = bench_listing_album(sim, album, runs)) return status;
  }
  std::printf("pauses_205_measured_ms %.1f (after the runs)\n", measured_pauses_ms(205));
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
    const int row = c.append_row(WindowId::track, kList);
    c.set_cell(WindowId::track, kList, row, 1, walk_title(i));
    c.set_cell(WindowId::track, kList, row, 2, w.files[i].url);
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
    if (c.cell(WindowId::track, kList, i, 3) != lumora::gbk(u8"下载完成")) ok = false;
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
  std::mutex mutex;  // guards the two below; the event routine runs on engine threads
  Clock::time_point start;
  bool trace = true;
  std::vector<std::string> timeline;
  const lumora::EventRoutine event_routine = [&](const lumora::TaskEvent& e,
                                                 lumora::TaskContext&) {
    std::lock_guard lock(mutex);
    if (trace && e.kind != lumora::TaskEventKind::kBytesStored) {
      char line[128];
      std::snprintf(line, sizeof line, "%8.1f ms: kind %2d, connection %2d, %lld, %lld",
                    ms_since(start), static_cast<int>(e.kind), e.connection,
                    static_cast<long long>(e.value), static_cast<long long>(e.value2));
      timeline.emplace_back(line);
    }
    return 0;
  };
  lumora::Download download;
  double total = 0;
  int status = 0;
  for (int i = 0; i < kWalkFiles; ++i) {
    // The walk's own settings, without its windows.
    lumora::TaskParam param =
        lumora::walk_task_param(w.files[i].url, (folder / (walk_title(i) + ".mp3")).string());
    param.event_routine = event_routine;
    {
      std::lock_guard lock(mutex);
      start = Clock::now();
    }
    if (!download.start_task(param)) return 1;
    const std::optional<lumora::TaskResult> result = download.wait(lumora::kWaitForever);
    {
      std::lock_guard lock(mutex);
      trace = false;
    }
    const double ms = ms_since(start);
    total += ms;
    const bool ok = result->outcome == lumora::TaskOutcome::kComplete &&
                    lumora::bench::sha256_of_file(param.save_path) == w.sha256[i];
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
  if (mode == "listing") return bench_listing(runs > 0 ? runs : 9, argc > 3 ? argv[3] : "");
  if (mode == "walk") return bench_walk(runs > 0 ? runs : 3);
  if (mode == "engine") return bench_engine();
  std::fprintf(stderr, "usage: lumorafm-road-bench listing [runs] [album] | walk [rounds] | engine\n");
  return 2;
}
