#include "lumora/ui/png_image.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include "lumora/test_support/qt_app.h"

namespace lumora {
namespace {

QByteArray png_bytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

TEST(PngImage, DecodesColourAndAlphaExactly) {
  test::qt_app();
  QImage source(3, 2, QImage::Format_RGBA8888);
  source.fill(QColor(10, 20, 30, 255));
  source.setPixelColor(1, 0, QColor(200, 100, 50, 128));
  source.setPixelColor(2, 1, QColor(0, 0, 0, 0));
  const QImage decoded = decode_png(png_bytes(source));
  ASSERT_EQ(decoded.size(), QSize(3, 2));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(decoded.pixelColor(x, y), source.pixelColor(x, y)) << x << "," << y;
}

TEST(PngImage, RejectsWhatIsNotAWholePng) {
  test::qt_app();
  QImage source(16, 16, QImage::Format_RGBA8888);
  source.fill(Qt::red);
  const QByteArray good = png_bytes(source);
  const QByteArray cases[] = {QByteArray(), QByteArray("not a picture"), good.left(8),
                              good.left(good.size() / 2)};
  for (const QByteArray& bytes : cases) EXPECT_TRUE(decode_png(bytes).isNull()) << bytes.size();
}

}  // namespace
}  // namespace lumora
