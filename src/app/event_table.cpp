#include "lumora/app/event_table.h"

namespace lumora {
namespace {

using enum WindowId;
using enum EventKind;

constexpr Binding kEventTable[] = {
    {main, u8"", created, &Handlers::style_album_list},
    {main, u8"图片框1", left_pressed, &Handlers::drag_main_window},
    {main, u8"解析1", clicked, &Handlers::end_program},
    {main, u8"解析", clicked, &Handlers::start_album_search},
    {main, u8"超级列表框1", double_clicked, &Handlers::open_album},
    {track, u8"", created, &Handlers::track_window_created},
    {track, u8"超级列表框1", check_changed, &Handlers::on_check_changed},
    {track, u8"超级列表框1", right_clicked, &Handlers::on_list_right_click},
    {track, u8"全部选中", chosen, &Handlers::check_all},
    {track, u8"取消选中", chosen, &Handlers::uncheck_all},
    {track, u8"按钮1", clicked, &Handlers::choose_download_folder},
    {track, u8"按钮_开始下载", clicked, &Handlers::start_download},
    {track, u8"按钮_停止下载", clicked, &Handlers::stop_download},
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
