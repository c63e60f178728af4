// Message boxes on QMessageBox, or recorded in the file NORVOSMS_MESSAGEBOX_LOG names.
#include <windows.h>
#include <winnls.h>
#include <winuser.h>

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

QString FromAnsi(LPCSTR text) {
  if (!text || !*text) return QString();
  int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return QString();
  std::vector<WCHAR> wide(static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  return QString::fromUtf16(wide.data(), length - 1);
}

// One record a line: type, caption, text, split by tabs; '\', tab, CR and LF escaped C-style.
std::string Escaped(LPCSTR text) {
  std::string out;
  for (const char* p = text ? text : ""; *p; ++p) {
    switch (*p) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += *p;
    }
  }
  return out;
}

struct Button {
  QMessageBox::StandardButton qt;
  int result;
};

std::vector<Button> ButtonsFor(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL: return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default: return {{QMessageBox::Ok, IDOK}};
  }
}

QMessageBox::Icon IconFor(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// A program without a QApplication yet gets one, kept for the rest of the process.
bool EnsureApplication() {
  if (QCoreApplication::instance()) return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
  static int argc = 1;
  static char name[] = "NorvoSMS";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app != nullptr;
}

}  // namespace

// QMessageBox, modal, centred on the screen (owner windows are not tracked here); the ANSI
// texts go through MultiByteToWideChar. In log mode nothing is shown.
extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  (void)hWnd;
  std::vector<Button> buttons = ButtonsFor(uType);
  if (const char* log = std::getenv("NORVOSMS_MESSAGEBOX_LOG"); log && *log) {
    std::FILE* file = std::fopen(log, "ab");
    if (!file) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    std::string line = std::to_string(uType) + "\t" + Escaped(lpCaption) + "\t" + Escaped(lpText) + "\n";
    bool ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    return buttons.front().result;
  }
  if (!EnsureApplication()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  QMessageBox box(IconFor(uType), FromAnsi(lpCaption), FromAnsi(lpText));
  QMessageBox::StandardButtons set;
  for (const Button& b : buttons) set |= b.qt;
  box.setStandardButtons(set);
  box.setDefaultButton(buttons.front().qt);
  // Closing the box counts as its cancel button where it has one, else as its only button.
  QMessageBox::StandardButton escape = buttons.front().qt;
  for (const Button& b : buttons)
    if (b.result == IDCANCEL) escape = b.qt;
  box.setEscapeButton(escape);
  int chosen = box.exec();
  for (const Button& b : buttons)
    if (b.qt == chosen) return b.result;
  return buttons.front().result;
}
