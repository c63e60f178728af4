// Paints the program's bitmaps and writes them as 24-bit BMP files named <id>.bmp.
// usage: norvosms_bitmap_painter OUTPUT_FOLDER
#include "app/resources/bmp_writer.h"
#include "app/skin.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

enum class Look { Normal, Hover, Pressed };

struct ButtonColours {
  QColor normal, hover, pressed;
};

const ButtonColours kBlue{QColor("#1e64c8"), QColor("#3c82e2"), QColor("#114a9e")};
const ButtonColours kGrey{QColor("#8a8f96"), QColor("#a4a9af"), QColor("#6b7076")};
const QColor kWhite("#ffffff");

QFont LabelFont(int pixels, bool bold) {
  QFont font(SkinFontFamily());
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

// A rounded button on white: lighter when hovered, darker and pressed in when held.
void PaintButton(QImage& image, const ButtonColours& colours, Look look, const QString& label, int labelPixels) {
  QColor base = look == Look::Hover ? colours.hover : look == Look::Pressed ? colours.pressed : colours.normal;
  image.fill(kWhite);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QRectF body(0.5, 0.5, image.width() - 1.0, image.height() - 1.0);
  QLinearGradient fill(body.topLeft(), body.bottomLeft());
  if (look == Look::Pressed) {
    fill.setColorAt(0, base.darker(115));
    fill.setColorAt(1, base);
  } else {
    fill.setColorAt(0, base.lighter(112));
    fill.setColorAt(1, base.darker(108));
  }
  QPainterPath outline;
  outline.addRoundedRect(body, 4, 4);
  p.fillPath(outline, fill);
  p.setPen(QPen(base.darker(135), 1));
  p.drawPath(outline);
  if (look != Look::Pressed) {
    // A thin highlight under the top edge gives the raised look.
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(4, 1.5), QPointF(image.width() - 4, 1.5));
  }
  p.setFont(LabelFont(labelPixels, true));
  p.setPen(kWhite);
  QRect text = image.rect();
  if (look == Look::Pressed) text.translate(1, 1);
  p.drawText(text, Qt::AlignCenter, label);
}

// A person (head and shoulders) followed by the label, on the dialogs' face colour.
void PaintAccountSettings(QImage& image) {
  image.fill(ColorFromRef(HexToColor(skin_colour::kDialogFace)));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor figure("#6b6b6b");
  p.setPen(Qt::NoPen);
  p.setBrush(figure);
  p.drawEllipse(QPointF(7.5, 5.0), 3.4, 3.4);
  QPainterPath shoulders;
  shoulders.moveTo(1.5, 16.5);
  shoulders.cubicTo(1.5, 10.0, 13.5, 10.0, 13.5, 16.5);
  shoulders.closeSubpath();
  p.drawPath(shoulders);
  p.setFont(LabelFont(12, true));
  p.setPen(QColor("#333333"));
  p.drawText(QRect(18, 0, image.width() - 18, image.height()), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromUtf8("계정설정"));
}

void PaintHelp(QImage& image) {
  image.fill(QColor("#a0a0a0"));
  QPainter p(&image);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setPen(QColor("#8c8c8c"));
  p.drawRect(0, 0, image.width() - 1, image.height() - 1);
  p.setFont(LabelFont(11, true));
  p.setPen(kWhite);
  p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("?"));
}

struct BitmapRecipe {
  int id;
  int width;
  int height;
  std::function<void(QImage&)> paint;
};

std::function<void(QImage&)> Button(const ButtonColours& colours, Look look, const char* label, int pixels) {
  return [&colours, look, label, pixels](QImage& image) {
    PaintButton(image, colours, look, QString::fromUtf8(label), pixels);
  };
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  const BitmapRecipe recipes[] = {
      {165, 83, 77, Button(kBlue, Look::Normal, "확인", 18)},
      {166, 83, 77, Button(kBlue, Look::Hover, "확인", 18)},
      {167, 83, 77, Button(kBlue, Look::Pressed, "확인", 18)},
      {168, 69, 17, PaintAccountSettings},
      {170, 14, 14, PaintHelp},
      {305, 83, 39, Button(kBlue, Look::Normal, "자세히 보기", 13)},
      {306, 83, 39, Button(kBlue, Look::Hover, "자세히 보기", 13)},
      {307, 83, 39, Button(kBlue, Look::Pressed, "자세히 보기", 13)},
      {308, 83, 39, Button(kGrey, Look::Normal, "닫기", 13)},
      {309, 83, 39, Button(kGrey, Look::Hover, "닫기", 13)},
      {310, 83, 39, Button(kGrey, Look::Pressed, "닫기", 13)},
  };
  for (const BitmapRecipe& recipe : recipes) {
    QImage image(recipe.width, recipe.height, QImage::Format_RGB32);
    recipe.paint(image);
    QString path = folder + QStringLiteral("/%1.bmp").arg(recipe.id);
    if (!WriteBmp24(image, path)) {
      std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
