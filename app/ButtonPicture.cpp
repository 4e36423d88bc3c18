#include "app/ButtonPicture.h"

#include <QImage>
#include <QPixmap>

QIcon ButtonPicture(const QString& resource) {
  QImage image(resource);
  if (image.isNull())
    return QIcon();
  image = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb transparent = image.pixel(0, image.height() - 1);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (line[x] == transparent)
        line[x] = qRgba(0, 0, 0, 0);
    }
  }
  const int half = image.width() / 2;
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(image.copy(0, 0, half, image.height())), QIcon::Normal);
  icon.addPixmap(QPixmap::fromImage(image.copy(half, 0, half, image.height())), QIcon::Disabled);
  return icon;
}
