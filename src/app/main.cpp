// lumorafm: the downloader's two windows. Reads no command line of its own.
#include <QApplication>

#include "lumora/app/exit_routines.h"
#include "lumora/app/fonts.h"
#include "lumora/app/shell.h"

int main(int argc, char** argv) {
  // 1. The windowing layer.
  QApplication app(argc, argv);
  lumora::prepare_fonts();
  lumora::ExitRoutines exits;

  // 2. Program-wide download objects: the TaskParam record (with its defaults)
  //    and the Download object are created here, and the routine that
  //    releases them is registered with exits.add(...). They come with the
  //    download engine and the queue.

  // 3. The Main window; its "created" event styles the Album list.
  lumora::Shell shell(exits);
  shell.show_main_window();

  // 4. The message loop; it leaves when the last window has closed.
  QApplication::exec();

  // 5. Exit routines, then exit code 0.
  lumora::end_program(exits, 0);
}
