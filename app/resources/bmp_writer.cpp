#include "app/resources/bmp_writer.h"

#include <QFile>

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kPixelsPerMetre = 3780;  // 96 dpi

void Put16(QByteArray& out, quint16 v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>(v >> 8));
}

void Put32(QByteArray& out, quint32 v) {
  for (int shift = 0; shift < 32; shift += 8) out.append(static_cast<char>((v >> shift) & 0xFF));
}

}  // namespace

QByteArray EncodeBmp24(const QImage& source) {
  if (source.isNull()) return {};
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const quint32 width = static_cast<quint32>(image.width());
  const quint32 height = static_cast<quint32>(image.height());
  const quint32 rowBytes = (width * 3 + 3) & ~3u;
  const quint32 pixelBytes = rowBytes * height;
  QByteArray out;
  out.reserve(static_cast<int>(kFileHeaderSize + kInfoHeaderSize + pixelBytes));
  out.append("BM", 2);
  Put32(out, kFileHeaderSize + kInfoHeaderSize + pixelBytes);
  Put32(out, 0);
  Put32(out, kFileHeaderSize + kInfoHeaderSize);
  Put32(out, kInfoHeaderSize);
  Put32(out, width);
  Put32(out, height);  // positive: bottom row first
  Put16(out, 1);       // planes
  Put16(out, 24);      // bits per pixel
  Put32(out, 0);       // BI_RGB
  Put32(out, pixelBytes);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = image.height() - 1; y >= 0; --y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (quint32 x = 0; x < width; ++x) {
      out.append(static_cast<char>(qBlue(line[x])));
      out.append(static_cast<char>(qGreen(line[x])));
      out.append(static_cast<char>(qRed(line[x])));
    }
    for (quint32 pad = width * 3; pad < rowBytes; ++pad) out.append('\0');
  }
  return out;
}

bool WriteBmp24(const QImage& image, const QString& path) {
  QByteArray bytes = EncodeBmp24(image);
  if (bytes.isEmpty()) return false;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(bytes) == bytes.size() && file.flush();
}
