#include "lumora/app/shell.h"

#include <QScreen>
#include <QWindow>
#include <system_error>
#include <thread>

#include "lumora/app/list_style.h"
#include "lumora/app/main_window.h"
#include "lumora/app/open_beside.h"
#include "lumora/app/program_paths.h"
#include "lumora/app/track_window.h"
#include "lumora/app/window_placement.h"
#include "lumora/ui/accessible.h"
#include "lumora/ui/list_view.h"

namespace lumora {
namespace {

// Leaves room beside the Main window for the Track window, where a window
// manager would centre it alone. The Track window's frame is not known yet:
// its client size stands in.
void move_to_first_place(QWidget* main) {
  const QScreen* screen = main->screen();
  if (!screen) return;
  main->move(place_first_of_pair(main->frameGeometry().size(),
                                 {kTrackClientWidth, kTrackClientHeight},
                                 screen->availableGeometry()));
}

}  // namespace

Shell::Shell(ExitRoutines& exits) : exits_(exits) {
  install_accessibility();
  bind_own_handlers();
}

Shell::~Shell() {
  // The windows' connections point at router_: they go first.
  delete track_.data();
  delete main_.data();
}

void Shell::bind_own_handlers() {
  Handlers& h = router_.handlers();
  h.style_album_list = [this](const EventArgs&) {
    if (main_) style_album_list(main_, main_->findChild<ListView*>(QStringLiteral("超级列表框1")));
  };
  h.drag_main_window = [this](const EventArgs&) {
    if (main_ && main_->windowHandle()) main_->windowHandle()->startSystemMove();
  };
  h.end_program = [this](const EventArgs&) { end_program(exits_, 0); };
  h.start_album_search = [this](const EventArgs&) { start_worker(workers_.album_search); };
  h.open_album = [this](const EventArgs&) {
    open_track_window();
    start_worker(workers_.album_listing);
  };
  h.uncheck_all = [this](const EventArgs&) { uncheck_all(controls_, checked_rows_); };
  h.choose_download_folder = [this](const EventArgs&) {
    choose_download_folder(controls_, folder_dialog_, program_directory());
  };
}

void Shell::show_main_window() {
  if (main_) return;
  main_ = build_main_window(router_);
  controls_.attach(WindowId::main, main_);
  router_.raise(WindowId::main, u8"", EventKind::created);
  move_to_first_place(main_);
  main_->show();
}

void Shell::open_track_window() {
  if (track_) return;
  track_ = build_track_window(router_, home_folder());
  controls_.attach(WindowId::track, track_);
  router_.raise(WindowId::track, u8"", EventKind::created);
  show_beside(track_, main_);
}

bool Shell::start_worker(const std::function<void()>& routine) {
  if (!routine) return false;
  try {
    std::thread(routine).detach();
    return true;
  } catch (const std::system_error&) {
    // A thread that cannot start is not reported; the handler just ends.
    return false;
  }
}

}  // namespace lumora
