#include "lumora/app/event_table.h"

#include "lumora/controls/control_names.h"
namespace lumora {
namespace {

using enum WindowId;
using enum EventKind;

constexpr Binding kEventTable[] = {
    {main, u8"", created, &Handlers::style_album_list},
    {main, kTitlePicture, left_pressed, &Handlers::drag_main_window},
    {main, kCloseButton, clicked, &Handlers::end_program},
    {main, kSearchButton, clicked, &Handlers::start_album_search},
    {main, kList, double_clicked, &Handlers::open_album},
    {track, u8"", created, &Handlers::track_window_created},
    {track, kList, check_changed, &Handlers::on_check_changed},
    {track, kList, right_clicked, &Handlers::on_list_right_click},
    {track, kCheckAllItem, chosen, &Handlers::check_all},
    {track, kUncheckAllItem, chosen, &Handlers::uncheck_all},
    {track, kFolderButton, clicked, &Handlers::choose_download_folder},
    {track, kStartButton, clicked, &Handlers::start_download},
    {track, kStopButton, clicked, &Handlers::stop_download},
};

}  // namespace

std::span<const Binding> event_table() { return kEventTable; }

bool EventRouter::raise(WindowId window, ControlName control, EventKind event,
                        const EventArgs& args) const {
  for (const Binding& b : kEventTable) {
    if (b.window != window || b.control != control || b.event != event) continue;
    // A copy: the handler may replace its own slot while it runs.
    if (const Handler handler = handlers_.*b.handler) handler(args);
    return true;
  }
  return false;
}

}  // namespace lumora
