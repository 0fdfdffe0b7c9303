#include "MainWindowFixture.h"

#include "uilib/CButtonUI.h"
#include "uilib/CListUI.h"
#include "uilib/SkinButton.h"

#include <QTest>
#include <QTreeView>
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
    const SkinButton* Button(const char16_t* name) const
    {
        const CControlUI* control = m_window->FindControl(name);
        return control ? qobject_cast<const SkinButton*>(control->GetWidget()) : nullptr;
    }

    // A real click at the button's place in the window, routed as the
    // window system would route it.
    void ClickAt(const char16_t* name)
    {
        const SkinButton* button = Button(name);
        ASSERT_NE(button, nullptr);
        QWidget* top = m_window->GetHWND();
        const QPoint at = button->mapTo(top, button->rect().center());
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
    }

    // The active look of the current state's button and the idle look of
    // the other, and which of them takes mouse input.
    void ExpectSearching(bool searching)
    {
        const SkinButton* active = Button(searching ? u"SEARCHBTN" : u"STOPBTN");
        const SkinButton* idle = Button(searching ? u"STOPBTN" : u"SEARCHBTN");
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
        EXPECT_FALSE(m_window->FindControl(searching ? u"SEARCHBTN" : u"STOPBTN")->IsMouseEnabled());
        EXPECT_TRUE(m_window->FindControl(searching ? u"STOPBTN" : u"SEARCHBTN")->IsMouseEnabled());
        EXPECT_EQ(m_window->Engine().IsPaused(), !searching);
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
    std::vector<const char16_t*> clicks;
    bool searching;
};

const ClickCase kClickCases[] = {
    {"Stop stops", {u"STOPBTN"}, false},
    {"Search after Stop searches again", {u"STOPBTN", u"SEARCHBTN"}, true},
    {"the active Stop button takes no second click", {u"STOPBTN", u"STOPBTN"}, false},
    {"the active Search button takes no click at start", {u"SEARCHBTN"}, true},
    {"Refresh leaves the search state alone", {u"STOPBTN", u"REFRESHBTN"}, false},
};

TEST_F(MainWindow, SearchAndStopFollowRealClicks)
{
    for (const ClickCase& c : kClickCases) {
        SCOPED_TRACE(c.why);
        OpenWindow();
        for (const char16_t* name : c.clicks)
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
    ClickAt(u"STOPBTN");
    ClickAt(u"REFRESHBTN");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(TextOf(u"SERVERNUMLABEL2"), u"0");
    EXPECT_FALSE(VisibleOf(u"EVENT2"));
    EXPECT_EQ(TextOf(u"EVENT3"), u"");
    EXPECT_TRUE(m_window->Engine().IsPaused());

    // A server listed before comes back as the first row.
    Deliver(Record(u"10.0.0.2"));
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(TextOf(u"SERVERNUMLABEL2"), u"1");
    EXPECT_TRUE(VisibleOf(u"EVENT2"));
    EXPECT_EQ(TextOf(u"EVENT3"), u"10.0.0.2");
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
        auto* list = dynamic_cast<CListUI*>(m_window->FindControl(u"SERVERLIST"));
        ASSERT_NE(list, nullptr);
        list->FlushPendingRows();
        auto* view = qobject_cast<QTreeView*>(list->GetWidget());
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
    TNotifyUI activate{u"itemactivate", m_window->FindControl(u"SERVERLIST")};
    m_window->Notify(activate);
    EXPECT_TRUE(m_opened.empty());
}

TEST_F(MainWindow, CloseButtonMinimisesWhereNoTrayIconIsShown)
{
    OpenWindow();
    ASSERT_FALSE(m_window->Tray().TrayShown());  // offscreen has no tray
    ClickAt(u"CLOSEBTN");
    QWidget* top = m_window->GetHWND();
    EXPECT_TRUE(top->isVisible());
    EXPECT_TRUE(top->isMinimized());
}

TEST_F(MainWindow, MaximiseButtonFollowsTheRealWindowState)
{
    OpenWindow();
    auto* max = dynamic_cast<CButtonUI*>(m_window->FindControl(u"MAXBTN"));
    ASSERT_NE(max, nullptr);
    ClickAt(u"MAXBTN");
    EXPECT_TRUE(m_window->IsZoomed());
    for (const CDuiString& image : {max->GetNormalImage(), max->GetHotImage(), max->GetPushedImage()})
        EXPECT_EQ(image, u"res\\common\\restore.png");

    // Restored by other means: the next click still maximises.
    m_window->ShowWindowCommand(SW_RESTORE);
    ClickAt(u"MAXBTN");
    EXPECT_TRUE(m_window->IsZoomed());
    ClickAt(u"MAXBTN");
    EXPECT_FALSE(m_window->IsZoomed());
    for (const CDuiString& image : {max->GetNormalImage(), max->GetHotImage(), max->GetPushedImage()})
        EXPECT_EQ(image, u"res\\common\\max_btn_normal.png");
}

TEST_F(MainWindow, DestroyingTheWindowEndsTheMessageLoop)
{
    OpenWindow();
    m_window->Close();
    EXPECT_EQ(RunLoopBriefly(), 0);
}

}  // namespace
