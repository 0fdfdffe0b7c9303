#include "app/StartupChecks.h"

#include "uilib/ResourcePath.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

void KeepStandardStreamsOpen()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is the one just found closed.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd)
            ::close(opened);
    }
}

bool DisplayAvailable(QString& why)
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    // A platform named on purpose (offscreen, vnc, ...) needs no display.
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return true;
    why = QStringLiteral("no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                         "vindrel-scan searches from a terminal");
    return false;
}

void ReportStartFailure(const QString& message)
{
    std::fprintf(stderr, "vindrel: %s\n", qUtf8Printable(message));
    // Without a screen (offscreen, minimal) nobody could close a dialog.
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal")
        return;
    QMessageBox::critical(nullptr, QStringLiteral("Vindrel"),
                          QStringLiteral("Vindrel cannot start:\n%1\n\nReinstalling Vindrel may help.").arg(message));
}

QString MissingWindowImage()
{
    const char* const images[] = {
        "res/common/max_btn_normal.png",       "res/common/restore.png",          "res/mainwnd/search_btn_normal.png",
        "res/mainwnd/search_btn_selected.png", "res/mainwnd/stop_btn_normal.png", "res/mainwnd/stop_btn_selected.png",
    };
    for (const char* image : images) {
        if (LoadSkinImage(QString::fromLatin1(image)).isNull())
            return QString::fromLatin1(image);
    }
    return {};
}
