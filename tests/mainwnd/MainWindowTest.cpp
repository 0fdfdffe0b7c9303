#include "MainWindowFixture.h"

#include "mainwnd/ServerList.h"
#include "mainwnd/TrayMenus.h"
#include "uilib/SkinButton.h"

#include <QApplication>
#include <QTimer>

#include <QTest>
#include <QTableView>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

const QString kSearchSelected = QStringLiteral("file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'");
const QString kSearchNormal = QStringLiteral("file='res\\mainwnd\\search_btn_normal.png' dest='10,13,26,29'");
const QString kStopSelected = QStringLiteral("file='res\\mainwnd\\stop_btn_selected.png' dest='10,13,26,29'");
const QString kStopNormal = QStringLiteral("file='res\\mainwnd\\stop_btn_normal.png' dest='10,13,26,29'");

class MainWindow : public MainWindowFixture
{
protected:
    SkinButton* Button(const char* name) const
    {
        return qobject_cast<SkinButton*>(m_window->Control(QString::fromLatin1(name)));
    }

    // A real click at the button's place in the window, routed as the
    // window system would route it.
    void ClickAt(const char* name)
    {
        const SkinButton* button = Button(name);
        ASSERT_NE(button, nullptr);
        const QPoint at = button->mapTo(m_window.get(), button->rect().center());
        QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
    }

    // The active look of the current state's button and the idle look of
    // the other, and which of them takes mouse input.
    void ExpectSearching(bool searching)
    {
        const SkinButton* active = Button(searching ? "SEARCHBTN" : "STOPBTN");
        const SkinButton* idle = Button(searching ? "STOPBTN" : "SEARCHBTN");
        ASSERT_TRUE(active && idle);
        const SkinButton::Look& a = active->GetLook();
        EXPECT_EQ(a.NormalImage.Value, searching ? kSearchSelected : kStopSelected);
        EXPECT_EQ(a.TextColor, QColor(0xFF, 0xFF, 0xFF));
        EXPECT_EQ(a.BkColor, QColor(0x4B, 0x74, 0xB4));
        EXPECT_EQ(a.HotBkColor, QColor(0x4B, 0x74, 0xB4));
        const SkinButton::Look& i = idle->GetLook();
        EXPECT_EQ(i.NormalImage.Value, searching ? kStopNormal : kSearchNormal);
        EXPECT_EQ(i.PushedImage.Value, searching ? kStopSelected : kSearchSelected);
        EXPECT_EQ(i.TextColor, QColor(0, 0, 0));
        EXPECT_EQ(i.PushedTextColor, QColor(0xFF, 0xFF, 0xFF));
        EXPECT_EQ(i.BkColor, QColor(0xB0, 0xBB, 0xC7));
        EXPECT_EQ(i.HotBkColor, QColor(0x80, 0x80, 0x80));
        EXPECT_EQ(i.PushedBkColor, QColor(0x4B, 0x74, 0xB4));
        EXPECT_FALSE(active->IsMouseEnabled());
        EXPECT_TRUE(idle->IsMouseEnabled());
        EXPECT_EQ(m_window->Feed().IsPaused(), !searching);
    }
};

TEST_F(MainWindow, StartsSearchingWithoutAClick)
{
    OpenWindow();
    ExpectSearching(true);
}

struct ClickCase
{
    const char* why;
    std::vector<const char*> clicks;
    bool searching;
};

const ClickCase kClickCases[] = {
    {"Stop stops", {"STOPBTN"}, false},
    {"Search after Stop searches again", {"STOPBTN", "SEARCHBTN"}, true},
    {"the active Stop button takes no second click", {"STOPBTN", "STOPBTN"}, false},
    {"the active Search button takes no click at start", {"SEARCHBTN"}, true},
    {"Refresh leaves the search state alone", {"STOPBTN", "REFRESHBTN"}, false},
};

TEST_F(MainWindow, SearchAndStopFollowRealClicks)
{
    for (const ClickCase& c : kClickCases) {
        SCOPED_TRACE(c.why);
        OpenWindow();
        for (const char* name : c.clicks)
            ClickAt(name);
        ExpectSearching(c.searching);
        m_window.reset();
    }
}

