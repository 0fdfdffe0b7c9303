#include "mainwnd/TrayMenus.h"

#include "i18n/LanguagePreference.h"
#include "mainwnd/VindrelFrameWnd.h"
#include "uilib/CMenuElementUI.h"
#include "uilib/CMenuUI.h"
#include "uilib/CMenuWnd.h"
#include "uilib/CResourceManager.h"
#include "uilib/MenuCmd.h"
#include "uilib/WindowFunctions.h"

namespace {

constexpr UINT kProgramIcon = 128;
constexpr DWORD kOpenUpwardsRight = eMenuAlignment_Left | eMenuAlignment_Bottom;  // 18

CMenuElementUI* MakePlainItem(const char16_t* name, const char16_t* text)
{
    auto* item = new CMenuElementUI;
    item->SetName(name);
    item->SetText(text);
    return item;
}

// Hands `item` to `menu`; an item the menu refuses is freed here.
void Append(CMenuUI& menu, CMenuElementUI* item)
{
    if (!menu.Add(item))
        delete item;
}

}  // namespace

TrayMenus::TrayMenus(CVindrelFrameWnd& window)
    : m_window(window)
{
}

TrayMenus::~TrayMenus() = default;

void TrayMenus::CreateTrayIcon()
{
    m_trayIcon.CreateTrayIcon(m_window.GetHWND(), kProgramIcon, u"Vindrel", 0);
}

CMenuWnd& TrayMenus::OpenMenu()
{
    m_menu.reset();
    m_menu = std::make_unique<CMenuWnd>();
    POINT cursor;
    GetCursorPos(&cursor);
    m_menu->Init(nullptr, u"menu.xml", cursor, &m_window.GetPaintManager(), nullptr, kOpenUpwardsRight);
    return *m_menu;
}

LRESULT TrayMenus::OnTrayNotify(WPARAM, LPARAM lParam)
{
    if (lParam != WM_LBUTTONUP && lParam != WM_RBUTTONUP)
        return 0;
    CMenuWnd& menu = OpenMenu();
    if (CMenuUI* root = menu.GetMenuUI()) {
        Append(*root, MakeMenuItem(u"show"));
        Append(*root, MakeMenuItem(u"exit"));
    }
    menu.ResizeMenu();
    return 0;
}

CMenuElementUI* TrayMenus::MakeMenuItem(std::u16string_view word)
{
    auto* item = new CMenuElementUI;
    item->SetResourceText(true);
    CDuiString upper(word);
    upper.MakeUpper();
    item->SetName(CDuiString(u"MENU_") + upper);
    // The catalogue compares keys ignoring case, so "menu_SHOW" finds menu_show.
    item->SetText(CDuiString(u"menu_") + upper);
    return item;
}

void TrayMenus::ShowLanguageMenu()
{
    CMenuWnd& menu = OpenMenu();
    if (CMenuUI* root = menu.GetMenuUI()) {
        Append(*root, MakePlainItem(u"LANG_ENGLISH", u"English"));
        Append(*root, MakePlainItem(u"LANG_CHINESE", u"\u7B80\u4F53\u4E2D\u6587"));
    }
    menu.ResizeMenu();
}

LRESULT TrayMenus::OnMenuCommand(WPARAM wParam)
{
    if (wParam == 0)
        return 0;
    auto* command = reinterpret_cast<MenuCmd*>(wParam);
    const CDuiString name(command->Name);
    m_window.GetPaintManager().DeletePtr(command);

    if (name.CompareNoCase(u"MENU_SHOW") == 0)
        m_window.ShowNormal();
    else if (name == u"MENU_EXIT")
        ExitApplication();
    else if (name == u"LANG_ENGLISH")
        SwitchLanguage(u"en");
    else if (name == u"LANG_CHINESE")
        SwitchLanguage(u"zh_cn");
    return 0;
}

void TrayMenus::SwitchLanguage(const CDuiString& code)
{
    CResourceManager* resources = CResourceManager::GetInstance();
    resources->SetLanguage(code);
    resources->ReloadText();
    // Two size changes make the layout take the new texts' sizes; the window
    // ends where it was.
    const RECT rect = m_window.GetWindowRect();
    m_window.MoveWindow(rect.left, rect.top, rect.right - rect.left + 1, rect.bottom - rect.top, true);
    m_window.MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, true);
    WriteLanguagePreference(m_window.SettingsDir().ToU16String(), code.ToU16String());
}

void TrayMenus::ExitApplication()
{
    if (m_trayIcon.Enabled())
        m_trayIcon.DeleteTrayIcon();
    PostQuitMessage(0);
}
