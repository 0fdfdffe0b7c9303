// Under a real X server with a notification area (scripts/in-x-session.sh
// starts Xvfb and trayer): the main window's icon is really shown, and a
// click of either button on it opens the tray menu.
#include "MainWindowFixture.h"

#include "mainwnd/TrayMenus.h"

#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

// The small window of this program embedded in the tray, from xwininfo's tree
// ("name": ("name" "class")  WxH+x+y  +absX+absY).
QRect IconWindowOnScreen()
{
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    p.waitForFinished();
    const QString app = QCoreApplication::applicationName();
    const QRegularExpression line(
        QStringLiteral("\\((\"%1\" \"[^\"]*\")\\)\\s+(\\d+)x(\\d+)\\S*\\s+\\+(-?\\d+)\\+(-?\\d+)")
            .arg(QRegularExpression::escape(app)));
    const auto lines = QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n');
    for (const QString& l : lines) {
        const auto m = line.match(l);
        if (!m.hasMatch())
            continue;
        const int w = m.captured(2).toInt(), h = m.captured(3).toInt();
        const int x = m.captured(4).toInt(), y = m.captured(5).toInt();
        if (w <= 64 && h <= 64 && (x > 0 || y > 0))
            return {x, y, w, h};
    }
    return {};
}

using TrayIcon = MainWindowFixture;

TEST_F(TrayIcon, IsShownAndEitherButtonOpensItsMenu)
{
    if (QGuiApplication::platformName() != u"xcb")
        GTEST_SKIP() << "needs an X server with a tray (scripts/in-x-session.sh)";
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000)) << "no tray host";
    OpenWindow(u"en");
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window->Tray().TrayShown(); }, 10000)) << "the icon never showed";
    EXPECT_EQ(m_window->Tray().Icon()->toolTip(), QStringLiteral("Vindrel"));
    // An XEmbed tray reparents the icon, and Qt then reports it at the
    // origin; ask the X server where the icon window really is.
    QRect icon = m_window->Tray().Icon()->geometry();
    if (icon.topLeft().isNull())
        icon = IconWindowOnScreen();
    ASSERT_FALSE(icon.isEmpty());

    QMenu* menu = m_window->Tray().TrayMenu();
    for (const char* button : {"1", "3"}) {
        SCOPED_TRACE(button);
        menu->close();
        const QPoint at = icon.center();
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                    {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                     QStringLiteral("click"), QString::fromLatin1(button)}),
                  0);
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000)) << "no menu opened";
        // Upwards from the click, so that a tray at the bottom never hides it.
        EXPECT_LE(menu->geometry().bottom(), at.y() + 1);
    }
    menu->close();
}

}  // namespace