TEST_F(MainWindow, RefreshEmptiesTheListAndResetsTheStatusLine)
{
    OpenWindow();
    for (const char16_t* ip : {u"10.0.0.1", u"10.0.0.2", u"10.0.0.3"})
        Deliver(Record(ip));
    ASSERT_EQ(RowCount(), 3);
    ClickAt("STOPBTN");
    ClickAt("REFRESHBTN");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"0");
    EXPECT_FALSE(VisibleOf("EVENT2"));
    EXPECT_EQ(TextOf("EVENT3"), u"");
    EXPECT_TRUE(m_window->Feed().IsPaused());

    // A server listed before comes back as the first row.
    Deliver(Record(u"10.0.0.2"));
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"1");
    EXPECT_TRUE(VisibleOf("EVENT2"));
    EXPECT_EQ(TextOf("EVENT3"), u"10.0.0.2");
}

struct ActivationCase
{
    const char* why;
    const char16_t* port;
    const char* opened;  // nullptr: nothing is opened
};

const ActivationCase kActivations[] = {
    {"a good port opens the page", u"8000", "http://192.168.1.5:8000"},
    {"an empty port opens the address with its colon", u"", "http://192.168.1.5:"},
    {"a port that names another host opens nothing", u"80@elsewhere.example", nullptr},
    {"a port with a path opens nothing", u"80/../admin", nullptr},
};

TEST_F(MainWindow, DoubleClickOnARowOpensOnlySafeAddresses)
{
    for (const ActivationCase& c : kActivations) {
        SCOPED_TRACE(c.why);
        OpenWindow();
        Deliver(Record(u"10.0.0.9", u"other"));
        Deliver(Record(u"192.168.1.5", u"nas", c.port));
        QTableView* view = m_window->Servers().View();
        ASSERT_NE(view, nullptr);
        const QRect row = view->visualRect(view->model()->index(1, 0));
        ASSERT_TRUE(row.isValid());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
        QApplication::processEvents();
        if (c.opened) {
            ASSERT_EQ(m_opened.size(), 1u);
            EXPECT_EQ(m_opened.front(), QUrl(QString::fromUtf8(c.opened)));
        } else {
            EXPECT_TRUE(m_opened.empty());
        }
        m_opened.clear();
        m_window.reset();
    }
}

TEST_F(MainWindow, ActivationWithoutASelectionOpensNothing)
{
    OpenWindow();
    Deliver(Record(u"192.168.1.5"));
    m_window->OpenServerPage();
    EXPECT_TRUE(m_opened.empty());
}

TEST_F(MainWindow, CloseButtonMinimisesWhereNoTrayIconIsShown)
{
    OpenWindow();
    ASSERT_FALSE(m_window->Tray().TrayShown());  // offscreen has no tray
    ClickAt("CLOSEBTN");
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_window->isMinimized());
}

TEST_F(MainWindow, MaximiseButtonFollowsTheRealWindowState)
{
    OpenWindow();
    const SkinButton* max = Button("MAXBTN");
    ASSERT_NE(max, nullptr);
    const auto images = [max] {
        const SkinButton::Look& look = max->GetLook();
        return std::vector<QString>{look.NormalImage.Value, look.HotImage.Value, look.PushedImage.Value};
    };
    ClickAt("MAXBTN");
    EXPECT_TRUE(m_window->isMaximized());
    for (const QString& image : images())
        EXPECT_EQ(image, u"res\\common\\restore.png");

    // Restored by other means: the next click still maximises.
    m_window->showNormal();
    ClickAt("MAXBTN");
    EXPECT_TRUE(m_window->isMaximized());
    ClickAt("MAXBTN");
    EXPECT_FALSE(m_window->isMaximized());
    for (const QString& image : images())
        EXPECT_EQ(image, u"res\\common\\max_btn_normal.png");
}

// Alt+F4 or a taskbar's Close does what the close button does: with no
// tray (offscreen) the window is minimised, and the program goes on.
TEST_F(MainWindow, TheWindowManagersCloseDoesWhatTheCloseButtonDoes)
{
    OpenWindow();
    m_window->close();
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_window->isMinimized());
    QTimer::singleShot(100, qApp, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(RunLoopBriefly(), 7) << "nothing asked the loop to end";
}

}  // namespace
