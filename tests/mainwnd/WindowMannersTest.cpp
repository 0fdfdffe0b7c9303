// The window as a keyboard, a screen reader and a window manager meet it.
#include "MainWindowFixture.h"

#include "mainwnd/RowActions.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/TrayMenus.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace {

class Manners : public MainWindowFixture
{
protected:
    void Open(const std::u16string& language = u"en")
    {
        OpenWindow(language);
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }
    QString Focused() const
    {
        const QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QString();
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(m_window->windowHandle(), static_cast<Qt::Key>(key), modifiers);
    }
    static QString Accessible(QWidget* widget, QAccessible::Text text)
    {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(text) : QStringLiteral("<none>");
    }
};

TEST_F(Manners, TabRunsFromTheButtonsToTheFilterToTheList)
{
    Open();
    m_window->Control(u"SEARCHBTN"_s)->setFocus(Qt::TabFocusReason);
    std::vector<QString> order{Focused()};
    for (int i = 0; i < 6; ++i) {
        Key(Qt::Key_Tab);
        order.push_back(Focused());
    }
    EXPECT_EQ(order, (std::vector<QString>{u"SEARCHBTN"_s, u"STOPBTN"_s, u"REFRESHBTN"_s, u"LANGUAGEBTN"_s,
                                           u"MENUBTN"_s, u"FILTEREDIT"_s, u"SERVERLIST"_s}));
}

TEST_F(Manners, EveryActionHasItsKey)
{
    Open();
    Deliver(Record(u"10.0.0.1"));
    Deliver(Record(u"10.0.0.2", u"nas", u"8000"));
    QTableView* view = m_window->Servers().View();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(1, 0));

    Key(Qt::Key_Return);
    ASSERT_EQ(m_opened.size(), 1u) << "Enter opens the selected row's page";
    EXPECT_EQ(m_opened[0], QUrl(u"http://10.0.0.2:8000"_s));

    Key(Qt::Key_Delete);
    EXPECT_EQ(RowCount(), 2) << "Delete removes nothing";

    Key(Qt::Key_Menu);
    EXPECT_TRUE(m_window->Rows().Menu()->isVisible()) << "the menu key opens the row's menu";
    m_window->Rows().Menu()->close();

    Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Focused(), u"FILTEREDIT"_s);

    Key(Qt::Key_F5);
    EXPECT_EQ(RowCount(), 0) << "F5 is Refresh";

    QTimer::singleShot(0, m_window.get(), [this] { Key(Qt::Key_Q, Qt::ControlModifier); });
    EXPECT_EQ(RunLoopBriefly(), 0) << "Ctrl+Q is Exit, tray or no tray";
}

TEST_F(Manners, TheLanguageMenuDropsBelowItsButtonWithTheCurrentLanguageChecked)
{
    for (const auto& [language, checked] : {std::pair{u"en", "LANG_ENGLISH"}, std::pair{u"zh_cn", "LANG_CHINESE"}}) {
        SCOPED_TRACE(checked);
        Open(language);
        QWidget* button = m_window->Control(u"LANGUAGEBTN"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QMenu* menu = m_window->Tray().LanguageMenu();
        ASSERT_TRUE(menu->isVisible());
        EXPECT_GE(menu->geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y() - 1);
        const QRect screen = button->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(menu->geometry())) << "inside the screen";
        for (const QAction* item : menu->actions())
            EXPECT_EQ(item->isChecked(), item->objectName() == QString::fromLatin1(checked))
                << item->objectName().toStdString();
        menu->close();
        m_window.reset();
    }
}

TEST_F(Manners, ADoubleClickOnTheTrayIconShowsTheWindow)
{
    Open();
    m_window->hide();
    emit m_window->Tray().Icon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_FALSE(m_window->Tray().TrayMenu()->isVisible());
}

TEST_F(Manners, EveryTextFollowsTheLanguageTheSubtitleIncluded)
{
    Open(u"en");
    EXPECT_EQ(TextOf("SUBTITLETEXT"), u"Korvan Server Finder"_s);
    EXPECT_EQ(qobject_cast<QLineEdit*>(m_window->Control(u"FILTEREDIT"_s))->placeholderText(), u"Filter"_s);
    MenuItem(u"LANG_CHINESE"_s)->trigger();
    EXPECT_EQ(TextOf("SUBTITLETEXT"), u"Korvan \u670D\u52A1\u5668\u641C\u7D22"_s);
    EXPECT_EQ(qobject_cast<QLineEdit*>(m_window->Control(u"FILTEREDIT"_s))->placeholderText(), u"\u7B5B\u9009"_s);
    EXPECT_EQ(m_window->Control(u"MENUBTN"_s)->toolTip(), u"\u83DC\u5355"_s);
}

