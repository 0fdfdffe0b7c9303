#include "MainWindowFixture.h"

#include "i18n/LanguagePreference.h"
#include "mainwnd/TrayMenus.h"
#include "uilib/SkinText.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTimer>

#include <tuple>

using namespace Qt::StringLiterals;

namespace {

using TrayMenus = MainWindowFixture;
using Items = std::vector<std::pair<QString, QString>>;

// Names and shown texts of a menu's items.
Items ItemsOf(const QMenu* menu)
{
    Items items;
    const auto actions = menu->actions();
    for (const QAction* action : actions)
        items.emplace_back(action->objectName(), action->text());
    return items;
}

const Items kEnglishTrayMenu = {{u"MENU_SHOW"_s, u"Show"_s}, {u"MENU_EXIT"_s, u"Exit"_s}};
const Items kChineseTrayMenu = {{u"MENU_SHOW"_s, u"显示主窗口"_s}, {u"MENU_EXIT"_s, u"退出"_s}};
const Items kLanguageMenu = {{u"LANG_ENGLISH"_s, u"English"_s}, {u"LANG_CHINESE"_s, u"简体中文"_s}};

struct TrayCase
{
    const char* why;
    QSystemTrayIcon::ActivationReason reason;
    bool opensMenu;
};

const TrayCase kTrayCases[] = {
    {"left button released", QSystemTrayIcon::Trigger, true}, {"right button released", QSystemTrayIcon::Context, true},
    {"double click", QSystemTrayIcon::DoubleClick, false},    {"middle button", QSystemTrayIcon::MiddleClick, false},
    {"anything else", QSystemTrayIcon::Unknown, false},
};

TEST_F(TrayMenus, OnlyAButtonReleaseOverTheIconOpensTheTrayMenu)
{
    OpenWindow(u"en");
    QSystemTrayIcon* icon = m_window->Tray().Icon();
    ASSERT_NE(icon, nullptr);
    QMenu* menu = m_window->Tray().TrayMenu();
    for (const TrayCase& c : kTrayCases) {
        SCOPED_TRACE(c.why);
        emit icon->activated(c.reason);
        EXPECT_EQ(menu->isVisible(), c.opensMenu);
        EXPECT_EQ(ItemsOf(menu), kEnglishTrayMenu);
        menu->close();
    }
}

TEST_F(TrayMenus, OpeningAMenuClosesTheOneBefore)
{
    OpenWindow(u"en");
    QMenu* tray = m_window->Tray().TrayMenu();
    QMenu* language = m_window->Tray().LanguageMenu();
    m_window->Tray().ShowTrayMenu();
    m_window->Tray().ShowLanguageMenu();
    EXPECT_FALSE(tray->isVisible());
    EXPECT_TRUE(language->isVisible());
    EXPECT_EQ(ItemsOf(language), kLanguageMenu);
    m_window->Tray().ShowTrayMenu();
    EXPECT_TRUE(tray->isVisible());
    EXPECT_FALSE(language->isVisible());
}

// A skin's own menu items act when they bear one of the program's names.
const char* const kMenuWithItemsOfItsOwn = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>M</class><widget class="QMenu" name="M">
<addaction name="menu_show"/><addaction name="Menu_Show"/><addaction name="menu_exit"/><addaction name="MENU_ABOUT"/>
<action name="menu_show"><property name="text"><string>a</string></property></action>
<action name="Menu_Show"><property name="text"><string>b</string></property></action>
<action name="menu_exit"><property name="text"><string>c</string></property></action>
<action name="MENU_ABOUT"><property name="text"><string>d</string></property></action>
</widget></ui>)";

struct CommandCase
{
    const char* why;
    const char* name;
    bool shows;
};

const CommandCase kShowCases[] = {
    {"the tray's own Show item", "MENU_SHOW", true},
    {"Show is known in lower case", "menu_show", true},
    {"Show is known in mixed case", "Menu_Show", true},
    {"Exit in lower case is not Exit, and does nothing", "menu_exit", false},
    {"an item of menu.xml's own does nothing", "MENU_ABOUT", false},
};

