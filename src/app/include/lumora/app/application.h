// The whole program wired together: the program-wide download objects, the
// shell with its windows and event table, the catalogue workers and the
// download walk, all bound to the platform at `endpoints`.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "lumora/app/exit_routines.h"
#include "lumora/app/shell.h"
#include "lumora/catalogue/endpoints.h"
#include "lumora/download/download.h"
#include "lumora/queue/download_queue.h"

namespace lumora {

class Application {
 public:
  // UI thread, after QApplication and prepare_fonts(). Creates the Download
  // object and registers its release with `exits`.
  Application(ExitRoutines& exits, PlatformEndpoints endpoints);
  // Stops a task still running, whose events would reach the queue.
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Shows the Main window.
  void start() { shell_.show_main_window(); }

  Shell& shell() { return shell_; }
  DownloadQueue& queue() { return queue_; }

  // Stops a running task and frees the Download object; runs at exit.
  void release_download_resources();

  // Search and listing workers running, each counted from its click until
  // its last write has reached the windows. Workers are never joined: a test that has seen
  // a worker act waits for 0 before it lets the windows go.
  int running_workers() const { return running_workers_.load(); }

 private:
  void bind_handlers();
  // Runs `work` on a detached worker thread, counted in running_workers().
  void start_worker(std::function<void()> work);

  const PlatformEndpoints endpoints_;
  std::unique_ptr<Download> download_;
  Shell shell_;
  DownloadQueue queue_;
  std::atomic<int> running_workers_{0};
};

}  // namespace lumora
