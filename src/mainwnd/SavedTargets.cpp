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

QStringList ParseTargets(QByteArrayView text)
{
    QStringList targets;
    while (!text.isEmpty()) {
        const qsizetype lf = text.indexOf('\n');
        const QByteArrayView raw = lf < 0 ? text : text.first(lf);
        text = lf < 0 ? QByteArrayView() : text.sliced(lf + 1);
        // Windows editors start a UTF-8 file with a byte order mark, and
        // Qt drops one at the start of a line only: none is part of a
        // target, wherever it stands among the blanks before it.
        QString line = QString::fromUtf8(raw);
        qsizetype start = 0;
        while (start < line.size() && (line[start] == u'\uFEFF' || line[start].isSpace()))
            ++start;
        line = line.sliced(start).trimmed();
        if (!line.isEmpty() && !line.startsWith(u'#'))
            targets.append(line);
    }
    return targets;
}

QStringList LoadTargets(const QString& settingsDir)
{
    QFile file(FileIn(settingsDir));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseTargets(file.readAll());
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
