#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The addresses a person asked to probe (Find by address…), kept as
// "targets.txt" in the settings folder: one target a line, as written.
// GUI thread only.

// The saved targets; none when there is no file. Blank lines and lines
// starting with '#' are skipped.
QStringList LoadTargets(const QString& settingsDir);
// The same from the file's bytes: UTF-8 (a byte order mark is skipped),
// LF or CR LF line ends.
QStringList ParseTargets(QByteArrayView text);

// Replaces the file with `targets` (removing it when there are none);
// `makeFolder` creates the settings folder first. False, with `error`, when
// the file could not be written; the old one is then unchanged.
bool SaveTargets(const QString& settingsDir, const QStringList& targets, bool makeFolder, QString& error);
