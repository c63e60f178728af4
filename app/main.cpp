// The desktop program: a QApplication, then the application object's start-up.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/norvosms_app.h"

int main(int argc, char* argv[]) {
  // Answered before Qt starts, so they work without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("NorvoSMS %s\n", NORVOSMS_VERSION);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "usage: NorvoSMS [--version | --help]\n"
        "Opens the NorvoSMS login form. Settings and service hosts: see the NORVOSMS_* variables.\n");
    return 0;
  }
  QApplication application(argc, argv);
  theApp.InitInstance();  // false: no message loop of our own follows the login dialog
  return 0;
}
