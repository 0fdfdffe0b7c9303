// The vindrel program: one instance per desktop session, the main window,
// and the event loop until Exit or the window's end.
#include "app/InstanceActivation.h"
#include "app/SingleInstance.h"
#include "app/StartupChecks.h"
#include "app/TerminationSignals.h"
#include "base/AppFolders.h"
#include "base/LocaleText.h"
#include "mainwnd/VindrelFrameWnd.h"
#include "msgwnd/CMsgWnd.h"
#include "uilib/ResourcePath.h"

#include <QApplication>
#include <QFileInfo>

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

void PrintHelp()
{
    const AppFolders& folders = ProgramFolders();
    std::printf("Usage: vindrel [--help] [--version]\n"
                "Finds the Korvan network storage servers on the local network and lists them\n"
                "in a window: it broadcasts a probe to UDP port 6001 from every IPv4 address\n"
                "twice a second and takes the replies on UDP port 6000. Double-click a row to\n"
                "open the server's web page. Vindrel lives in the tray and runs once per\n"
                "desktop session; a second start brings the running window forward.\n"
                "\n"
                "  --help      this text\n"
                "  --version   the version\n"
                "Other arguments are ignored.\n"
                "\n"
                "Skins:     %s\n"
                "Settings:  %slang.xml%s\n"
                "Log:       %s\n"
                "\n"
                "Replies are unsolicited UDP to port 6000: a firewall must let them in.\n"
                "For terminals and scripts: vindrel-scan --help.\n",
                folders.resources.c_str(), folders.settings.c_str(), folders.portable ? " (portable folder)" : "",
                folders.log.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    // Answered before anything else: no window, no probe, no guard taken.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vindrel %s\n", VINDREL_VERSION);
            return 0;
        }
    }
    KeepStandardStreamsOpen();
    // Datagrams, lang.xml and paths are 8-bit text in the user's locale.
    std::setlocale(LC_ALL, "");
    // A reader of our diagnostic lines that goes away (`vindrel | head -1`)
    // must not end the program: the write fails instead.
    IgnoreBrokenPipes();
    if (QString why; !DisplayAvailable(why)) {
        std::fprintf(stderr, "vindrel: %s\n", qUtf8Printable(why));
        return 1;
    }
    // The program reads no other arguments, and neither may Qt (-style, -platform...).
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // Only Exit and the window's end stop the program: closing a pop-up menu
    // while the window is hidden in the tray must not.
    QApplication::setQuitOnLastWindowClosed(false);

    const AppFolders& folders = ProgramFolders();
    SetResourceFolder(QString::fromStdU16String(DecodeLocal8Bit(folders.resources)));
    const SingleInstance guard("Vindrel 2");
    if (!guard.Problem().empty())
        std::fprintf(stderr, "vindrel: single-instance guard unavailable (%s); starting anyway\n",
                     guard.Problem().c_str());
    if (guard.AnotherIsRunning()) {
        AskRunningInstanceToShow(guard);
        CMsgWnd::ShowMessageWindow(nullptr, QStringLiteral("Korvan Vindrel"), QStringLiteral("Find_Running_Msg"));
        return 0;
    }

    const QString skin = ResolveResourcePath(QStringLiteral("vindrel.xml"));
    if (!QFileInfo::exists(skin)) {
        ReportStartFailure(QStringLiteral("missing %1").arg(skin));
        return 1;
    }
    if (const QString image = MissingWindowImage(); !image.isEmpty()) {
        ReportStartFailure(QStringLiteral("missing or unreadable image %1").arg(ResolveResourcePath(image)));
        return 1;
    }
    CVindrelFrameWnd frame;
    if (!frame.Initialise()) {
        ReportStartFailure(frame.ErrorString());
        return 1;
    }
    frame.PlaceOnScreen();
    frame.show();
    frame.raise();
    frame.activateWindow();
    ActivationListener activation(guard);
    QObject::connect(&activation, &ActivationListener::Activated, &frame, &CVindrelFrameWnd::ShowNormal);

    if (!QuitMessageLoopOnTerminationSignals())
        std::fprintf(stderr, "vindrel: termination signals keep their default action\n");
    return QApplication::exec();
}
