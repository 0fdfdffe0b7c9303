#include "uilib/CPaintManagerUI.h"

#include "base/ExecutablePath.h"
#include "base/LocaleText.h"
#include "uilib/CControlUI.h"
#include "uilib/ControlHolder.h"
#include "uilib/MenuCmd.h"

#include <QApplication>

namespace {
void* g_instance = nullptr;
QString& ResourcePath()
{
    static QString path;
    return path;
}
}  // namespace

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI()
{
    Detach();
}

void CPaintManagerUI::SetInstance(void* instance)
{
    g_instance = instance;
}

void* CPaintManagerUI::GetInstance()
{
    return g_instance;
}

CDuiString CPaintManagerUI::GetInstancePath()
{
    static const CDuiString path = [] {
        CDuiString p = CDuiString(DecodeLocal8Bit(ExecutableDir()));
        if (!p.endsWith(u'/'))
            p.append(u'/');
        return p;
    }();
    return path;
}

void CPaintManagerUI::SetResourcePath(const CDuiString& path)
{
    QString p = path;
    p.replace(u'\\', u'/');
    if (!p.isEmpty() && !p.endsWith(u'/'))
        p.append(u'/');
    ResourcePath() = p;
}

CDuiString CPaintManagerUI::GetResourcePath()
{
    return ResourcePath().isEmpty() ? GetInstancePath() : CDuiString(ResourcePath());
}

int CPaintManagerUI::MessageLoop()
{
    if (!QCoreApplication::instance())
        return 0;
    return QCoreApplication::exec();
}

void CPaintManagerUI::PostQuitMessage(int code)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // Queued like a quit message: the handler that asks finishes first, and a
    // request made before the loop runs still ends it.
    QMetaObject::invokeMethod(
        app, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

CControlUI* CPaintManagerUI::FindControl(const CDuiString& name) const
{
    if (name.isEmpty() || !m_root)
        return nullptr;
    if (m_root->objectName() == name)
        return CControlUI::FromWidget(m_root);
    return CControlUI::FromWidget(m_root->findChild<QWidget*>(name));
}

CControlUI* CPaintManagerUI::GetRoot() const
{
    return CControlUI::FromWidget(m_root);
}

HWND CPaintManagerUI::GetPaintWindow() const
{
    return m_root.data();
}

void CPaintManagerUI::DeletePtr(void* block)
{
    // The menu command record is the only block the library hands out.
    delete static_cast<MenuCmd*>(block);
}

void CPaintManagerUI::ReloadText()
{
    if (!m_root)
        return;
    const auto holders = m_root->findChildren<ControlHolder*>();
    for (ControlHolder* holder : holders)
        holder->Control()->ReloadText();
}

void CPaintManagerUI::Attach(CWindowWnd* window, QWidget* root)
{
    m_window = window;
    m_root = root;
    CResourceManager::GetInstance()->AddTextUser(this);
}

void CPaintManagerUI::Detach()
{
    CResourceManager::GetInstance()->RemoveTextUser(this);
    m_window = nullptr;
    m_root = nullptr;
}
