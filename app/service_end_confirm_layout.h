// Template 293, the service-end notice: control numbers, texts, places and sizes in one table.
#pragma once

#include "app/bitmap_resources.h"

namespace service_end_confirm_layout {

inline constexpr int kTemplateId = 293;
inline constexpr const char* kCaption = "메시징(SMS 호스팅) PC 앱 종료 안내";
inline constexpr int kWidthDu = 303;
inline constexpr int kHeightDu = 139;

inline constexpr int IDC_STATIC = -1;  // texts without a number of their own
inline constexpr int IDC_SERVICE_NAME = 1196;
inline constexpr int IDC_ENDED_MESSAGE = 1211;
inline constexpr int IDC_END_DATE = 1200;
inline constexpr int IDC_DETAILS_TEXT = 1201;
inline constexpr int IDC_DETAILS_BUTTON = 1;  // IDOK
inline constexpr int IDC_CLOSE_BUTTON = 8;

enum class TextFont { Dialog, Bold };

// Places and sizes in dialog units, in template order.
struct StaticText {
  int id;
  const char* text;
  int x, y, cx, cy;
  TextFont font;
};

inline constexpr StaticText kTexts[] = {
    {IDC_SERVICE_NAME, "메시징(SMS 호스팅)", 19, 22, 65, 13, TextFont::Dialog},
    {IDC_ENDED_MESSAGE, "PC앱 서비스가 종료되어 로그인할 수 없습니다.", 88, 22, 208, 13, TextFont::Bold},
    {IDC_END_DATE, "2024년 3월 28일 (목) 14:00", 82, 46, 186, 13, TextFont::Bold},
    {IDC_STATIC, "▶ 서비스 종료일 :", 19, 46, 62, 13, TextFont::Dialog},
    {IDC_STATIC, "자세한 내용은 아래", 19, 71, 67, 13, TextFont::Dialog},
    {IDC_DETAILS_TEXT, "[자세히 보기]", 86, 71, 58, 13, TextFont::Bold},
    {IDC_STATIC, "버튼을 클릭하여 확인해 주시기 바랍니다.", 143, 71, 141, 13, TextFont::Dialog},
};

// Template place in dialog units, then the place, size and bitmaps it gets at run time in pixels.
struct HoverButtonPlace {
  int id;
  const char* text;
  int x, y, cx, cy;
  int pixelX, pixelY, pixelWidth, pixelHeight;
  int normalBitmap, pressedBitmap, hoverBitmap;
};

inline constexpr HoverButtonPlace kDetailsButton = {
    IDC_DETAILS_BUTTON,      "확인", 105, 92, 50, 14, 143, 156, 83, 39, IDB_NOTICE_DETAILS, IDB_NOTICE_DETAILS_PRESSED,
    IDB_NOTICE_DETAILS_HOVER};
inline constexpr HoverButtonPlace kCloseButton = {
    IDC_CLOSE_BUTTON,      "취소", 163, 92, 50, 14, 231, 156, 83, 39, IDB_NOTICE_CLOSE, IDB_NOTICE_CLOSE_PRESSED,
    IDB_NOTICE_CLOSE_HOVER};

// The painted frame in client pixels, right and bottom exclusive.
inline constexpr int kFrameLeft = 10;
inline constexpr int kFrameTop = 10;
inline constexpr int kFrameRight = 446;
inline constexpr int kFrameBottom = 215;

// The bold font of 1211, 1200 and 1201.
inline constexpr int kBoldFontHeight = 12;
inline constexpr int kBoldFontWeight = 1000;

// The notice page on the provider's web site; the host is configurable.
inline constexpr const char* kNoticePath = "/norvo_notice/view.php";
inline constexpr const char* kNoticeQuery = "seq_no=31182&page=1&gubun=&keyword=sms";
inline constexpr const char* kNoticeHostVariable = "NORVOSMS_NOTICE_HOST";
inline constexpr const char* kDefaultNoticeHost = "127.0.0.1:8380";

}  // namespace service_end_confirm_layout
