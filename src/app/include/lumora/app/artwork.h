// The program's own artwork, embedded in the binary (drawn by art/draw_art.py).
#pragma once

#include <QMovie>
#include <QPixmap>
#include <QString>

namespace lumora {

// A PNG of the art folder by file name, e.g. "title.png"; null when missing.
QPixmap art_picture(const QString& name);
// The 12-frame strip animation, started; owned by `parent`.
QMovie* strip_movie(QObject* parent);

}  // namespace lumora
