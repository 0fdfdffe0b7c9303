// The vindrel program: one instance per desktop session, the main window,
// and the message loop until Exit or the window's end.
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "mainwnd/VindrelFrameWnd.h"
#include "msgwnd/CMsgWnd.h"
#include "uilib/CPaintManagerUI.h"

#include <QApplication>
#include <QFileInfo>

#include <clocale>
#include <cstdio>
#include <memory>

namespace {

constexpr UINT kProgramIcon = 128;
// WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX
constexpr DWORD kMainWindowStyle = 0x90CF0000u;

}  // namespace

int main(int, char** argv)
{
    // Datagrams, lang.xml and paths are 8-bit text in the user's locale.
    std::setlocale(LC_ALL, "");
    // The program reads no arguments, and neither may Qt (-style, -platform...).
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // Only Exit and the window's end stop the program: closing a pop-up menu
    // while the window is hidden in the tray must not.
    QApplication::setQuitOnLastWindowClosed(false);
    // Common controls, restart manager, control containment and the registry
    // key configure Windows only and have no counterpart here.

    auto frame = std::make_unique<CVindrelFrameWnd>();

    const SingleInstance guard("Vindrel 2");
    if (!guard.Problem().empty())
        std::fprintf(stderr, "vindrel: single-instance guard unavailable (%s); starting anyway\n",
                     guard.Problem().c_str());
    if (guard.AnotherIsRunning()) {
        ShowMessageWindow(nullptr, u"Korvan Vindrel", u"Find_Running_Msg");
        return 0;
    }

    CPaintManagerUI::SetInstance(&app);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());

    const QString skin = CPaintManagerUI::GetResourcePath() + frame->GetSkinFile();
    if (!QFileInfo::exists(skin)) {
        std::fprintf(stderr, "vindrel: missing %s\n", qUtf8Printable(skin));
        return 1;
    }
    if (!frame->Create(nullptr, u"Vindrel", kMainWindowStyle, 0))
        return 1;  // the library has said why on stderr
    frame->SetIcon(kProgramIcon);
    frame->CenterWindow();
    frame->ShowWindow(true, true);

    if (!QuitMessageLoopOnTerminationSignals())
        std::fprintf(stderr, "vindrel: termination signals keep their default action\n");
    CPaintManagerUI::MessageLoop();

    // The loop's end has closed the window's message channel: a discovery
    // thread waiting on it is released and later hand-offs return at once.
    // The window object itself stays until the process ends, like the
    // threads that hold its address: deleting it here could pull it from
    // under a listener that is just entering a hand-off.
    (void)frame.release();
    return 0;
}
