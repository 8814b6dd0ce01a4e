#pragma once

#include <QString>

// Child mode of the window-manager test: the main window and two windows it
// opens, on a real X display, each reported as "<name> <frame x y w h>
// <caption the window manager got>" on standard output.
int reportFramesUnderWindowManager(const QString &programDir);
