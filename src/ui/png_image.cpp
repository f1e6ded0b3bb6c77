#include "lumora/ui/png_image.h"

#include <png.h>

#include <cstring>

namespace lumora {

QImage decode_png(const QByteArray& bytes) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.constData(),
                                        static_cast<std::size_t>(bytes.size())))
    return {};
  image.format = PNG_FORMAT_RGBA;
  QImage out(static_cast<int>(image.width), static_cast<int>(image.height),
             QImage::Format_RGBA8888);
  if (out.isNull()) {
    png_image_free(&image);
    return {};
  }
  // QImage pads rows to 4 bytes; RGBA rows are already a multiple of 4.
  if (!png_image_finish_read(&image, nullptr, out.bits(), out.bytesPerLine(), nullptr)) {
    png_image_free(&image);
    return {};
  }
  return out;
}

}  // namespace lumora
