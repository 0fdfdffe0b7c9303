#include "mainwnd/SavedTargets.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

QString FileIn(const QString& dir)
{
    return QDir(dir).filePath(QStringLiteral("targets.txt"));
}

}  // namespace

QStringList LoadTargets(const QString& settingsDir)
{
    QFile file(FileIn(settingsDir));
    QStringList targets;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return targets;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(u'#'))
            targets.append(line);
    }
    return targets;
}

bool SaveTargets(const QString& settingsDir, const QStringList& targets, bool makeFolder, QString& error)
{
    const QString path = FileIn(settingsDir);
    if (targets.isEmpty()) {
        if (!QFile::exists(path) || QFile::remove(path))
            return true;
        error = QStringLiteral("cannot remove %1").arg(path);
        return false;
    }
    if (makeFolder && !QDir().mkpath(settingsDir)) {
        error = QStringLiteral("cannot create %1").arg(settingsDir);
        return false;
    }
    // Written beside and renamed into place: never half a list.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QStringLiteral("# Addresses Vindrel probes besides its broadcasts, one a line.\n").toUtf8()) < 0 ||
        file.write((targets.join(u'\n') + u'\n').toUtf8()) < 0 || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
