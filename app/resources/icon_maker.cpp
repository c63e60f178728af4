// Makes the program's icon from its own OK-button bitmap: the button's middle square, scaled
// and with rounded corners on a transparent ground.
// usage: norvosms_icon_maker BUTTON_BMP OUTPUT_PNG SIZE
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const int size = argc == 4 ? std::atoi(argv[3]) : 0;
  if (size < 16 || size > 512) {
    std::fprintf(stderr, "usage: %s BUTTON_BMP OUTPUT_PNG SIZE(16..512)\n", argv[0]);
    return 2;
  }
  QImage button;
  if (!button.load(QString::fromLocal8Bit(argv[1]), "BMP")) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const int side = qMin(button.width(), button.height());
  QImage square = button.copy((button.width() - side) / 2, (button.height() - side) / 2, side, side)
                      .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QImage icon(size, size, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath outline;
  outline.addRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
  p.setClipPath(outline);
  p.drawImage(0, 0, square);
  p.end();
  if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
