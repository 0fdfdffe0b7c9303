#include "msgwnd/CMsgWnd.h"

#include "base/ExecutablePath.h"
#include "base/LocaleText.h"
#include "i18n/LanguagePreference.h"
#include "i18n/TextCatalogue.h"
#include "uilib/CControlUI.h"
#include "uilib/CResourceManager.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char16_t kSkinFile[] = u"message.xml";

// The folder of the executable without its final separator.
std::string ExecutableFolder()
{
    std::string dir = ExecutableDir();
    if (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

void WriteSkinLog(const std::string& dir)
{
    const std::string logDir = dir + "/log";
    // Failure (it exists already, or cannot be made) is no reason to stop.
    ::mkdir(logDir.c_str(), 0777);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        return;
    const std::string path = CMsgWnd::LogFilePath(dir + "/", local);
    std::FILE* log = std::fopen(path.c_str(), "a");
    if (!log)
        return;
    std::fprintf(log, "%s\n", dir.c_str());
    // Ended with a line end, so that a second window in the same second
    // starts its own line rather than gluing its folder onto this one.
    if (::access("message.xml", F_OK) != 0)
        std::fputs("no message.xml\n", log);
    std::fclose(log);
}
}  // namespace

CMsgWnd::CMsgWnd() = default;

CMsgWnd::~CMsgWnd() = default;

UINT CMsgWnd::ShowMessageWindow(HWND parent, const CDuiString& title, const CDuiString& text)
{
    auto* window = new CMsgWnd;
    const DWORD exStyle = parent ? WS_EX_TOOLWINDOW : WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    if (!window->Create(parent, u"msgwnd", WS_POPUP | WS_CLIPCHILDREN, exStyle)) {
        // No window, so no final message would ever delete it.
        delete window;
        return IDCANCEL_CODE;
    }
    window->CenterWindow();
    window->SetMessageTitle(title);
    window->SetMessageText(text);
    return window->ShowModal();  // the window has deleted itself by now
}

void CMsgWnd::SetMessageTitle(const CDuiString& title)
{
    if (title.isEmpty())
        return;
    if (CControlUI* control = m_pm.FindControl(u"MessageTitle"))
        control->SetText(title);
}

void CMsgWnd::SetMessageText(const CDuiString& text)
{
    if (text.isEmpty())
        return;
    if (CControlUI* control = m_pm.FindControl(u"MessageText"))
        control->SetText(text);
}

CDuiString CMsgWnd::GetWindowClassName() const
{
    return CDuiString(u"MsgWnd");
}

void CMsgWnd::OnFinalMessage(HWND window)
{
    // No text query may reach this object once it is gone.
    CResourceManager::GetInstance()->RemoveTextQueryInterface(this);
    WindowImplBase::OnFinalMessage(window);
    delete this;
}

void CMsgWnd::InitWindow()
{
    m_closeButton = m_pm.FindControl(u"CLOSEBTN");
    CResourceManager::GetInstance()->SetTextQueryInterface(this);
    CResourceManager::GetInstance()->SetLanguage(
        CDuiString(StartupLanguage(CPaintManagerUI::GetInstancePath().ToU16String())));
}

void CMsgWnd::OnClick(TNotifyUI& msg)
{
    if (!msg.Sender)
        return;
    const CDuiString name = msg.Sender->GetName();
    if (m_closeButton && msg.Sender == m_closeButton)
        Close(IDCANCEL_CODE);
    else if (name.CompareNoCase(u"OKBTN") == 0)
        Close(IDOK_CODE);
    else if (name.CompareNoCase(u"CANCELBTN") == 0)
        Close(IDCANCEL_CODE);
}

CDuiString CMsgWnd::GetSkinFile()
{
    const std::string dir = ExecutableFolder();
    WriteSkinLog(dir);
    return CDuiString(DecodeLocal8Bit(dir)) + QStringLiteral("/") + CDuiString(kSkinFile);
}

LRESULT CMsgWnd::OnSysCommand(UINT, WPARAM, LPARAM, BOOL& handled)
{
    handled = FALSE;
    return 0;
}

LRESULT CMsgWnd::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled)
{
    handled = FALSE;
    return 0;
}

void CMsgWnd::Notify(TNotifyUI& msg)
{
    WindowImplBase::Notify(msg);
}

const char16_t* CMsgWnd::QueryControlText(const char16_t* key, const char16_t*)
{
    const std::u16string language = CResourceManager::GetInstance()->GetLanguage().ToU16String();
    return QueryCatalogueText(TextTable::MessageWindow, key, language);
}

std::string CMsgWnd::LogFilePath(const std::string& dir, const std::tm& t)
{
    char name[96];
    std::snprintf(name, sizeof name, "log/%d-%d-%d-%d-%d-%d.txt", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec);
    return dir + name;
}
