// Dialog units to pixels for the templates' font, "MS Shell Dlg" 8 pt at 96 dpi (base units 6 × 13).
#pragma once

#include <QRect>

namespace dialog_units {

inline constexpr int kBaseX = 6;
inline constexpr int kBaseY = 13;

// Rounded as the platform's multiply-divide does.
constexpr int MulDivRound(int value, int numerator, int denominator) {
  long long product = static_cast<long long>(value) * numerator;
  long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

constexpr int ToPixelsX(int du) { return MulDivRound(du, kBaseX, 4); }
constexpr int ToPixelsY(int du) { return MulDivRound(du, kBaseY, 8); }

// A template rectangle (left, top, width, height in dialog units) in client pixels.
inline QRect ToPixels(int x, int y, int cx, int cy) {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(x + cx) - ToPixelsX(x), ToPixelsY(y + cy) - ToPixelsY(y));
}

}  // namespace dialog_units
