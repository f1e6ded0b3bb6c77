#include "lumora/app/application.h"

#include "lumora/catalogue/album_search.h"
#include "lumora/catalogue/track_listing.h"
#include "lumora/net/request_component.h"

namespace lumora {

Application::Application(ExitRoutines& exits, PlatformEndpoints endpoints)
    : endpoints_(std::move(endpoints)),
      task_param_(std::make_unique<TaskParam>()),
      download_(std::make_unique<Download>()),
      shell_(exits),
      queue_(shell_.controls(), shell_.checked_rows(), *task_param_, *download_) {
  // Before any worker thread can start.
  net_global_init();
  exits.add([this] { release_download_resources(); });
  bind_handlers();
}

void Application::bind_handlers() {
  Controls& controls = shell_.controls();
  shell_.set_worker_routines({
      .album_search = [&controls, e = endpoints_] { album_search_worker(controls, e); },
      .album_listing = [&controls, e = endpoints_] { track_listing_worker(controls, e); },
  });
  Handlers& h = shell_.handlers();
  h.start_download = [this](const EventArgs&) { queue_.start_download(); };
  h.stop_download = [this](const EventArgs&) { queue_.stop_download(); };
  h.check_all = [this](const EventArgs&) { queue_.check_all(); };
  h.on_check_changed = [this](const EventArgs& a) { queue_.on_check_changed(a.row, a.state); };
  h.on_list_right_click = [this](const EventArgs&) { queue_.on_list_right_click(); };
}

void Application::release_download_resources() {
  if (download_) download_->stop_task();
  download_.reset();
  task_param_.reset();
}

}  // namespace lumora
