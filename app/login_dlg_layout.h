// Template 144, the login dialog: control numbers, texts, places, sizes and fonts in one table.
#pragma once

#include "app/bitmap_resources.h"

namespace login_dlg_layout {

inline constexpr int kTemplateId = 144;
inline constexpr const char* kCaption = "NorvoSMS Login";
inline constexpr int kWidthDu = 351;
inline constexpr int kHeightDu = 285;

inline constexpr int IDC_KEY_EDIT = 1096;
inline constexpr int IDC_ID_EDIT = 1095;
inline constexpr int IDC_OK = 1;  // IDOK, also the Enter key
inline constexpr int IDC_GUIDE_PARAGRAPH = 1146;
inline constexpr int IDC_ID_LABEL = 1149;
inline constexpr int IDC_KEY_LABEL = 1150;
inline constexpr int IDC_SAVE_ID = 1097;
inline constexpr int IDC_SAVE_KEY = 1098;
inline constexpr int IDC_IP_LABEL = 1152;
inline constexpr int IDC_IP_DISPLAY = 1120;
inline constexpr int IDC_HELP_BUTTON = 1121;
inline constexpr int IDC_HEADING = 1148;
inline constexpr int IDC_KEY_PARAGRAPH = 1147;
inline constexpr int IDC_SETTING_LINK = 1153;  // first line of the settings link
inline constexpr int IDC_SERVICE_INFO_LINK = 1155;
inline constexpr int IDC_SETTING_LINK_END = 1156;  // its second line

enum class Kind { Edit, PasswordEdit, OkButton, Static, LinkStatic, CheckBox, HelpButton };
enum class Font { Template, Heading, Text, Link };

// Template place in dialog units; the moved ones get a place in client pixels at start.
struct Control {
  int id;
  Kind kind;
  const char* text;
  int x, y, cx, cy;
  bool moved;
  int pixelX, pixelY, pixelWidth, pixelHeight;
  Font font;
};

// Template order, which is also the tab order; the first one gets the focus. The texts are
// exact, spacing included on purpose ("보안 IP  :" has two blanks, the 1147 paragraph ends in one).
inline constexpr Control kControls[] = {
    {IDC_KEY_EDIT, Kind::PasswordEdit, "", 266, 264, 78, 14, true, 115, 313, 277, 14, Font::Template},
    {IDC_ID_EDIT, Kind::Edit, "", 185, 264, 77, 14, true, 115, 272, 277, 14, Font::Template},
    {IDC_OK, Kind::OkButton, "확인", 277, 175, 45, 40, true, 404, 263, 83, 77, Font::Template},
    {IDC_GUIDE_PARAGRAPH, Kind::Static,
     "① PC앱 발송을 진행할 IP 정보를 등록해야 합니다.\n"
     "서버 IP 등록은 소유자/관리자만 할 수 있으며, '관리툴 > 관리자 > 기본 설정 > 이용 중인 설정 항목' "
     "페이지의 API 발송 IP 설정에서 진행할 수 있습니다.\n"
     "② API Key를 공유합니다.\n"
     "PC앱을 이용하고자 하는 사용자에게 API Key 정보를 공유합니다.",
     20, 40, 309, 41, true, 30, 70, 460, 55, Font::Text},
    {IDC_ID_LABEL, Kind::Static, "관리툴 ID", 51, 176, 32, 8, true, 46, 275, 60, 14, Font::Heading},
    {IDC_KEY_LABEL, Kind::Static, "API KEY", 50, 199, 26, 8, true, 46, 317, 60, 14, Font::Heading},
    {IDC_SAVE_ID, Kind::CheckBox, "아이디 저장", 111, 226, 58, 10, false, 0, 0, 0, 0, Font::Template},
    {IDC_SAVE_KEY, Kind::CheckBox, "API KEY 저장", 173, 226, 59, 10, false, 0, 0, 0, 0, Font::Template},
    {IDC_IP_LABEL, Kind::Static, "보안 IP  :", 28, 249, 32, 8, true, 38, 407, 50, 14, Font::Template},
    {IDC_IP_DISPLAY, Kind::Static, "127.0.0.1", 62, 249, 55, 8, true, 90, 407, 120, 14, Font::Template},
    {IDC_HELP_BUTTON, Kind::HelpButton, "?", 233, 226, 14, 12, false, 0, 0, 0, 0, Font::Template},
    {IDC_HEADING, Kind::Static, "노르보 문자 발송 시스템을 이용하기 위해서는", 21, 23, 166, 14, true, 30, 52, 400, 14,
     Font::Heading},
    {IDC_KEY_PARAGRAPH, Kind::Static,
     "API Key 정보는 소유자/관리자만 확인할 수 있으며, '관리툴 > 관리자 > 서비스 정보' 페이지에서 확인 "
     "가능합니다.\n"
     "API Key는 API 발송을 위한 필수값으로, 외부에 노출되지 않도록 각별한 주의가 필요합니다.\n"
     "③ PC앱 이용자는 관리툴 로그인 ID와 API Key를 입력하여 PC앱에 접속합니다. ",
     20, 80, 309, 37, true, 30, 125, 460, 65, Font::Text},
    {IDC_SETTING_LINK, Kind::LinkStatic, "'관리툴 > 관리자 > 기본 설정 > 이용 중인 설", 170, 46, 154, 8, true, 258, 80,
     234, 11, Font::Link},
    {IDC_SERVICE_INFO_LINK, Kind::LinkStatic, "'관리툴 > 관리자 > 서비스 정보'", 187, 77, 105, 8, true, 290, 125, 160,
     12, Font::Link},
    {IDC_SETTING_LINK_END, Kind::LinkStatic, "정 항목'", 20, 53, 27, 8, true, 30, 92, 38, 11, Font::Link},
};

// The OK button's bitmaps; the help button shows bitmap 170 in every state, at its size.
inline constexpr int kOkNormalBitmap = IDB_LOGIN_OK;
inline constexpr int kOkPressedBitmap = IDB_LOGIN_OK_PRESSED;
inline constexpr int kOkHoverBitmap = IDB_LOGIN_OK_HOVER;
inline constexpr int kHelpBitmap = IDB_HELP;

// The painting, in client pixels; rectangles are left, top, right, bottom (exclusive).
struct Rect {
  int left, top, right, bottom;
};
inline constexpr Rect kOuterFrames[] = {{15, 19, 512, 200}, {15, 242, 512, 432}};
inline constexpr Rect kEditFrames[] = {{110, 263, 393, 296}, {110, 304, 393, 337}};
struct Line {
  int x1, y1, x2, y2;
};
inline constexpr Line kSeparators[] = {{16, 354, 511, 354}, {16, 394, 511, 394}};
inline constexpr int kAccountBitmap = IDB_ACCOUNT_SETTINGS;
inline constexpr int kAccountBitmapX = 19;
inline constexpr int kAccountBitmapY = 218;

// The fonts: heading height 12 weight 1000, text and link height 11 weight 0.
inline constexpr int kHeadingFontHeight = 12;
inline constexpr int kHeadingFontWeight = 1000;
inline constexpr int kTextFontHeight = 11;
inline constexpr int kTextFontWeight = 0;

// The "?" button's tooltip, exact as shown ("체크하지않는" without its blank included).
inline constexpr int kTooltipMaxWidth = 200;
inline constexpr const char* kTooltipText =
    "아이디와 API KEY를 저장해 놓으면, 프로그램을 실행할 때마다 아이디와 API KEY를 입력하여 확인하는 절차 없이 "
    "문자 발송 시스템을 바로 이용할 수 있습니다.\n\n"
    "※ 문자 발송 시스템의 보안을 위해서 공용 PC에서는 '아이디'와 'API KEY' 저장을 체크하지않는 것을 권고합니다.";

// The texts the dialog shows in message boxes.
inline constexpr const char* kMissingInputMessage = "아이디 / API KEY정보를 입력해 주세요.";
inline constexpr const char* kUpdateMessage = "새로운 버전으로 업데이트 합니다.";

// The console pages the links open, and the launcher beside the program.
inline constexpr const char* kSettingPagePath = "/admin/setting/";
inline constexpr const char* kServiceInfoPagePath = "/admin/service-info/";
inline constexpr const char* kBrowserFile = "IEXPLORE.EXE";
inline constexpr const char* kLauncherFile = "Launcher.exe";

}  // namespace login_dlg_layout
