#include "uilib/CWindowWnd.h"

#include "uilib/CPaintManagerUI.h"
#include "uilib/MessageChannel.h"
#include "uilib/ResourcePath.h"
#include "uilib/WindowFrame.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <utility>

namespace {
const char kWindowProperty[] = "_vindrel_window";

bool OnGuiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}
}  // namespace

CWindowWnd::CWindowWnd()
    : m_channel(std::make_shared<MessageChannel>())
    , m_alive(std::make_shared<bool>(true))
{
}

// The derived window is gone already: no hooks run, the widget just goes.
CWindowWnd::~CWindowWnd()
{
    m_channel->Close();
    delete m_window.data();
}

HWND CWindowWnd::GetHWND() const
{
    return m_window.data();
}

CWindowWnd* CWindowWnd::FromHWND(HWND window)
{
    if (!window)
        return nullptr;
    const QVariant v = window->window()->property(kWindowProperty);
    return v.isValid() ? reinterpret_cast<CWindowWnd*>(v.value<quintptr>()) : nullptr;
}

bool CWindowWnd::Create(HWND parent, const CDuiString& name, DWORD, DWORD exStyle, int x, int y, int cx, int cy)
{
    if (m_window)
        return false;
    QWidget* window = CreateContent();
    if (!window)
        return false;
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if (exStyle & WS_EX_TOOLWINDOW)
        flags |= Qt::Tool;
    if (exStyle & WS_EX_TOPMOST)
        flags |= Qt::WindowStaysOnTopHint;
    window->setParent(parent, flags);
    window->setWindowTitle(name);
    window->setProperty(kWindowProperty, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
    if (x != CW_USEDEFAULT && y != CW_USEDEFAULT)
        window->move(x, y);
    if (cx != CW_USEDEFAULT && cy != CW_USEDEFAULT && cx > 0 && cy > 0)
        window->resize(cx, cy);
    m_window = window;
    m_closing = false;
    m_frame = new WindowFrame(this, window, m_channel);
    m_channel->Open(m_frame);
    // Senders waiting when the application quits are let go, not left hanging
    // on an event loop that will never run again.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, m_frame,
                     [channel = m_channel] { channel->Close(); });
    OnCreated();
    return true;
}

void CWindowWnd::CenterWindow()
{
    if (!m_window)
        return;
    QRect area;
    if (QWidget* parent = m_window->parentWidget(); parent && parent->isVisible())
        area = parent->window()->frameGeometry();
    else if (QScreen* screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QRect frame = m_window->frameGeometry();
    frame.moveCenter(area.center());
    m_window->move(frame.topLeft());
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus)
{
    if (!m_window)
        return;
    if (!show) {
        m_window->hide();
        return;
    }
    m_window->setAttribute(Qt::WA_ShowWithoutActivating, !takeFocus);
    m_window->show();
    if (takeFocus) {
        m_window->raise();
        m_window->activateWindow();
    }
}

void CWindowWnd::ShowWindowCommand(int command)
{
    if (!m_window)
        return;
    switch (command) {
    case SW_HIDE: m_window->hide(); break;
    case SW_SHOWMAXIMIZED:
        m_window->showMaximized();
        m_window->activateWindow();
        break;
    case SW_MINIMIZE: m_window->showMinimized(); break;
    case SW_SHOW:
        m_window->show();
        m_window->activateWindow();
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
    default:
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
        break;
    }
}

bool CWindowWnd::IsZoomed() const
{
    return m_window && m_window->isMaximized();
}

RECT CWindowWnd::GetWindowRect() const
{
    if (!m_window)
        return {};
    const QRect r = m_window->frameGeometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void CWindowWnd::MoveWindow(int x, int y, int width, int height, bool repaint)
{
    if (!m_window)
        return;
    m_window->setGeometry(x, y, std::max(0, width), std::max(0, height));
    if (repaint)
        m_window->update();
}

UINT CWindowWnd::ShowModal()
{
    // Without a window there is nothing that could ever end the loop.
    if (!m_window || m_closing)
        return IDCANCEL_CODE;
    QEventLoop loop;
    m_modalLoop = &loop;
    m_window->setWindowModality(Qt::ApplicationModal);
    ShowWindow(true, true);
    // `this` may be deleted when exec returns (OnFinalMessage).
    return static_cast<UINT>(loop.exec());
}

void CWindowWnd::Close(UINT code)
{
    if (!m_window || m_closing)
        return;
    m_closing = true;
    m_closeCode = code;
    m_window->hide();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive = std::weak_ptr<bool>(m_alive)] {
            if (!alive.expired())
                DestroyWindow();
        },
        Qt::QueuedConnection);
}

void CWindowWnd::DestroyWindow()
{
    if (!m_window)
        return;
    m_channel->Close();
    HandleMessage(WM_DESTROY, 0, 0);
    QWidget* window = m_window.data();
    m_window = nullptr;
    m_frame = nullptr;
    QEventLoop* loop = std::exchange(m_modalLoop, nullptr);
    const UINT code = m_closeCode;
    delete window;
    if (loop)
        loop->exit(static_cast<int>(code));
    OnFinalMessage(window);  // may delete this: nothing after it
}

void CWindowWnd::SetIcon(UINT resourceId)
{
    if (!m_window || resourceId != 128)
        return;
    const QIcon icon = LoadSkinImage(CPaintManagerUI::GetInstancePath() + QStringLiteral("res/vindrel.png"));
    if (!icon.isNull())
        m_window->setWindowIcon(icon);
}

LRESULT CWindowWnd::SendMessageW(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (OnGuiThread())
        return m_window && m_channel->IsOpen() ? HandleMessage(message, wParam, lParam) : 0;
    // A copy, so the channel outlives a sender that is still waiting on it
    // even if the window object goes meanwhile.
    const std::shared_ptr<MessageChannel> channel = m_channel;
    return channel->Send(message, wParam, lParam);
}

bool CWindowWnd::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_channel->Post(message, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_CLOSE) {
        Close(IDCANCEL_CODE);
        return 0;
    }
    if (message == WM_SYSCOMMAND && m_window) {
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: m_window->showMinimized(); break;
        case SC_MAXIMIZE: m_window->showMaximized(); break;
        case SC_RESTORE: m_window->showNormal(); break;
        case SC_CLOSE: HandleMessage(WM_CLOSE, 0, 0); break;
        default: break;
        }
    }
    return 0;
}

void CWindowWnd::OnFinalMessage(HWND) {}

QWidget* CWindowWnd::CreateContent()
{
    return new QWidget;
}

void CWindowWnd::DispatchPosted(UINT message, WPARAM wParam, LPARAM lParam)
{
    HandleMessage(message, wParam, lParam);
}
