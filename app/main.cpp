// The desktop program: a QApplication, then the application object's start-up.
#include <QApplication>

#include "app/norvosms_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  theApp.InitInstance();  // false: no message loop of our own follows the login dialog
  return 0;
}