TEST_F(TrayMenus, ItemsActByNameOnAHiddenWindow)
{
    for (const CommandCase& c : kShowCases) {
        SCOPED_TRACE(c.why);
        OpenWindow(u"en", CopyOfSkins({}, QString::fromUtf8(kMenuWithItemsOfItsOwn)));
        m_window->showMaximized();
        m_window->hide();
        QAction* item = MenuItem(QString::fromLatin1(c.name));
        ASSERT_NE(item, nullptr);
        item->trigger();
        EXPECT_EQ(m_window->isVisible(), c.shows);
        if (c.shows) {
            EXPECT_FALSE(m_window->isMaximized() || m_window->isMinimized());
        }
        // Nothing asked the loop to end.
        QTimer::singleShot(50, qApp, [] { QCoreApplication::exit(7); });
        EXPECT_EQ(RunLoopBriefly(), 7);
        m_window.reset();
    }
}

TEST_F(TrayMenus, ExitEndsTheEventLoopWithCodeZero)
{
    OpenWindow(u"en");
    m_window->hide();
    MenuItem(u"MENU_EXIT"_s)->trigger();
    EXPECT_EQ(RunLoopBriefly(), 0);
    EXPECT_EQ(m_window->Tray().Icon(), nullptr) << "the icon goes with Exit";
}

TEST_F(TrayMenus, MenuItemsAreNamedAndKeyedFromTheWord)
{
    QObject owner;
    for (const char* word : {"show", "exit"}) {
        const QAction* item = ::TrayMenus::MakeMenuItem(QString::fromLatin1(word), &owner);
        const QString upper = QString::fromLatin1(word).toUpper();
        EXPECT_EQ(item->objectName(), u"MENU_"_s + upper);
        EXPECT_EQ(TextKey(item), u"menu_"_s + upper);
    }
}

TEST_F(TrayMenus, LanguageSwitchRetextsKeepsTheGeometryAndIsStored)
{
    OpenWindow(u"zh_cn");
    EXPECT_EQ(TextOf("SEARCHBTN"), u"搜索");
    m_window->setGeometry(40, 30, 900, 560);
    const QRect before = m_window->geometry();
    const std::u16string dir = (m_settings.path() + u'/').toStdU16String();

    struct Step
    {
        const char* command;
        const char16_t* code;
        QString search;
        QString total;
        Items trayMenu;
    };
    const Step steps[] = {
        {"LANG_ENGLISH", u"en", u"Search"_s, u"Total find "_s, kEnglishTrayMenu},
        {"LANG_ENGLISH", u"en", u"Search"_s, u"Total find "_s, kEnglishTrayMenu},
        {"LANG_CHINESE", u"zh_cn", u"搜索"_s, u"共找到 "_s, kChineseTrayMenu},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        MenuItem(QString::fromLatin1(step.command))->trigger();
        EXPECT_EQ(TextOf("SEARCHBTN"), step.search);
        EXPECT_EQ(TextOf("Total_Label1"), step.total);
        EXPECT_EQ(m_window->geometry(), before);
        std::u16string stored;
        EXPECT_TRUE(ReadLanguagePreference(dir, stored));
        EXPECT_EQ(stored, step.code);
        EXPECT_EQ(ItemsOf(m_window->Tray().TrayMenu()), step.trayMenu);
        EXPECT_EQ(ItemsOf(m_window->Tray().LanguageMenu()), kLanguageMenu);
    }
}

TEST_F(TrayMenus, ASwitchWithoutLangXmlHoldsForThisRunOnly)
{
    OpenWindow(u"");  // no lang.xml: Chinese
    EXPECT_EQ(TextOf("STOPBTN"), u"停止");
    MenuItem(u"LANG_ENGLISH"_s)->trigger();
    EXPECT_EQ(TextOf("STOPBTN"), u"Stop");
    EXPECT_FALSE(QFile::exists(m_settings.path() + u"/lang.xml"_s));
}

}  // namespace
