// The button window class's cursor: every push button and check box of the program, those
// made later included, shows it.
#pragma once

#include <QCursor>

void SetButtonClassCursor(const QCursor& cursor);
