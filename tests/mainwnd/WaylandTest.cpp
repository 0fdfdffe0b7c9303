// On a real Wayland compositor (scripts/in-wayland-session.sh: weston, which
// has neither a tray nor a taskbar): the window shows, its dialogs and the
// message window open over it as its children, and closing it leaves it
// reachable.
#include "MainWindowFixture.h"

#include "base/AppFolders.h"
#include "mainwnd/DiagnosticsDialog.h"
#include "mainwnd/TrayMenus.h"
#include "msgwnd/CMsgWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

class OnWayland : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (!QGuiApplication::platformName().startsWith(u"wayland"_s))
            GTEST_SKIP() << "needs a Wayland compositor (scripts/in-wayland-session.sh)";
        OpenWindow(u"en");
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // The window of the modal dialog that `open` starts, as it stands once
    // shown; the dialog is then dismissed and `open` returns.
    struct Seen
    {
        bool shown = false;
        QWindow* parent = nullptr;
        QString title;
    };
    Seen WhileModal(const std::function<void()>& open)
    {
        Seen seen;
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, qApp, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->windowHandle() || !modal->windowHandle()->isExposed())
                return;
            seen = {true, modal->windowHandle()->transientParent(), modal->windowTitle()};
            poll.stop();
            qobject_cast<QDialog*>(modal)->reject();
        });
        QTimer giveUp;  // a dialog that never shows must not hang the test
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, qApp, [] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                modal->reject();
        });
        poll.start();
        giveUp.start(8000);
        open();
        return seen;
    }
};

TEST_F(OnWayland, DialogsAndTheMessageWindowOpenOverTheMainWindow)
{
    QWindow* main = m_window->windowHandle();
    const Seen find = WhileModal([this] { m_window->FindByAddress(); });
    EXPECT_TRUE(find.shown) << "Find by address never showed";
    EXPECT_EQ(find.parent, main) << "Find by address is not the main window's child";

    AppFolders folders;
    folders.resources = VINDREL_BIN_DIR "/";
    folders.settings = folders.log = m_settings.path().toStdString() + '/';
    const Seen message = WhileModal(
        [&] { CMsgWnd::ShowMessageWindow(m_window.get(), u"Korvan Vindrel"_s, u"Find_Running_Msg"_s, folders); });
    EXPECT_TRUE(message.shown) << "the message window never showed";
    EXPECT_EQ(message.parent, main);

    m_window->ShowDiagnostics();
    DiagnosticsDialog* diagnostics = m_window->Diagnostics();
    ASSERT_NE(diagnostics, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(diagnostics));
    EXPECT_EQ(diagnostics->windowHandle()->transientParent(), main);
    diagnostics->close();
}

// weston has no tray and no taskbar: a hidden or minimised window could
// never come back, so closing keeps it shown and says why.
TEST_F(OnWayland, CloseWithoutATrayKeepsTheWindowAndSaysWhy)
{
    ASSERT_FALSE(m_window->Tray().TrayShown());
    for (const char* how : {"the close button", "the compositor's close"}) {
        SCOPED_TRACE(how);
        if (std::string_view(how) == "the close button") {
            QTest::mouseClick(m_window->Control(u"CLOSEBTN"_s), Qt::LeftButton);
        } else {
            QCloseEvent close;
            QApplication::sendEvent(m_window.get(), &close);
        }
        QTest::qWait(300);
        EXPECT_TRUE(m_window->isVisible());
        EXPECT_FALSE(m_window->isMinimized());
        EXPECT_EQ(TextOf("STATUSTEXT"), u"No tray to hide in here: the window stays open; Exit (Ctrl+Q) ends Vindrel"_s);
    }
}

}  // namespace
