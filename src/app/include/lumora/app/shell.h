// The application shell: the two windows, the event table's own handlers,
// worker threads and the program-wide list state.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "lumora/app/event_table.h"
#include "lumora/app/exit_routines.h"
#include "lumora/app/list_commands.h"
#include "lumora/ui/qt_controls.h"

namespace lumora {

// The routines the search button and an album double-click start on worker
// threads. Empty ones start nothing.
struct WorkerRoutines {
  std::function<void()> album_search;
  std::function<void()> album_listing;
};

// Lives on the UI thread for the whole run; create it after QApplication
// and prepare_fonts(). Owns the windows it creates.
class Shell {
 public:
  explicit Shell(ExitRoutines& exits);
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // The handler slots bound by the event table. The shell fills its own
  // (styling, drag, end, search, open album, uncheck all, folder); the rest
  // are for the modules that serve them.
  Handlers& handlers() { return router_.handlers(); }
  QtControls& controls() { return controls_; }
  CheckedRowCounter& checked_rows() { return checked_rows_; }
  void set_worker_routines(WorkerRoutines routines) { workers_ = std::move(routines); }
  // Replaces the folder chooser's dialog (tests).
  void set_folder_dialog(FolderDialog dialog) { folder_dialog_ = std::move(dialog); }

  // Creates the Main window, raises its "created" event and shows it.
  void show_main_window();
  // Creates and shows the Track window when it does not exist; otherwise
  // leaves it as it is.
  void open_track_window();
  QWidget* main_window() const { return main_; }
  QWidget* track_window() const { return track_; }

  // Runs `routine` on a new detached thread; returns at once. False when no
  // thread could be made (not reported to the user).
  static bool start_worker(const std::function<void()>& routine);

 private:
  void bind_own_handlers();

  ExitRoutines& exits_;
  EventRouter router_;
  QtControls controls_;
  CheckedRowCounter checked_rows_;
  WorkerRoutines workers_;
  FolderDialog folder_dialog_ = show_folder_dialog;
  QPointer<QWidget> main_;
  QPointer<QWidget> track_;
};

}  // namespace lumora