struct PageCase
{
    const char* why;
    const char16_t* port;
    bool browser;
    QString status;
};

const PageCase kPageCases[] = {
    {"a good port opens the page, the line keeps its state", u"8080", true, u"Searching\u2026"_s},
    {"a port that is no number", u"abc", true,
     u"Cannot open the web page of 10.0.0.1: \"http://10.0.0.1:abc\" is no page address"_s},
    {"port 0", u"0", true, u"Cannot open the web page of 10.0.0.1: \"http://10.0.0.1:0\" is no page address"_s},
    {"no browser", u"80", false, u"Cannot open the web page of 10.0.0.1: no web browser is set up"_s},
};

TEST_F(Manners, APageThatCannotBeOpenedSaysWhyInTheStatusLine)
{
    for (const PageCase& c : kPageCases) {
        SCOPED_TRACE(c.why);
        Open();
        m_browserWorks = c.browser;
        Deliver(Record(u"10.0.0.1", u"nas", c.port));
        QTableView* view = m_window->Servers().View();
        view->setCurrentIndex(view->model()->index(0, 0));
        m_window->OpenServerPage();
        EXPECT_EQ(TextOf("STATUSTEXT"), c.status);
        m_window.reset();
    }
}

// Run at 1x and, as xvfb_window_at_2x, with QT_SCALE_FACTOR=2: the window and
// its title bar stay inside the screen's available area.
TEST_F(Manners, TheWindowIsPlacedInsideTheAvailableScreenArea)
{
    Open();
    m_window->PlaceOnScreen();
    const QRect area = m_window->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(m_window->frameGeometry()))
        << "window " << m_window->frameGeometry().width() << "x" << m_window->frameGeometry().height() << " on "
        << area.width() << "x" << area.height();
}

TEST_F(Manners, ScreenReadersHearEveryControlAndRowInTheWindowsLanguage)
{
    struct Case
    {
        const char16_t* language;
        QString search, searchDescription, filter, list, cell;
    };
    const Case cases[] = {
        {u"en", u"Search"_s, u"Take in the servers' replies"_s, u"Filter"_s, u"Servers found"_s, u"IP: 10.0.0.1"_s},
        {u"zh_cn", u"\u641C\u7D22"_s, u"\u63A5\u6536\u670D\u52A1\u5668\u7684\u5E94\u7B54"_s, u"\u7B5B\u9009"_s,
         u"\u627E\u5230\u7684\u670D\u52A1\u5668"_s, u"IP\u5730\u5740: 10.0.0.1"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search.toStdString());
        Open(c.language);
        Deliver(Record(u"10.0.0.1"));
        QTest::qWait(50);  // the view lays its rows out
        EXPECT_EQ(Accessible(m_window->Control(u"SEARCHBTN"_s), QAccessible::Name), c.search);
        EXPECT_EQ(Accessible(m_window->Control(u"SEARCHBTN"_s), QAccessible::Description), c.searchDescription);
        EXPECT_EQ(Accessible(m_window->Control(u"FILTEREDIT"_s), QAccessible::Name), c.filter);
        EXPECT_EQ(Accessible(m_window->Control(u"SERVERLIST"_s), QAccessible::Name), c.list);
        for (const char* button : {"LANGUAGEBTN", "MENUBTN", "MINBTN", "MAXBTN", "CLOSEBTN"})
            EXPECT_FALSE(Accessible(m_window->Control(QString::fromLatin1(button)), QAccessible::Name).isEmpty())
                << button;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(m_window->Control(u"SERVERLIST"_s));
        ASSERT_NE(list, nullptr);
        ASSERT_NE(list->tableInterface(), nullptr);
        QAccessibleInterface* cell = list->tableInterface()->cellAt(0, 1);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(QAccessible::Name), c.cell);
        m_window.reset();
    }
}

}  // namespace
