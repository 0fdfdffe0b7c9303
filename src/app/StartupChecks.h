#pragma once

#include <QString>

// What the program checks before and while it starts, for people who start
// it from a menu and never see standard error.

// False, with `why`, when no display can show a window (an SSH session
// without X forwarding, a cron job): the window would abort Qt.
bool DisplayAvailable(QString& why);

// One line on standard error and, where a person can see it, an error
// dialog that needs no skin.
void ReportStartFailure(const QString& message);

// The images the main window names itself, each of which must load; empty
// when all do, else the first one missing (relative to the resource folder).
QString MissingWindowImage();
