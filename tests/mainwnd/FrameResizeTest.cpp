// Under a real X server and window manager (scripts/in-x-session.sh with
// openbox): every edge and corner of the frameless window resizes it, over
// whatever child lies under the border, with the matching pointer shape;
// the title band still moves it. The pointer is the real one (xdotool).
#include "MainWindowFixture.h"

#include "uilib/WindowFrame.h"

#include <QCursor>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QWindow>

namespace {

// Runs xdotool with `args` while this process's event loop goes on, so that
// the window takes the presses as they come. True when xdotool succeeded.
bool Xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForStarted())
        return false;
    if (!QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, 10000))
        return false;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A press at `from`, moves in small steps by `by`, a release (screen px).
bool Drag(QPoint from, QPoint by)
{
    QStringList args{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                     QStringLiteral("sleep"), QStringLiteral("0.2"), QStringLiteral("mousedown"), QStringLiteral("1")};
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        const QPoint at = from + by * i / kSteps;
        args << QStringLiteral("sleep") << QStringLiteral("0.05") << QStringLiteral("mousemove")
             << QString::number(at.x()) << QString::number(at.y());
    }
    args << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup") << QStringLiteral("1");
    return Xdotool(args);
}

struct EdgeCase
{
    const char* why;
    // Where the press lands, in the window: a fraction of its width and
    // height, then px in from the edge it names (negative: from the far edge).
    double fx, fy;
    int insetX, insetY;
    Qt::Edges edges;
    QPoint by;
};

// Presses 2 px inside the 4 px border.
const EdgeCase kEdges[] = {
    {"the right edge over the list", 1.0, 0.6, -2, 0, Qt::RightEdge, {60, 0}},
    {"the left edge over the toolbar", 0.0, 0.14, 2, 0, Qt::LeftEdge, {-50, 0}},
    {"the left edge over the list", 0.0, 0.5, 2, 0, Qt::LeftEdge, {40, 0}},
    {"the top edge over the title band", 0.5, 0.0, 0, 2, Qt::TopEdge, {0, -40}},
    {"the bottom edge over the status line", 0.5, 1.0, 0, -2, Qt::BottomEdge, {0, 50}},
    {"the top left corner", 0.0, 0.0, 2, 2, Qt::TopEdge | Qt::LeftEdge, {-30, -30}},
    {"the top right corner over the close button", 1.0, 0.0, -2, 2, Qt::TopEdge | Qt::RightEdge, {40, -20}},
    {"the bottom left corner", 0.0, 1.0, 2, -2, Qt::BottomEdge | Qt::LeftEdge, {-40, 30}},
    {"the bottom right corner", 1.0, 1.0, -2, -2, Qt::BottomEdge | Qt::RightEdge, {50, 40}},
};

class FrameResize : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs an X server with a window manager (scripts/in-x-session.sh, openbox)";
        OpenWindow(u"en");
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // Puts the window at a known place and size, as the window manager sees it.
    void Place()
    {
        const QRect start(200, 150, 820, 480);
        m_window->setGeometry(start);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->geometry() == start; }, 5000))
            << "the window manager kept " << Text(m_window->geometry());
        QTest::qWait(200);
    }

    static std::string Text(const QRect& r)
    {
        return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" + std::to_string(r.x()) + "+" +
               std::to_string(r.y());
    }
};

TEST_F(FrameResize, EveryEdgeAndCornerResizesOverWhateverChildIsThere)
{
    for (const EdgeCase& c : kEdges) {
        SCOPED_TRACE(c.why);
        Place();
        const QRect before = m_window->geometry();
        const QPoint local(static_cast<int>(c.fx * (before.width() - 1)) + c.insetX,
                           static_cast<int>(c.fy * (before.height() - 1)) + c.insetY);
        const QPoint press = m_window->mapToGlobal(local);

        // The pointer over the border shows the border's shape.
        ASSERT_TRUE(Xdotool({QStringLiteral("mousemove"), QString::number(press.x() - c.by.x() / 10),
                             QString::number(press.y() - c.by.y() / 10)}));
        ASSERT_TRUE(Xdotool({QStringLiteral("mousemove"), QString::number(press.x()), QString::number(press.y())}));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QCursor* shown = QGuiApplication::overrideCursor();
                return shown && shown->shape() == WindowFrame::CursorFor(c.edges);
            },
            2000))
            << "pointer shape over the border";

        ASSERT_TRUE(Drag(press, c.by));
        QRect expected = before;
        if (c.edges & Qt::LeftEdge)
            expected.setLeft(before.left() + c.by.x());
        if (c.edges & Qt::RightEdge)
            expected.setRight(before.right() + c.by.x());
        if (c.edges & Qt::TopEdge)
            expected.setTop(before.top() + c.by.y());
        if (c.edges & Qt::BottomEdge)
            expected.setBottom(before.bottom() + c.by.y());
        const auto near = [&] {
            const QRect now = m_window->geometry();
            return std::abs(now.left() - expected.left()) <= 3 && std::abs(now.top() - expected.top()) <= 3 &&
                   std::abs(now.right() - expected.right()) <= 3 && std::abs(now.bottom() - expected.bottom()) <= 3;
        };
        EXPECT_TRUE(QTest::qWaitFor(near, 3000))
            << "expected " << Text(expected) << ", got " << Text(m_window->geometry());
        // Away from the border the pointer is the child's own again.
        ASSERT_TRUE(Xdotool({QStringLiteral("mousemove"), QString::number(m_window->geometry().center().x()),
                             QString::number(m_window->geometry().center().y())}));
        EXPECT_TRUE(QTest::qWaitFor([] { return QGuiApplication::overrideCursor() == nullptr; }, 2000));
    }
}

TEST_F(FrameResize, TheTitleBandMovesTheWindowAndTheListTakesItsClicks)
{
    Place();
    const QRect before = m_window->geometry();
    ASSERT_TRUE(Drag(m_window->mapToGlobal(QPoint(before.width() / 2, 20)), {70, 45}));
    const QRect moved = before.translated(70, 45);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->geometry() == moved; }, 3000))
        << "expected " << Text(moved) << ", got " << Text(m_window->geometry());

    // Inside the border the press is the child's: a click in the list
    // neither resizes nor moves.
    const QRect placed = m_window->geometry();
    ASSERT_TRUE(Drag(m_window->mapToGlobal(QPoint(placed.width() - 12, placed.height() / 2)), {40, 0}));
    QTest::qWait(300);
    EXPECT_EQ(m_window->geometry(), placed);
}

// Maximised, the border is no border: a press there is the child's.
TEST_F(FrameResize, AMaximisedWindowHasNoBorder)
{
    m_window->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isMaximized(); }, 3000));
    QTest::qWait(300);
    const QRect full = m_window->geometry();
    ASSERT_TRUE(Xdotool({QStringLiteral("mousemove"), QString::number(full.right()),
                         QString::number(full.center().y())}));
    QTest::qWait(300);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    ASSERT_TRUE(Drag(QPoint(full.right(), full.center().y()), {-80, 0}));
    QTest::qWait(300);
    EXPECT_EQ(m_window->geometry(), full);
}

}  // namespace
