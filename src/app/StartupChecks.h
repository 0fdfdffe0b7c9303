#pragma once

#include <QString>

// What the program checks before and while it starts, for people who start
// it from a menu and never see standard error.

// Opens /dev/null on standard input, output or error where one is closed, so
// that no socket (the X connection, a probe) ever gets that number and
// diagnostic lines never land in it.
void KeepStandardStreamsOpen();

// False, with `why`, when no display can show a window (an SSH session
// without X forwarding, a cron job): the window would abort Qt.
bool DisplayAvailable(QString& why);

// One line on standard error and, where a person can see it, an error
// dialog that needs no skin.
void ReportStartFailure(const QString& message);

// The images the main window names itself, each of which must load; empty
// when all do, else the first one missing (relative to the resource folder).
QString MissingWindowImage();
