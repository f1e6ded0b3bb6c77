// PNG pictures decoded with libpng's simplified API.
#pragma once

#include <QByteArray>
#include <QImage>

namespace lumora {

// A null image when the bytes are not a PNG libpng can read.
QImage decode_png(const QByteArray& bytes);

}  // namespace lumora
