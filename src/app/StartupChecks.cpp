#include "app/StartupChecks.h"

#include "uilib/ResourcePath.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

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
