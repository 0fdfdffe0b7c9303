#pragma once

#include <QString>

#include <chrono>

// Which events tell the user, and when a server counts as silent. Kept in
// "settings.ini" (QSettings' INI form) beside lang.xml. A missing or
// unreadable file gives the defaults: watched servers tell when they go
// silent, come back or move; a new server tells nothing beyond its row.
struct NotifySettings
{
    static constexpr std::chrono::seconds kDefaultSilentAfter{60};
    // A reply every half second: below a few seconds a busy network would
    // flap; above a day nobody is watching any more.
    static constexpr std::chrono::seconds kMinSilentAfter{5};
    static constexpr std::chrono::seconds kMaxSilentAfter{86400};

    bool onNew = false;
    bool onSilent = true;
    bool onBack = true;
    bool onMoved = true;
    std::chrono::seconds silentAfter = kDefaultSilentAfter;

    bool operator==(const NotifySettings&) const = default;

    // `folder` ends with '/'. Values out of range fall back to their default.
    static NotifySettings Load(const QString& folder);
    // False when the file could not be written.
    bool Save(const QString& folder) const;
    static QString FileName() { return QStringLiteral("settings.ini"); }
};
