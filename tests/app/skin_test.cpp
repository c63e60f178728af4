#include "app/bitmap_resources.h"
#include "app/resources/bmp_writer.h"
#include "app/skin.h"
#include "tests/app/qt_test_app.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

TEST(HexToColor, ReadsThePairsAsRedGreenBlue) {
  COLORREF grey = HexToColor("#f5f5f5");
  EXPECT_EQ(GetRValue(grey), 245);
  EXPECT_EQ(GetGValue(grey), 245);
  EXPECT_EQ(GetBValue(grey), 245);
  EXPECT_EQ(HexToColor("#004ab6"), 0xB64A00u);
  EXPECT_EQ(HexToColor("#004AB6"), 0xB64A00u);
  EXPECT_EQ(HexToColor("#ffffff"), 0xFFFFFFu);
  EXPECT_EQ(HexToColor("#000000"), 0u);
}

TEST(HexToColor, SkipsTheFirstCharacterUnchecked) {
  EXPECT_EQ(HexToColor("x004ab6"), 0xB64A00u);
  EXPECT_EQ(HexToColor("0123456"), RGB(0x12, 0x34, 0x56));
}

TEST(HexToColor, BadPairsCountTheirValidLeadingPart) {
  EXPECT_EQ(HexToColor("#zz1234"), RGB(0, 0x12, 0x34));
  EXPECT_EQ(HexToColor("#1z2y3x"), RGB(1, 2, 3));
  EXPECT_EQ(HexToColor("#-1+1 1"), RGB(0, 0, 0));
}

TEST(HexToColor, ShortOrEmptyTextsDoNotReadPastTheEnd) {
  EXPECT_EQ(HexToColor(""), 0u);
  EXPECT_EQ(HexToColor("#"), 0u);
  EXPECT_EQ(HexToColor("#ab"), RGB(0xab, 0, 0));
  EXPECT_EQ(HexToColor("#abc"), RGB(0xab, 0x0c, 0));
  EXPECT_EQ(HexToColor(std::string_view("#12\0"
                                        "456",
                                        7)),
            RGB(0x12, 0, 0x56));
}

TEST(Skin, FontsUseAKoreanFaceWithTheRecipeCellHeight) {
  TestApplication();
  const Skin& skin = TheSkin();
  EXPECT_TRUE(QFontMetrics(skin.headingFont).inFont(QChar(0xD655)));  // 확
  EXPECT_LE(QFontMetrics(skin.headingFont).height(), 12);
  EXPECT_LE(QFontMetrics(skin.textFont).height(), 11);
  EXPECT_GE(QFontMetrics(skin.textFont).height(), 8);
  EXPECT_GT(QFontInfo(skin.headingFont).weight(), QFontInfo(skin.textFont).weight());
  EXPECT_EQ(skin.linkFont, skin.textFont);
  EXPECT_EQ(skin.linkText, QColor(0, 0x4a, 0xb6));
  EXPECT_EQ(skin.tooltipBack, QColor(255, 255, 210));
  EXPECT_EQ(skin.tooltipText, QColor(93, 93, 93));
}

TEST(Skin, FrameRectAndLineCoverThePlatformsPixels) {
  TestApplication();
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::black);
  {
    QPainter p(&image);
    PaintFrameRect(p, HexToColor("#cccccc"), Qt::white, 2, 3, 20, 15);
    PaintFrameLine(p, HexToColor("#ebebeb"), 5, 25, 30, 25);
  }
  const QRgb frame = qRgb(0xcc, 0xcc, 0xcc);
  EXPECT_EQ(image.pixel(2, 3), frame);
  EXPECT_EQ(image.pixel(19, 14), frame);  // right and bottom edges are exclusive
  EXPECT_EQ(image.pixel(19, 3), frame);
  EXPECT_EQ(image.pixel(2, 14), frame);
  EXPECT_EQ(image.pixel(20, 15), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(20, 3), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(3, 4), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(18, 13), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(5, 25), qRgb(0xeb, 0xeb, 0xeb));
  EXPECT_EQ(image.pixel(29, 25), qRgb(0xeb, 0xeb, 0xeb));
  EXPECT_EQ(image.pixel(30, 25), qRgb(0, 0, 0));  // the last point is not drawn
  EXPECT_EQ(image.pixel(5, 24), qRgb(0, 0, 0));
}

struct BitmapSize {
  int id, width, height;
};

TEST(Bitmaps, EachNumberIsA24BitBitmapOfItsSize) {
  TestApplication();
  const BitmapSize sizes[] = {{165, 83, 77}, {166, 83, 77}, {167, 83, 77}, {168, 69, 17}, {170, 14, 14}, {305, 83, 39},
                              {306, 83, 39}, {307, 83, 39}, {308, 83, 39}, {309, 83, 39}, {310, 83, 39}};
  for (const BitmapSize& s : sizes) {
    SCOPED_TRACE(s.id);
    QFile file(BitmapResourcePath(s.id));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24);  // bits per pixel
    QPixmap pixmap = LoadBitmapResource(s.id);
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(s.width, s.height));
    EXPECT_TRUE(SaveScreenshot(pixmap.toImage(), QStringLiteral("bitmap_%1").arg(s.id)));
  }
  EXPECT_TRUE(LoadBitmapResource(169).isNull());
  EXPECT_TRUE(LoadBitmapImage(-1).isNull());
}

double MeanLightness(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) sum += QColor(image.pixel(x, y)).lightnessF();
  return sum / (image.width() * image.height());
}

double MeanBlueExcess(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) sum += qBlue(image.pixel(x, y)) - qRed(image.pixel(x, y));
  return sum / (image.width() * image.height());
}

TEST(Bitmaps, ThreeLooksAreLighterWhenHoveredAndDarkerWhenPressed) {
  TestApplication();
  for (int first : {165, 305, 308}) {
    SCOPED_TRACE(first);
    double normal = MeanLightness(Rgb(LoadBitmapImage(first)));
    EXPECT_GT(MeanLightness(Rgb(LoadBitmapImage(first + 1))), normal);
    EXPECT_LT(MeanLightness(Rgb(LoadBitmapImage(first + 2))), normal);
  }
  EXPECT_GT(MeanBlueExcess(Rgb(LoadBitmapImage(305))), 40);            // blue
  EXPECT_LT(std::abs(MeanBlueExcess(Rgb(LoadBitmapImage(308)))), 20);  // grey
}

TEST(BmpWriter, WritesBottomUpBgrRowsPaddedToFourBytes) {
  QImage image(2, 2, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(1, 2, 3));
  image.setPixel(1, 0, qRgb(4, 5, 6));
  image.setPixel(0, 1, qRgb(7, 8, 9));
  image.setPixel(1, 1, qRgb(10, 11, 12));
  QByteArray bmp = EncodeBmp24(image);
  ASSERT_EQ(bmp.size(), 54 + 2 * 8);
  EXPECT_EQ(bmp.mid(54, 8), QByteArray("\x09\x08\x07\x0c\x0b\x0a\x00\x00", 8));  // bottom row first
  EXPECT_EQ(bmp.mid(62, 8), QByteArray("\x03\x02\x01\x06\x05\x04\x00\x00", 8));
  QImage back;
  ASSERT_TRUE(back.loadFromData(bmp, "BMP"));
  EXPECT_EQ(Rgb(back), image);
  EXPECT_TRUE(EncodeBmp24(QImage()).isEmpty());
}

}  // namespace
