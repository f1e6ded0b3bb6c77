// The shell's windows driven line by line from standard input, for tests
// and pictures that look at them from outside the program (a window
// manager, a screen grab). Commands:
//   move X Y    moves the Main window's frame to X, Y
//   open        opens the Track window
//   fill        writes sample rows, cells and a folder into both windows
//   shot PATH   saves the screen around both windows as a PNG
//   quit
// Each command is answered by one line: "main ID" once at start, then
// "track ID" after open, and "ok" after the others (IDs: the native window
// ids in hexadecimal).
#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <cstdio>
#include <iostream>
#include <string>

#include "lumora/app/fonts.h"
#include "lumora/app/shell.h"
#include "lumora/controls/control_names.h"
#include "lumora/text/code_page.h"

namespace {

using namespace lumora;

void answer(const std::string& line) {
  std::cout << line << std::endl;
}

std::string window_id(const QWidget* w) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(w->winId()));
  return text;
}

void fill(Controls& c) {
  const char8_t* albums[][3] = {{u8"心理罪之教化场", u8"有声书", u8"Lumora团队"},
                                {u8"心理罪之城市之光", u8"有声书", u8"Lumora团队"},
                                {u8"心理罪之暗河", u8"有声书", u8"Lumora团队"}};
  for (const auto& a : albums) {
    const int row = c.append_row(WindowId::main, kList);
    c.set_cell(WindowId::main, kList, row, 0, gbk(a[0]));
    c.set_cell(WindowId::main, kList, row, 2, gbk(a[1]));
    c.set_cell(WindowId::main, kList, row, 3, gbk(a[2]));
  }
  for (int i = 1; i <= 8; ++i) {
    const int row = c.append_row(WindowId::track, kList);
    c.set_cell(WindowId::track, kList, row, 1,
               gbk(u8"第") + std::to_string(i) + gbk(u8"集 教化场"));
    c.set_checked(WindowId::track, kList, row, true);
    if (i <= 3) c.set_cell(WindowId::track, kList, row, 3, gbk(u8"下载完成"));
  }
  c.set_cell(WindowId::track, kList, 3, 3, "36%-24KB");
  c.set_text(WindowId::track, kFolderBox, "/home/user/Music/");
}

bool run(Shell& shell, const std::string& line) {
  const auto space = line.find(' ');
  const std::string verb = line.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
  if (verb == "quit") {
    answer("ok");
    return false;
  }
  if (verb == "open") {
    shell.open_track_window();
    answer("track " + window_id(shell.track_window()));
    return true;
  }
  if (verb == "move") {
    int x = 0, y = 0;
    std::sscanf(rest.c_str(), "%d %d", &x, &y);
    shell.main_window()->move(x, y);
  } else if (verb == "fill") {
    fill(shell.controls());
  } else if (verb == "shot") {
    QRect both = shell.main_window()->frameGeometry();
    if (shell.track_window()) both |= shell.track_window()->frameGeometry();
    QScreen* screen = QApplication::primaryScreen();
    const QRect r = both.adjusted(-16, -16, 16, 16) & screen->geometry();
    screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(QString::fromStdString(rest));
  }
  answer("ok");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  prepare_fonts();
  ExitRoutines exits;
  Shell shell(exits);
  shell.show_main_window();
  answer("main " + window_id(shell.main_window()));
  QSocketNotifier input(0, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&shell] {
    std::string line;
    if (!std::getline(std::cin, line) || !run(shell, line)) QApplication::quit();
  });
  return QApplication::exec();
}
