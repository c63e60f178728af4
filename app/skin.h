// The skin shared by the dialogs: colour texts, pens, fonts and painted frames.
#pragma once

#include <windows.h>

#include <QColor>
#include <QFont>
#include <QPen>
#include <string_view>

class QPainter;

// "#rrggbb" to a colour value (red in the lowest byte). Position 0 is skipped unchecked; each pair
// is read as base 16 up to its first non-hex character, so a bad pair gives its valid leading
// part or 0. Short texts read as if cut off there.
COLORREF HexToColor(std::string_view text);

QColor ColorFromRef(COLORREF colour);

// The skin's colours, as the colour texts the dialogs use.
namespace skin_colour {
inline constexpr const char* kOuterFrame = "#cccccc";  // outer frames of the login dialog and notice
inline constexpr const char* kEditFrame = "#c8c8c8";
inline constexpr const char* kEditFill = "#f5f5f5";  // edit fill and edit text background
inline constexpr const char* kSeparator = "#ebebeb";
inline constexpr const char* kLinkText = "#004ab6";
inline constexpr const char* kStaticText = "#000000";
inline constexpr const char* kFrameFill = "#ffffff";   // frame fill, static text background
inline constexpr const char* kDialogFace = "#f0f0f0";  // the dialogs' own background outside frames
inline constexpr COLORREF kTooltipBack = RGB(255, 255, 210);
inline constexpr COLORREF kTooltipText = RGB(93, 93, 93);
}  // namespace skin_colour

// Geometric pen, solid, width 1, flat end caps, mitre joins.
QPen FramePen(COLORREF colour);

// The font recipe: cell height in pixels (internal leading included), weight 0 (normal) to 1000.
// Face "돋움"; where it is missing, an installed Korean font (NanumGothic first).
QFont SkinFont(int cellHeight, int weight);
QString SkinFontFamily();

// The dialog templates' own font, "MS Shell Dlg" 8 pt at 96 dpi, in the skin's Korean face.
QFont DialogTemplateFont();

// Everything the dialogs paint and write with, built once on first use (needs the GUI application).
struct Skin {
  QFont headingFont;  // height 12, weight 1000; also the bold font
  QFont textFont;     // height 11, weight 0
  QFont linkFont;     // same as the text font
  QColor outerFrame, editFrame, editFill, separator, linkText, staticText, frameFill, dialogFace;
  QColor tooltipBack, tooltipText;
};
const Skin& TheSkin();

// The platform's rectangle: outline in the pen's colour on the edge pixels, right and bottom
// exclusive, the inside filled.
void PaintFrameRect(QPainter& painter, COLORREF pen, const QColor& fill, int left, int top, int right, int bottom);
// The platform's line: from the first point up to, not including, the last.
void PaintFrameLine(QPainter& painter, COLORREF pen, int x1, int y1, int x2, int y2);
