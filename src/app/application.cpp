#include "lumora/app/application.h"

#include "lumora/app/download_folder.h"
#include "lumora/app/program_paths.h"
#include "lumora/catalogue/album_search.h"
#include "lumora/catalogue/track_listing.h"
#include "lumora/net/request_component.h"

namespace lumora {

Application::Application(ExitRoutines& exits, PlatformEndpoints endpoints)
    : endpoints_(std::move(endpoints)),
      download_(std::make_unique<Download>()),
      shell_(exits),
      queue_(shell_.controls(), shell_.checked_rows(), *download_) {
  // Before any worker thread can start.
  net_global_init();
  exits.add([this] { release_download_resources(); });
  queue_.set_default_folder([] { return default_download_folder(program_directory()); });
  bind_handlers();
}

Application::~Application() { release_download_resources(); }

void Application::bind_handlers() {
  Controls& controls = shell_.controls();
  const PlatformEndpoints& endpoints = endpoints_;
  Handlers& h = shell_.handlers();
  h.start_album_search = [this, &controls, &endpoints](const EventArgs&) {
    start_worker([&controls, &endpoints] { album_search_worker(controls, endpoints); });
  };
  h.open_album = [this, &controls, &endpoints](const EventArgs&) {
    shell_.open_track_window();
    start_worker([&controls, &endpoints] { track_listing_worker(controls, endpoints); });
  };
  h.start_download = [this](const EventArgs&) { queue_.start_download(); };
  h.stop_download = [this](const EventArgs&) { queue_.stop_download(); };
  h.check_all = [this](const EventArgs&) { queue_.check_all(); };
  h.on_check_changed = [this](const EventArgs& a) { queue_.on_check_changed(a.row, a.state); };
  h.on_list_right_click = [this](const EventArgs&) { queue_.on_list_right_click(); };
}

void Application::start_worker(std::function<void()> work) {
  // Counted here, before the thread exists, so that no observer can see 0
  // between the click and the worker's first step.
  running_workers_.fetch_add(1);
  const bool started = Shell::start_worker([this, work = std::move(work)] {
    work();
    // Counted until what it wrote is in the windows.
    shell_.controls().flush();
    running_workers_.fetch_sub(1);
  });
  if (!started) running_workers_.fetch_sub(1);
}

void Application::release_download_resources() {
  if (download_) download_->stop_task();
  download_.reset();
}

}  // namespace lumora
