// Under a real X server with a notification area (run-tray-test.sh starts
// Xvfb and trayer): the icon is really shown, and clicks on it reach the
// window as message 1025 with the mouse message in lParam.
#include "SkinFixture.h"
#include "uilib/CTrayIcon.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace {
bool PumpUntil(const std::function<bool()>& done, int ms = 10000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The small window of this program embedded in the tray, from xwininfo's tree
// ("name": ("name" "class")  WxH+x+y  +absX+absY).
RECT IconWindowOnScreen()
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
        const int w = m.captured(2).toInt(), h = m.captured(3).toInt(), x = m.captured(4).toInt(),
                  y = m.captured(5).toInt();
        if (w <= 64 && h <= 64 && (x > 0 || y > 0))
            return {x, y, x + w, y + h};
    }
    return {};
}

TEST(TrayIcon, AppearsAndClicksArriveAs1025)
{
    SkinFolder folder;
    folder.Write(QStringLiteral("w.xml"), UiDocument({}));
    TestWindow window(QStringLiteral("w.xml"));
    ASSERT_TRUE(window.Create(nullptr, u"w", 0, 0));
    std::vector<std::pair<WPARAM, LPARAM>> notes;
    window.onMessage = [&](UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == 1025)
            notes.emplace_back(w, l);
        return 0;
    };
    ASSERT_TRUE(PumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); })) << "no tray host";

    CTrayIcon tray;
    tray.CreateTrayIcon(window.GetHWND(), 128, u"Vindrel", 0);
    RECT r{};
    ASSERT_TRUE(PumpUntil([&] {
        r = tray.GetIconRect();
        return tray.Enabled() && r.right > r.left;
    })) << "the icon never showed";
    EXPECT_EQ(tray.GetTooltipText(), CDuiString(u"Vindrel"));
    // An XEmbed tray reparents the icon, and Qt then reports it at the
    // origin; ask the X server where the icon window really is.
    if (r.left == 0 && r.top == 0)
        r = IconWindowOnScreen();
    std::printf("icon at %d,%d-%d,%d\n", r.left, r.top, r.right, r.bottom);

    struct Click
    {
        const char* button;
        LPARAM mouse;
    };
    const Click clicks[] = {{"1", 514}, {"3", 517}};
    for (const Click& c : clicks) {
        SCOPED_TRACE(c.button);
        notes.clear();
        const QString x = QString::number((r.left + r.right) / 2), y = QString::number((r.top + r.bottom) / 2);
        ASSERT_EQ(
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), x, y, QStringLiteral("click"),
                                                          QString::fromLatin1(c.button)}),
            0);
        ASSERT_TRUE(PumpUntil([&] { return !notes.empty(); })) << "no 1025 arrived";
        EXPECT_EQ(notes[0].first, 128u);
        EXPECT_EQ(notes[0].second, c.mouse);
    }
    tray.DeleteTrayIcon();
    EXPECT_FALSE(tray.Enabled());
}
}  // namespace
