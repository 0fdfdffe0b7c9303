#include "mainwnd/NotifySettings.h"

#include <QSettings>

NotifySettings NotifySettings::Load(const QString& folder)
{
    NotifySettings s;
    QSettings file(folder + FileName(), QSettings::IniFormat);
    s.onNew = file.value(QStringLiteral("notify/new"), s.onNew).toBool();
    s.onSilent = file.value(QStringLiteral("notify/silent"), s.onSilent).toBool();
    s.onBack = file.value(QStringLiteral("notify/back"), s.onBack).toBool();
    s.onMoved = file.value(QStringLiteral("notify/moved"), s.onMoved).toBool();
    bool ok = false;
    const qlonglong seconds = file.value(QStringLiteral("silentAfterSeconds")).toLongLong(&ok);
    if (ok && seconds >= kMinSilentAfter.count() && seconds <= kMaxSilentAfter.count())
        s.silentAfter = std::chrono::seconds(seconds);
    return s;
}

bool NotifySettings::Save(const QString& folder) const
{
    QSettings file(folder + FileName(), QSettings::IniFormat);
    file.setValue(QStringLiteral("notify/new"), onNew);
    file.setValue(QStringLiteral("notify/silent"), onSilent);
    file.setValue(QStringLiteral("notify/back"), onBack);
    file.setValue(QStringLiteral("notify/moved"), onMoved);
    file.setValue(QStringLiteral("silentAfterSeconds"), static_cast<qlonglong>(silentAfter.count()));
    file.sync();
    return file.status() == QSettings::NoError;
}
