// What a dialog template gives its window before any control: the caption, the fixed size in
// dialog units, the template font and the dialog face colour.
#pragma once

#include <QPalette>
#include <QString>
#include <QWidget>

#include "app/dialog_units.h"
#include "app/skin.h"

inline void ApplyDialogTemplate(QWidget& dialog, const char* caption, int widthDu, int heightDu) {
  dialog.setWindowTitle(QString::fromUtf8(caption));
  dialog.setFixedSize(dialog_units::ToPixelsX(widthDu), dialog_units::ToPixelsY(heightDu));
  dialog.setFont(DialogTemplateFont());
  QPalette face = dialog.palette();
  face.setColor(QPalette::Window, TheSkin().dialogFace);
  dialog.setPalette(face);
}
