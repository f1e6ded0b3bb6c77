#include "lumora/app/artwork.h"

#include <QFile>

#include "lumora/ui/png_image.h"

namespace lumora {

QPixmap art_picture(const QString& name) {
  QFile file(QStringLiteral(":/art/") + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QPixmap::fromImage(decode_png(file.readAll()));
}

QMovie* strip_movie(QObject* parent) {
  auto* movie = new QMovie(QStringLiteral(":/art/strip.gif"), "gif", parent);
  movie->setCacheMode(QMovie::CacheAll);
  movie->start();
  return movie;
}

}  // namespace lumora
