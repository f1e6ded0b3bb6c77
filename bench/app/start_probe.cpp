// lumorafm-start-probe LAUNCH_NS: runs the program's start sequence and, at
// the Main window's first paint, prints the milliseconds since LAUNCH_NS
// (CLOCK_REALTIME nanoseconds taken by the launcher just before exec) and the
// resident set size, then ends.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "lumora/app/exit_routines.h"
#include "lumora/app/fonts.h"
#include "lumora/app/shell.h"

namespace {

long rss_kib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(long long launch_ns) : launch_ns_(launch_ns) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      const double ms =
          (std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() - launch_ns_) / 1e6;
      std::printf("start_to_shown_ms %.1f\n", ms);
      // Let the window settle (strip animation running) before reading memory.
      QTimer::singleShot(1000, [] {
        std::printf("rss_after_start_mib %.1f\n", rss_kib() / 1024.0);
        QApplication::quit();
      });
    }
    return false;
  }

 private:
  long long launch_ns_;
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const long long launch_ns = argc > 1 ? std::atoll(argv[1]) : 0;
  QApplication app(argc, argv);
  lumora::prepare_fonts();
  lumora::ExitRoutines exits;
  lumora::Shell shell(exits);
  FirstPaint probe(launch_ns);
  shell.show_main_window();
  shell.main_window()->installEventFilter(&probe);
  QApplication::exec();
  return 0;
}
