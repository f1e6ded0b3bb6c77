// lumorafm-screenshots OUTDIR: renders both windows with a few sample rows
// and saves what the X server shows of them (run under Xvfb, see
// docs/render_screenshots.sh).
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "lumora/app/exit_routines.h"
#include "lumora/app/fonts.h"
#include "lumora/app/shell.h"
#include "lumora/controls/control_names.h"
#include "lumora/text/code_page.h"

namespace {

using lumora::gbk;
using lumora::kList;
using lumora::WindowId;

void fill_samples(lumora::Controls& c) {
  const char8_t* albums[][3] = {{u8"心理罪：城市之光（多人有声剧）", u8"悬疑", u8"声音工作室"},
                                {u8"心理罪 第一季", u8"有声书", u8"午夜电台"},
                                {u8"心理罪之画像", u8"广播剧", u8"夜读者"}};
  for (const auto& a : albums) {
    const int row = c.append_row(WindowId::main, kList);
    c.set_cell(WindowId::main, kList, row, 0, gbk(a[0]));
    c.set_cell(WindowId::main, kList, row, 1, "1000" + std::to_string(row));
    c.set_cell(WindowId::main, kList, row, 2, gbk(a[1]));
    c.set_cell(WindowId::main, kList, row, 3, gbk(a[2]));
  }
  for (int i = 1; i <= 6; ++i) {
    const int row = c.append_row(WindowId::track, kList);
    c.set_cell(WindowId::track, kList, row, 1,
               gbk(u8"第") + std::to_string(i) + gbk(u8"集 城市之光"));
    c.set_cell(WindowId::track, kList, row, 2, "http://127.0.0.1/a.mp3");
    if (i <= 2) c.set_checked(WindowId::track, kList, row, true);
  }
  c.set_cell(WindowId::track, kList, 0, 3, gbk(u8"下载完成"));
  c.set_cell(WindowId::track, kList, 1, 3, "37%-85KB");
}

bool save(QWidget* w, const QString& path) {
  const QRect r = w->frameGeometry();
  return QApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height())
      .save(path);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: lumorafm-screenshots OUTDIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  lumora::prepare_fonts();
  lumora::ExitRoutines exits;
  lumora::Shell shell(exits);
  shell.show_main_window();
  shell.main_window()->move(10, 10);
  shell.open_track_window();
  shell.track_window()->move(640, 10);
  fill_samples(shell.controls());
  int status = 0;
  // Time for the windows to be exposed and the strip to move on.
  QTimer::singleShot(600, [&] {
    if (!save(shell.main_window(), out + "/main_window.png")) status = 1;
    if (!save(shell.track_window(), out + "/track_window.png")) status = 1;
    QApplication::quit();
  });
  QApplication::exec();
  return status;
}
