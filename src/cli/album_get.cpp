#include "lumora/cli/album_get.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "lumora/catalogue/track_listing.h"
#include "lumora/cli/album_folder.h"
#include "lumora/cli/download_archive.h"
#include "lumora/cli/existing_track.h"
#include "lumora/cli/file_hook.h"
#include "lumora/cli/id3_tags.h"
#include "lumora/cli/interrupt.h"
#include "lumora/cli/listing_commands.h"
#include "lumora/cli/listing_output.h"
#include "lumora/cli/track_selection.h"
#include "lumora/download/throughput_share.h"
#include "lumora/road/file_name.h"
#include "lumora/road/track_fetch.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kLookEvery = std::chrono::milliseconds(50);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

struct JobSlot {
  TrackFetch fetch;
  std::mutex mutex;  // guards name, active, started
  std::string name;
  bool active = false;
  Clock::time_point started;
};

std::string file_name_of(const Text& gbk_path) {
  return std::filesystem::path(gbk_to_utf8(gbk_path)).filename().string();
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class AlbumGet {
 public:
  AlbumGet(const GetRequest& request, ProgressView& view, std::vector<TrackEntry> tracks,
           std::vector<int> chosen)
      : request_(request),
        view_(view),
        dir_(utf8_to_gbk(request.dir)),
        tracks_(std::move(tracks)),
        chosen_(std::move(chosen)),
        archive_(request.dir) {
    for (const TrackEntry& t : tracks_) ++name_count_[track_file_path(dir_, t.title)];
  }

  // Returns true when every chosen track was handled (not interrupted).
  bool run() {
    started_ = Clock::now();
    const int jobs = std::max(1, std::min<int>(request_.jobs, static_cast<int>(chosen_.size())));
    for (int i = 0; i < jobs; ++i) {
      slots_.push_back(std::make_unique<JobSlot>());
      if (request_.limit_rate > 0) slots_.back()->fetch.set_throughput_share(&rate_share_);
    }
    std::vector<std::thread> threads;
    for (auto& slot : slots_) threads.emplace_back([this, s = slot.get()] { job(*s); });
    watch();
    for (std::thread& t : threads) t.join();
    return !interrupted();
  }

  RunSummary summary() const {
    const int handled = done_ + skipped_ + failed_;
    return {done_, skipped_, failed_,
            interrupted() ? static_cast<int>(chosen_.size()) - handled : 0, finished_bytes_.load(),
            seconds_since(started_)};
  }
  int failed() const { return failed_; }
  int hook_failures() const { return hook_failures_; }

 private:
  void job(JobSlot& slot) {
    for (std::size_t k = next_++; k < chosen_.size() && !interrupted(); k = next_++)
      handle(slot, chosen_[k]);
    std::lock_guard lock(end_mutex_);
    ++jobs_ended_;
    end_cv_.notify_all();
  }

  // The main thread: live lines, and the stop, until every job has ended.
  void watch() {
    bool stopping = false;
    auto next_redraw = Clock::now();
    std::unique_lock lock(end_mutex_);
    while (jobs_ended_ < slots_.size()) {
      end_cv_.wait_for(lock, kLookEvery);
      if (interrupted() && !stopping) {
        stopping = true;
        lock.unlock();
        for (auto& slot : slots_) slot->fetch.stop();
        lock.lock();
      }
      if (Clock::now() >= next_redraw) {
        lock.unlock();
        show_live();
        lock.lock();
        next_redraw = Clock::now() + kRedrawEvery;
      }
    }
  }

  void show_live() {
    std::vector<LiveTrack> live;
    AlbumProgress album{done_ + skipped_ + failed_, static_cast<int>(chosen_.size()),
                        finished_bytes_.load(), -1, seconds_since(started_)};
    std::int64_t sizes = known_sizes_.load();
    int sized = known_count_.load();
    std::int64_t running = 0;
    for (auto& slot : slots_) {
      std::lock_guard lock(slot->mutex);
      if (!slot->active) continue;
      const FetchProgress p = slot->fetch.progress();
      live.push_back({slot->name, p.received, p.size, seconds_since(slot->started)});
      album.received += p.received;
      running += p.size > 0 ? p.size : p.received;
      if (p.size > 0) {
        sizes += p.size;
        ++sized;
      }
    }
    const std::size_t not_started = chosen_.size() - std::min(chosen_.size(), next_.load());
    if (sized > 0)
      album.expected = finished_bytes_.load() + running +
                       static_cast<std::int64_t>(not_started) * (sizes / sized);
    view_.show_live(album, live);
  }

  void handle(JobSlot& slot, int index) {
    const TrackEntry& track = tracks_[index];
    const std::string label = std::to_string(index + 1) + "/" + std::to_string(tracks_.size());
    const Text path = track_file_path(dir_, track.title);
    if (track.address.empty()) return fail(label, file_name_of(path), "no address", index);
    const std::string key =
        archive_key(request_.album_id, shown(track.track_id), shown(track.address));
    if (request_.skip_existing && skip(label, index, {key, track.address, path, shared_name(path)}))
      return;
    set_active(slot, file_name_of(path), true);
    const FetchResult result = fetch(slot, track.address, path);
    set_active(slot, {}, false);
    const std::string name = file_name_of(result.final_path);
    if (result.outcome == TaskOutcome::kStopped) return note(index, TrackReport::State::stopped);
    if (result.outcome != TaskOutcome::kComplete) return fail(label, name, result.reason, index);
    const std::string file = gbk_to_utf8(result.final_path);
    count_bytes(size_in_folder(archive_, name));
    if (request_.tag) {
      if (const std::string why = write_id3_tags(file, tags_of(index)); !why.empty()) {
        archive(key, name);
        return fail(label, name, "tags not written: " + why + " (the untagged file is kept)", index);
      }
    }
    archive(key, name);
    ++done_;
    note(index, TrackReport::State::done, name);
    view_.finished("done    " + label + "  " + name);
    run_hook(file);
  }

  // The limit is shared by the tracks running now, so that one that ends
  // leaves its part to the others.
  FetchResult fetch(JobSlot& slot, const Text& address, const Text& path) {
    const ThroughputShare::Member running(rate_share_);
    return slot.fetch.run(address, path, request_.stall_seconds);
  }

  // A fetched track's bytes, for the album line and the summary.
  void count_bytes(std::int64_t size) {
    if (size < 0) return;
    finished_bytes_ += size;
    known_sizes_ += size;
    ++known_count_;
  }

  // Notes the file with its size as it is on disk.
  void archive(const std::string& key, const std::string& name) {
    std::string why;
    if (!archive_.add(key, name, size_in_folder(archive_, name), &why))
      view_.problem("cannot note " + name + " in the archive: " + why);
  }

  void run_hook(const std::string& file) {
    if (request_.exec.empty()) return;
    if (const std::string why = run_file_hook(request_.exec, file); !why.empty()) {
      ++hook_failures_;
      view_.problem(why + " (for " + file + ")");
    }
  }

  // Each index is handled by one job thread only, so no lock is needed.
  void note(int index, TrackReport::State state, std::string file_name = {}) {
    if (request_.report) request_.report->outcomes[index] = {state, std::move(file_name)};
  }

  // True when the track is there already and was counted as skipped.
  bool skip(const std::string& label, int index, const TrackOnDisk& track) {
    const ExistingTrack existing = find_existing(archive_, track);
    if (existing.presence == Presence::kChanged)
      view_.problem("track " + label + " " + existing.file_name + " has " +
                    std::to_string(existing.found_size) + " bytes, not the " +
                    std::to_string(existing.archived_size) +
                    " it had when archived: fetching it again");
    if (existing.presence != Presence::kDone) return false;
    if (request_.tag) {
      if (const std::string why = tag_skipped(index, track.key, existing.file_name); !why.empty()) {
        fail(label, existing.file_name,
             "tags not written: " + why + " (the untagged file is kept)", index);
        return true;
      }
    }
    ++skipped_;
    note(index, TrackReport::State::skipped, existing.file_name);
    view_.finished("skipped " + label + "  " + existing.file_name);
    return true;
  }

  // A file kept untagged when its tags could not be written gets them now.
  // Why they could not be, or empty.
  std::string tag_skipped(int index, const std::string& key, const std::string& name) {
    const std::string file = request_.dir + "/" + name;
    const TrackTags tags = tags_of(index);
    if (carries_tags(file, tags)) return {};
    if (std::string why = write_id3_tags(file, tags); !why.empty()) return why;
    archive(key, name);
    return {};
  }

  bool shared_name(const Text& path) const {
    const auto it = name_count_.find(path);
    return it != name_count_.end() && it->second > 1;
  }

  void fail(const std::string& label, const std::string& name, const std::string& reason,
            int index) {
    note(index, TrackReport::State::failed);
    ++failed_;
    view_.problem("track " + label + " " + name + ": " + reason);
    view_.finished("failed  " + label + "  " + name);
  }

  void set_active(JobSlot& slot, std::string name, bool active) {
    std::lock_guard lock(slot.mutex);
    slot.name = std::move(name);
    slot.active = active;
    slot.started = Clock::now();
  }

  TrackTags tags_of(int index) const {
    const TrackEntry& t = tracks_[index];
    return {shown(t.title), static_cast<unsigned>(index + 1), shown(t.album_title),
            shown(t.nickname)};
  }

  const GetRequest& request_;
  ProgressView& view_;
  const Text dir_;
  const std::vector<TrackEntry> tracks_;
  const std::vector<int> chosen_;
  DownloadArchive archive_;
  std::map<Text, int> name_count_;  // how many tracks of the album make each file name
  ThroughputShare rate_share_{request_.limit_rate};
  std::vector<std::unique_ptr<JobSlot>> slots_;
  Clock::time_point started_;
  std::atomic<std::size_t> next_{0};
  std::atomic<int> done_{0}, skipped_{0}, failed_{0}, hook_failures_{0};
  std::atomic<std::int64_t> finished_bytes_{0}, known_sizes_{0};
  std::atomic<int> known_count_{0};
  std::mutex end_mutex_;
  std::condition_variable end_cv_;
  std::size_t jobs_ended_ = 0;
};

// The album's tracks, or the exit code when it brought none.
std::optional<int> list_album(const GetRequest& request, ProgressView& view,
                              std::vector<TrackEntry>& tracks, bool& whole) {
  RequestComponent connection;
  const PageWalk walk = list_album_track_pages(
      request.album_id, request.endpoints,
      [&](const std::vector<TrackEntry>& page) { tracks.insert(tracks.end(), page.begin(), page.end()); },
      &connection, {request.max_listing_pages, [] { return interrupted(); }});
  if (interrupted()) return interrupted_exit_code();
  if (tracks.empty()) {
    view.problem(empty_listing(walk, request.album_id));
    return 2;
  }
  const std::string warning = incomplete_listing(walk, "the listing of album " + request.album_id,
                                                 request.max_listing_pages);
  if (!warning.empty()) view.problem(warning);
  whole = warning.empty();
  return std::nullopt;
}

}  // namespace

int run_get(const GetRequest& request, ProgressView& view) {
  if (const std::string problem = folder_problem(request.dir); !problem.empty()) {
    view.problem(problem);
    return 2;
  }
  std::vector<TrackEntry> tracks;
  bool whole_listing = true;
  if (const auto code = list_album(request, view, tracks, whole_listing)) return *code;
  const int count = static_cast<int>(tracks.size());
  const TrackSelection chosen =
      request.tracks ? select_tracks(*request.tracks, count) : all_tracks(count);
  if (!chosen.error.empty()) {
    view.problem(chosen.error);
    return 2;
  }
  if (request.report) *request.report = {tracks, std::vector<TrackReport>(tracks.size())};
  AlbumGet get(request, view, std::move(tracks), chosen.indices);
  const bool whole = get.run();
  view.summary(get.summary());
  if (request.report) {
    request.report->listing_whole = whole_listing;
    request.report->exec_failures = get.hook_failures();
  }
  if (!whole) return interrupted_exit_code();
  return get.failed() > 0 || get.hook_failures() > 0 || !whole_listing ? 1 : 0;
}

}  // namespace lumora::cli
