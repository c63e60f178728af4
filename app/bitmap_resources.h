// The program's bitmaps, 24-bit, compiled in and addressed by their resource numbers.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

enum BitmapId : int {
  IDB_LOGIN_OK = 165,  // 83 × 77 blue "확인"
  IDB_LOGIN_OK_HOVER = 166,
  IDB_LOGIN_OK_PRESSED = 167,
  IDB_ACCOUNT_SETTINGS = 168,  // 69 × 17 person icon and "계정설정", on the dialog face colour
  IDB_HELP = 170,              // 14 × 14 grey "?"
  IDB_NOTICE_DETAILS = 305,    // 83 × 39 blue "자세히 보기"
  IDB_NOTICE_DETAILS_HOVER = 306,
  IDB_NOTICE_DETAILS_PRESSED = 307,
  IDB_NOTICE_CLOSE = 308,  // 83 × 39 grey "닫기"
  IDB_NOTICE_CLOSE_HOVER = 309,
  IDB_NOTICE_CLOSE_PRESSED = 310,
};

// ":/bitmaps/<id>.bmp"
QString BitmapResourcePath(int id);

// Null when no bitmap has that number.
QImage LoadBitmapImage(int id);
QPixmap LoadBitmapResource(int id);
