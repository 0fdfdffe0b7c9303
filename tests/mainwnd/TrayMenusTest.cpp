#include "MainWindowFixture.h"

#include "base/MessageTarget.h"
#include "i18n/LanguagePreference.h"
#include "uilib/CMenuElementUI.h"
#include "uilib/CMenuUI.h"
#include "uilib/CMenuWnd.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <tuple>

using namespace Qt::StringLiterals;

namespace {

using TrayMenus = MainWindowFixture;

// Names and shown texts of the current menu's items.
std::vector<std::pair<QString, QString>> MenuItems(CVindrelFrameWnd& window)
{
    std::vector<std::pair<QString, QString>> items;
    CMenuWnd* menu = window.Tray().CurrentMenu();
    CMenuUI* root = menu ? menu->GetMenuUI() : nullptr;
    for (int i = 0; root && i < root->GetCount(); ++i)
        items.emplace_back(root->GetItemAt(i)->GetName(), root->GetItemAt(i)->GetText());
    return items;
}

using Items = std::vector<std::pair<QString, QString>>;
const Items kEnglishTrayMenu = {{u"MENU_SHOW"_s, u"Show"_s}, {u"MENU_EXIT"_s, u"Exit"_s}};
const Items kChineseTrayMenu = {{u"MENU_SHOW"_s, u"显示主窗口"_s}, {u"MENU_EXIT"_s, u"退出"_s}};
const Items kLanguageMenu = {{u"LANG_ENGLISH"_s, u"English"_s}, {u"LANG_CHINESE"_s, u"简体中文"_s}};

struct TrayCase
{
    const char* why;
    LPARAM mouseMessage;
    bool opensMenu;
};

const TrayCase kTrayCases[] = {
    {"left button released", 514, true},    {"right button released", 517, true}, {"pointer moved", 512, false},
    {"left button pressed", 513, false},    {"left double click", 515, false},    {"right button pressed", 516, false},
    {"middle button released", 520, false},
};

TEST_F(TrayMenus, OnlyAButtonReleaseOverTheIconOpensTheTrayMenu)
{
    OpenWindow(u"en");
    for (const TrayCase& c : kTrayCases) {
        SCOPED_TRACE(c.why);
        m_window->SendMessageW(WindowMessage::kTrayNotify, 0, c.mouseMessage);
        if (c.opensMenu) {
            EXPECT_EQ(MenuItems(*m_window), kEnglishTrayMenu);
            ASSERT_NE(m_window->Tray().CurrentMenu(), nullptr);
            EXPECT_TRUE(m_window->Tray().CurrentMenu()->IsOpen());
            m_window->Tray().CurrentMenu()->Close();
        } else {
            const CMenuWnd* menu = m_window->Tray().CurrentMenu();
            EXPECT_TRUE(menu == nullptr || !menu->IsOpen());
        }
    }
}

TEST_F(TrayMenus, OpeningAMenuReplacesTheOneBefore)
{
    OpenWindow(u"en");
    m_window->SendMessageW(WindowMessage::kTrayNotify, 0, 517);
    m_window->Tray().ShowLanguageMenu();
    EXPECT_EQ(MenuItems(*m_window), kLanguageMenu);
    m_window->SendMessageW(WindowMessage::kTrayNotify, 0, 514);
    EXPECT_EQ(MenuItems(*m_window), kEnglishTrayMenu);
}

struct CommandCase
{
    const char* why;
    const char16_t* name;
    bool shows;
};

const CommandCase kShowCases[] = {
    {"the tray's own Show item", u"MENU_SHOW", true},
    {"Show matches in lower case", u"menu_show", true},
    {"Show matches in mixed case", u"Menu_Show", true},
    {"Exit in lower case is not Exit, and does nothing", u"menu_exit", false},
    {"an item of menu.xml's own does nothing", u"MENU_ABOUT", false},
    {"an empty name does nothing", u"", false},
};

TEST_F(TrayMenus, CommandsByNameOnAHiddenWindow)
{
    for (const CommandCase& c : kShowCases) {
        SCOPED_TRACE(c.why);
        OpenWindow(u"en");
        QWidget* top = m_window->GetHWND();
        m_window->ShowWindowCommand(SW_SHOWMAXIMIZED);
        m_window->ShowWindowCommand(SW_HIDE);
        SendMenuCommand(c.name);
        EXPECT_EQ(top->isVisible(), c.shows);
        if (c.shows) {
            EXPECT_FALSE(top->isMaximized() || top->isMinimized());
        }
        // Nothing asked the loop to end.
        QTimer::singleShot(50, qApp, [] { CPaintManagerUI::PostQuitMessage(7); });
        EXPECT_EQ(RunLoopBriefly(), 7);
        m_window.reset();
    }
}

TEST_F(TrayMenus, ANullCommandRecordIsIgnored)
{
    OpenWindow(u"en");
    EXPECT_EQ(m_window->SendMessageW(WindowMessage::kMenuCommand, 0, 0), 0);
}

TEST_F(TrayMenus, ExitEndsTheMessageLoopWithCodeZero)
{
    OpenWindow(u"en");
    m_window->ShowWindowCommand(SW_HIDE);
    SendMenuCommand(u"MENU_EXIT");
    EXPECT_EQ(RunLoopBriefly(), 0);
}

TEST_F(TrayMenus, MenuItemsAreNamedAndKeyedFromTheWord)
{
    for (const char16_t* word : {u"show", u"exit"}) {
        std::unique_ptr<CMenuElementUI> item(::TrayMenus::MakeMenuItem(word));
        CDuiString upper(word);
        upper.MakeUpper();
        EXPECT_EQ(item->GetName(), u"MENU_"_s + upper);
        EXPECT_EQ(item->GetRawText(), u"menu_"_s + upper);
        EXPECT_TRUE(item->IsResourceText());
    }
}

TEST_F(TrayMenus, LanguageSwitchRetextsKeepsTheGeometryAndIsStored)
{
    OpenWindow(u"zh_cn");
    EXPECT_EQ(TextOf(u"SEARCHBTN"), u"搜索");
    m_window->MoveWindow(40, 30, 900, 560);
    const RECT before = m_window->GetWindowRect();
    const std::u16string dir = (m_settings.path() + u'/').toStdU16String();

    struct Step
    {
        const char16_t* command;
        const char16_t* code;
        QString search;
        QString total;
        Items trayMenu;
    };
    const Step steps[] = {
        {u"LANG_ENGLISH", u"en", u"Search"_s, u"Total find "_s, kEnglishTrayMenu},
        {u"LANG_ENGLISH", u"en", u"Search"_s, u"Total find "_s, kEnglishTrayMenu},
        {u"LANG_CHINESE", u"zh_cn", u"搜索"_s, u"共找到 "_s, kChineseTrayMenu},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(QString::fromUtf16(step.command).toStdString());
        SendMenuCommand(step.command);
        EXPECT_EQ(TextOf(u"SEARCHBTN"), step.search);
        EXPECT_EQ(TextOf(u"Total_Label1"), step.total);
        const RECT after = m_window->GetWindowRect();
        EXPECT_EQ(std::tie(after.left, after.top, after.right, after.bottom),
                  std::tie(before.left, before.top, before.right, before.bottom));
        std::u16string stored;
        EXPECT_TRUE(ReadLanguagePreference(dir, stored));
        EXPECT_EQ(stored, step.code);
        m_window->SendMessageW(WindowMessage::kTrayNotify, 0, 517);
        EXPECT_EQ(MenuItems(*m_window), step.trayMenu);
        m_window->Tray().ShowLanguageMenu();
        EXPECT_EQ(MenuItems(*m_window), kLanguageMenu);
    }
}

TEST_F(TrayMenus, ASwitchWithoutLangXmlHoldsForThisRunOnly)
{
    OpenWindow(u"");  // no lang.xml: Chinese
    EXPECT_EQ(TextOf(u"STOPBTN"), u"停止");
    SendMenuCommand(u"LANG_ENGLISH");
    EXPECT_EQ(TextOf(u"STOPBTN"), u"Stop");
    EXPECT_FALSE(QFile::exists(m_settings.path() + u"/lang.xml"_s));
}

}  // namespace
