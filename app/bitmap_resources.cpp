#include "app/bitmap_resources.h"

#include <QFile>

QString BitmapResourcePath(int id) { return QStringLiteral(":/bitmaps/%1.bmp").arg(id); }

QImage LoadBitmapImage(int id) {
  QString path = BitmapResourcePath(id);
  if (!QFile::exists(path)) return {};
  return QImage(path, "BMP");
}

QPixmap LoadBitmapResource(int id) {
  QImage image = LoadBitmapImage(id);
  return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}
