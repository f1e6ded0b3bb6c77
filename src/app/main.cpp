// lumorafm: the downloader, against the platform's own hosts. Reads no
// environment or file of its own, and no command line but --version and
// --help, which it answers without a display.
#include <QApplication>

#include "lumora/app/application.h"
#include "lumora/app/command_line.h"
#include "lumora/app/fonts.h"

int main(int argc, char** argv) {
  if (const auto answered = lumora::answer_command_line(argc, argv)) return *answered;

  // 1. The windowing layer.
  QApplication app(argc, argv);
  lumora::prepare_fonts();
  lumora::ExitRoutines exits;

  // 2. The program-wide download objects and their release at exit, then
  // 3. the Main window; its "created" event styles the Album list.
  lumora::Application application(exits, lumora::PlatformEndpoints{});
  application.start();

  // 4. The message loop; it leaves when the last window has closed.
  QApplication::exec();

  // 5. Exit routines, then exit code 0.
  lumora::end_program(exits, 0);
}
