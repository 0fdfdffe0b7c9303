#include "mainwnd/VindrelFrameWnd.h"

#include "base/MessageTarget.h"
#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"
#include "i18n/LanguagePreference.h"
#include "i18n/TextCatalogue.h"
#include "mainwnd/ServerPageAddress.h"
#include "uilib/CButtonUI.h"
#include "uilib/CListContainerElementUI.h"
#include "uilib/CListUI.h"
#include "uilib/CResourceManager.h"
#include "uilib/WindowFunctions.h"

#include <QDesktopServices>

namespace {

// The look of the button of the current search state, and of the other one.
constexpr const char16_t* kSearchActiveLook =
    u"normalimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FFFFFFFF\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FF4B74B4\" hotbkcolor=\"#FF4B74B4\"";
constexpr const char16_t* kStopActiveLook =
    u"normalimage=\"file='res\\mainwnd\\stop_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FFFFFFFF\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FF4B74B4\" hotbkcolor=\"#FF4B74B4\"";
constexpr const char16_t* kSearchIdleLook =
    u"normalimage=\"file='res\\mainwnd\\search_btn_normal.png' dest='10,13,26,29'\" "
    u"pushedimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FF000000\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FFB0BBC7\" hotbkcolor=\"#FF808080\" pushedbkcolor=\"#FF4B74B4\" "
    u"pushedtextcolor=\"#FFFFFFFF\"";
constexpr const char16_t* kStopIdleLook =
    u"normalimage=\"file='res\\mainwnd\\stop_btn_normal.png' dest='10,13,26,29'\" "
    u"pushedimage=\"file='res\\mainwnd\\stop_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FF000000\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FFB0BBC7\" hotbkcolor=\"#FF808080\" pushedbkcolor=\"#FF4B74B4\" "
    u"pushedtextcolor=\"#FFFFFFFF\"";

void OpenWithDesktop(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

}  // namespace

CVindrelFrameWnd::CVindrelFrameWnd()
    : CVindrelFrameWnd(Options{})
{
}

CVindrelFrameWnd::CVindrelFrameWnd(Options options)
    : m_options(std::move(options))
    , m_settingsDir(m_options.settingsDir.IsEmpty() ? CPaintManagerUI::GetInstancePath() : m_options.settingsDir)
    , m_trayMenus(*this)
    , m_serverList(m_pm, *this)
{
    if (!m_options.openUrl)
        m_options.openUrl = OpenWithDesktop;
}

CVindrelFrameWnd::~CVindrelFrameWnd()
{
    m_queue->SetWake({});
}

void CVindrelFrameWnd::DrainQueue()
{
    for (const ServerSighting& sighting : m_queue->Take())
        m_serverList.AddServerRow(sighting.record);
    if (!m_queue->Arm())
        DrainQueue();
}

void CVindrelFrameWnd::OnFinalMessage(HWND window)
{
    WindowImplBase::OnFinalMessage(window);
}

void CVindrelFrameWnd::InitWindow()
{
    CResourceManager* resources = CResourceManager::GetInstance();
    resources->SetTextQueryInterface(this);
    resources->SetLanguage(CDuiString(StartupLanguage(m_settingsDir.ToU16String())));
    resources->ReloadText();
    m_serverList.ApplySkinColumnWidths();
    m_trayMenus.CreateTrayIcon();
    if (m_options.startDiscovery) {
        m_queue->SetWake([this, window = QPointer<QWidget>(GetHWND())] {
            QMetaObject::invokeMethod(window, [this] { DrainQueue(); }, Qt::QueuedConnection);
        });
        m_engine.Start(m_queue);
    }
    StartSearch();
}

LRESULT CVindrelFrameWnd::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL&)
{
    CWindowWnd::HandleMessage(message, wParam, lParam);
    return 0;
}

LRESULT CVindrelFrameWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled)
{
    handled = FALSE;
    switch (message) {
    case WindowMessage::kDestroy: PostQuitMessage(0); break;
    case WindowMessage::kTrayNotify: m_trayMenus.OnTrayNotify(wParam, lParam); break;
    case WindowMessage::kMenuCommand: m_trayMenus.OnMenuCommand(wParam); break;
    case WindowMessage::kServerFound:
        if (wParam != 0)
            m_serverList.AddServerRow(*reinterpret_cast<const ServerRecord*>(wParam));
        break;
    default: break;
    }
    return 0;
}

