#include "uilib/CTrayIcon.h"

#include "uilib/CPaintManagerUI.h"
#include "uilib/CWindowWnd.h"
#include "uilib/ResourcePath.h"

#include <QPointer>
#include <QSystemTrayIcon>

namespace {
UINT MouseMessage(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger: return WM_LBUTTONUP;
    case QSystemTrayIcon::Context: return WM_RBUTTONUP;
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONUP;
    default: return 0;
    }
}
}  // namespace

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon()
{
    DeleteTrayIcon();
}

void CTrayIcon::CreateTrayIcon(HWND window, UINT iconId, const CDuiString& tip, UINT message)
{
    DeleteTrayIcon();
    if (!window)
        return;
    m_message = message == 0 ? WM_USER + 1 : message;
    QIcon icon;
    if (iconId == 128)
        icon = LoadSkinImage(CPaintManagerUI::GetInstancePath() + QStringLiteral("res/vindrel.png"));
    if (icon.isNull())
        icon = window->windowIcon();
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(tip);
    QObject::connect(
        m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
        [target = QPointer<QWidget>(window), iconId, message = m_message](QSystemTrayIcon::ActivationReason reason) {
            const UINT mouse = MouseMessage(reason);
            CWindowWnd* wnd = CWindowWnd::FromHWND(target.data());
            // Posted: the handler may well delete this icon.
            if (mouse && wnd)
                wnd->PostMessageW(message, iconId, static_cast<LPARAM>(mouse));
        });
    m_icon->show();
}

void CTrayIcon::DeleteTrayIcon()
{
    if (!m_icon)
        return;
    m_icon->hide();
    m_icon.reset();
}

bool CTrayIcon::Enabled() const
{
    // isVisible() says true even where no notification area exists.
    return m_icon && m_icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

bool CTrayIcon::SetTooltipText(const CDuiString& tip)
{
    if (!m_icon)
        return false;
    m_icon->setToolTip(tip);
    return true;
}

CDuiString CTrayIcon::GetTooltipText() const
{
    return m_icon ? CDuiString(m_icon->toolTip()) : CDuiString();
}

RECT CTrayIcon::GetIconRect() const
{
    if (!Enabled())
        return {};
    const QRect r = m_icon->geometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
