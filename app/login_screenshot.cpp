#include "app/login_screenshot.h"

#include "app/login_dlg.h"
#include "app/service_end_confirm_dlg.h"

#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {
// Long enough for the first paint of both windows on a slow X server.
constexpr int kSettleMs = 1500;
}  // namespace

QImage GrabLoginScreen(CLogInDlg& dialog) {
  QImage picture = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
  CServiceEndConfirmDlg* notice = dialog.ServiceEndNotice();
  if (notice && notice->isVisible()) {
    QPoint offset = notice->mapToGlobal(QPoint(0, 0)) - dialog.mapToGlobal(QPoint(0, 0));
    QPainter painter(&picture);
    painter.drawImage(offset, notice->grab().toImage());
  }
  return picture;
}

void ScheduleScreenshotFromEnvironment(CLogInDlg& dialog) {
  const char* file = std::getenv("NORVOSMS_SCREENSHOT");
  if (!file || !*file) return;
  const QString path = QString::fromLocal8Bit(file);
  QTimer::singleShot(kSettleMs, &dialog, [&dialog, path] {
    if (GrabLoginScreen(dialog).save(path, "PNG"))
      std::printf("screenshot saved to %s\n", path.toLocal8Bit().constData());
    else
      std::fprintf(stderr, "screenshot could not be saved to %s\n", path.toLocal8Bit().constData());
    std::fflush(stdout);
    dialog.reject();
  });
}
