#include "app/button_class_cursor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

// Buttons made after the class cursor was set get it when they are first polished.
class ButtonCursorFilter : public QObject {
 public:
  explicit ButtonCursorFilter(QObject* parent) : QObject(parent) {}
  QCursor cursor;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Polish || event->type() == QEvent::Show)
      if (auto* button = qobject_cast<QAbstractButton*>(watched)) button->setCursor(cursor);
    return false;
  }
};

QPointer<ButtonCursorFilter> g_filter;

}  // namespace

void SetButtonClassCursor(const QCursor& cursor) {
  QApplication* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!application) return;
  if (!g_filter) {
    g_filter = new ButtonCursorFilter(application);  // lives as long as the application
    application->installEventFilter(g_filter);
  }
  g_filter->cursor = cursor;
  for (QWidget* widget : QApplication::allWidgets())
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setCursor(cursor);
}
