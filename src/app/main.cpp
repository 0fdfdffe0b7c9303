// The vindrel program: one instance per desktop session, the main window,
// and the event loop until Exit or the window's end.
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "mainwnd/VindrelFrameWnd.h"
#include "msgwnd/CMsgWnd.h"
#include "uilib/ResourcePath.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <clocale>
#include <csignal>
#include <cstdio>

namespace {

void CentreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace

int main(int, char** argv)
{
    // Datagrams, lang.xml and paths are 8-bit text in the user's locale.
    std::setlocale(LC_ALL, "");
    // A reader of our diagnostic lines that goes away (`vindrel | head -1`)
    // must not end the program: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    // The program reads no arguments, and neither may Qt (-style, -platform...).
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // Only Exit and the window's end stop the program: closing a pop-up menu
    // while the window is hidden in the tray must not.
    QApplication::setQuitOnLastWindowClosed(false);

    const SingleInstance guard("Vindrel 2");
    if (!guard.Problem().empty())
        std::fprintf(stderr, "vindrel: single-instance guard unavailable (%s); starting anyway\n",
                     guard.Problem().c_str());
    if (guard.AnotherIsRunning()) {
        CMsgWnd::ShowMessageWindow(nullptr, QStringLiteral("Korvan Vindrel"), QStringLiteral("Find_Running_Msg"));
        return 0;
    }

    const QString skin = ResolveResourcePath(QStringLiteral("vindrel.xml"));
    if (!QFileInfo::exists(skin)) {
        std::fprintf(stderr, "vindrel: missing %s\n", qUtf8Printable(skin));
        return 1;
    }
    CVindrelFrameWnd frame;
    if (!frame.Initialise()) {
        std::fprintf(stderr, "vindrel: %s\n", qUtf8Printable(frame.ErrorString()));
        return 1;
    }
    CentreOnScreen(frame);
    frame.show();
    frame.raise();
    frame.activateWindow();

    if (!QuitMessageLoopOnTerminationSignals())
        std::fprintf(stderr, "vindrel: termination signals keep their default action\n");
    return QApplication::exec();
}
