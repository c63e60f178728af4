// Pictures of the login dialog as the user sees it, for the run command and the tests.
#pragma once

#include <QImage>
#include <QString>

class CLogInDlg;

// The dialog's client area, with the service-end notice drawn over it where it stands when it
// is shown.
QImage GrabLoginScreen(CLogInDlg& dialog);

// With NORVOSMS_SCREENSHOT naming a PNG file: once the dialog has opened and settled, saves
// that picture there and closes the dialog, which ends the program.
void ScheduleScreenshotFromEnvironment(CLogInDlg& dialog);
