#include "app/skin.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One pair read as base 16 up to its first non-hex character.
int ReadPair(std::string_view text, std::size_t at) {
  int value = 0;
  for (std::size_t i = at; i < at + 2 && i < text.size(); ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value & 0xFF;
}

constexpr int kTemplateFontPixels = 11;  // 8 pt at 96 dpi
constexpr int kMaxWeight = 1000;

}  // namespace

COLORREF HexToColor(std::string_view text) { return RGB(ReadPair(text, 1), ReadPair(text, 3), ReadPair(text, 5)); }

QColor ColorFromRef(COLORREF colour) { return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)); }

QPen FramePen(COLORREF colour) {
  QPen pen(QBrush(ColorFromRef(colour), Qt::SolidPattern), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  pen.setCosmetic(false);
  return pen;
}

QString SkinFontFamily() {
  static const QString family = [] {
    const QStringList installed = QFontDatabase::families();
    for (const char* wanted : {"돋움", "Dotum", "NanumGothic", "나눔고딕", "NanumBarunGothic"}) {
      QString name = QString::fromUtf8(wanted);
      if (installed.contains(name, Qt::CaseInsensitive)) return name;
    }
    for (const QString& name : QFontDatabase::families(QFontDatabase::Korean)) return name;
    return QFont().family();
  }();
  return family;
}

QFont SkinFont(int cellHeight, int weight) {
  QFont font(SkinFontFamily());
  font.setWeight(weight <= 0 ? QFont::Normal : static_cast<QFont::Weight>(std::min(weight, kMaxWeight)));
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  // The recipe gives the cell height; Qt sizes by the em, so shrink until the cell fits.
  int pixels = std::max(cellHeight, 1);
  font.setPixelSize(pixels);
  while (pixels > 1 && QFontMetrics(font).height() > cellHeight) font.setPixelSize(--pixels);
  return font;
}

QFont DialogTemplateFont() {
  QFont font(SkinFontFamily());
  font.setPixelSize(kTemplateFontPixels);
  return font;
}

const Skin& TheSkin() {
  static const Skin skin = [] {
    Skin s;
    s.headingFont = SkinFont(12, 1000);
    s.textFont = SkinFont(11, 0);
    s.linkFont = SkinFont(11, 0);
    s.outerFrame = ColorFromRef(HexToColor(skin_colour::kOuterFrame));
    s.editFrame = ColorFromRef(HexToColor(skin_colour::kEditFrame));
    s.editFill = ColorFromRef(HexToColor(skin_colour::kEditFill));
    s.separator = ColorFromRef(HexToColor(skin_colour::kSeparator));
    s.linkText = ColorFromRef(HexToColor(skin_colour::kLinkText));
    s.staticText = ColorFromRef(HexToColor(skin_colour::kStaticText));
    s.frameFill = ColorFromRef(HexToColor(skin_colour::kFrameFill));
    s.dialogFace = ColorFromRef(HexToColor(skin_colour::kDialogFace));
    s.tooltipBack = ColorFromRef(skin_colour::kTooltipBack);
    s.tooltipText = ColorFromRef(skin_colour::kTooltipText);
    return s;
  }();
  return skin;
}

void PaintFrameRect(QPainter& painter, COLORREF pen, const QColor& fill, int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), fill);
  // Outline as four filled runs, so the edge pixels are exactly those of the platform's rectangle.
  QColor edge = ColorFromRef(pen);
  painter.fillRect(QRect(left, top, right - left, 1), edge);
  painter.fillRect(QRect(left, bottom - 1, right - left, 1), edge);
  painter.fillRect(QRect(left, top, 1, bottom - top), edge);
  painter.fillRect(QRect(right - 1, top, 1, bottom - top), edge);
  painter.restore();
}

void PaintFrameLine(QPainter& painter, COLORREF pen, int x1, int y1, int x2, int y2) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  QColor colour = ColorFromRef(pen);
  if (y1 == y2) {
    if (x1 != x2) painter.fillRect(QRect(std::min(x1, x2 + 1), y1, std::abs(x2 - x1), 1), colour);
  } else if (x1 == x2) {
    painter.fillRect(QRect(x1, std::min(y1, y2 + 1), 1, std::abs(y2 - y1)), colour);
  } else {
    painter.setPen(FramePen(pen));
    painter.drawLine(x1, y1, x2, y2);
  }
  painter.restore();
}