void CVindrelFrameWnd::Notify(TNotifyUI& msg)
{
    if (msg.Type == u"click" && msg.Sender) {
        const CDuiString name = msg.Sender->GetName();
        if (name == u"MINBTN")
            MinimizeWindow();
        else if (name == u"MAXBTN")
            ToggleMaximize();
        else if (name == u"CLOSEBTN")
            HideWindow();
        else if (name == u"SEARCHBTN")
            StartSearch();
        else if (name == u"STOPBTN")
            StopSearch();
        else if (name == u"REFRESHBTN")
            RefreshList();
        else if (name == u"LANGUAGEBTN")
            m_trayMenus.ShowLanguageMenu();
    } else if (msg.Type == u"itemactivate") {
        OpenServerPage();
    }
    WindowImplBase::Notify(msg);
}

const char16_t* CVindrelFrameWnd::QueryControlText(const char16_t* key, const char16_t*)
{
    const CDuiString language = CResourceManager::GetInstance()->GetLanguage();
    return QueryCatalogueText(TextTable::MainWindow, key, language.ToU16String());
}

void CVindrelFrameWnd::MinimizeWindow()
{
    ShowWindowCommand(SW_MINIMIZE);
}

void CVindrelFrameWnd::HideWindow()
{
    // Without a tray icon a hidden window could never come back, and the
    // running instance would turn every new start away.
    if (!m_trayMenus.TrayShown()) {
        MinimizeWindow();
        return;
    }
    ShowWindowCommand(SW_HIDE);
}

void CVindrelFrameWnd::ShowNormal()
{
    ShowWindowCommand(SW_SHOWNORMAL);
}

void CVindrelFrameWnd::ToggleMaximize()
{
    const bool wasZoomed = IsZoomed();
    ShowWindowCommand(wasZoomed ? SW_RESTORE : SW_SHOWMAXIMIZED);
    const CDuiString image = wasZoomed ? u"res\\common\\max_btn_normal.png" : u"res\\common\\restore.png";
    if (auto* button = dynamic_cast<CButtonUI*>(FindControl(u"MAXBTN"))) {
        button->SetNormalImage(image);
        button->SetHotImage(image);
        button->SetPushedImage(image);
    }
}

void CVindrelFrameWnd::ShowSearchState(const char16_t* active, const char16_t* activeLook, const char16_t* idle,
                                       const char16_t* idleLook)
{
    CControlUI* activeButton = FindControl(active);
    if (!activeButton)
        return;
    activeButton->ApplyAttributeList(activeLook);
    activeButton->SetMouseEnabled(false);
    if (CControlUI* idleButton = FindControl(idle)) {
        idleButton->SetMouseEnabled(true);
        idleButton->ApplyAttributeList(idleLook);
        // The pointer usually rests on the button just clicked; a move to the
        // other button's corner lets the library settle both hover states.
        const RECT pos = idleButton->GetPos();
        SendMessageW(WM_MOUSEMOVE, 0, MakeLParam(pos.left, pos.top));
    }
}

void CVindrelFrameWnd::StartSearch()
{
    if (!FindControl(u"SEARCHBTN"))
        return;
    ShowSearchState(u"SEARCHBTN", kSearchActiveLook, u"STOPBTN", kStopIdleLook);
    m_engine.SetPaused(false);
}

void CVindrelFrameWnd::StopSearch()
{
    if (!FindControl(u"STOPBTN"))
        return;
    ShowSearchState(u"STOPBTN", kStopActiveLook, u"SEARCHBTN", kSearchIdleLook);
    m_engine.SetPaused(true);
}

void CVindrelFrameWnd::RefreshList()
{
    m_serverList.RemoveAll();
}

void CVindrelFrameWnd::OpenServerPage()
{
    auto* list = dynamic_cast<CListUI*>(FindControl(u"SERVERLIST"));
    if (!list)
        return;
    const int selected = list->GetCurSel();
    const CListContainerElementUI* row = selected >= 0 ? list->GetRowAt(selected) : nullptr;
    if (!row)
        return;
    const CControlUI* ip = row->FindSubControl(u"IPLABEL");
    const CControlUI* port = row->FindSubControl(u"PORTLABEL");
    if (!ip || !port)
        return;
    // The texts came from the network: no page for anything but an address
    // and a port (see ServerPageAddress).
    if (const std::optional<QString> address = ServerPageAddress(ip->GetText(), port->GetText()))
        m_options.openUrl(QUrl(*address, QUrl::StrictMode));
}
