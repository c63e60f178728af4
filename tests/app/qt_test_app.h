// One QApplication for all cases of a test program, on the offscreen platform.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <QDir>
#include <cstdlib>
#include <string>

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "norvosms_app_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own statics may already be gone at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

inline QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

inline QImage Grab(QWidget& widget) { return Rgb(widget.grab().toImage()); }

// ${NORVOSMS_BUILD_DIR}/screenshots/<name>.png; false when it could not be written.
inline bool SaveScreenshot(const QImage& image, const QString& name) {
  const char* build = std::getenv("NORVOSMS_BUILD_DIR");
  QString folder = QString::fromLocal8Bit(build && *build ? build : ".") + "/screenshots";
  return QDir().mkpath(folder) && image.save(folder + "/" + name + ".png", "PNG");
}

// A fixture base whose widgets may be members: the application exists before they are built.
class QtWidgetTest : public ::testing::Test {
 protected:
  QtWidgetTest() { TestApplication(); }
};
