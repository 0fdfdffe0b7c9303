#include "uilib/WindowImplBase.h"

#include "uilib/CListUI.h"
#include "uilib/CResourceManager.h"
#include "uilib/ControlHolder.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinButton.h"
#include "uilib/SkinLoader.h"

#include <QItemSelectionModel>
#include <QTreeView>

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase()
{
    CResourceManager::GetInstance()->RemoveTextQueryInterface(this);
    m_pm.Detach();
}

QWidget* WindowImplBase::CreateContent()
{
    auto root = LoadSkinOrReport(ResolveResourcePath(GetSkinFile()));
    if (!root)
        return nullptr;
    m_captionHeight = std::max(0, root->property("caption").toInt());
    m_sizeBoxWidth = std::max(0, root->property("sizebox").toInt());
    BuildControls(root.get());

    auto buttons = root->findChildren<SkinButton*>();
    for (SkinButton* button : buttons) {
        QObject::connect(button, &QAbstractButton::clicked, button, [this, button] {
            TNotifyUI msg;
            msg.Type = CDuiString(u"click");
            msg.Sender = CControlUI::FromWidget(button);
            if (msg.Sender)
                Notify(msg);
        });
    }
    auto views = root->findChildren<QTreeView*>();
    for (QTreeView* view : views) {
        QObject::connect(view, &QAbstractItemView::activated, view, [this, view](const QModelIndex& index) {
            TNotifyUI msg;
            msg.Type = CDuiString(u"itemactivate");
            msg.Sender = CControlUI::FromWidget(view);
            msg.WParam = static_cast<WPARAM>(index.row());
            if (msg.Sender)
                Notify(msg);
        });
        if (QItemSelectionModel* selection = view->selectionModel()) {
            QObject::connect(selection, &QItemSelectionModel::currentRowChanged, view,
                             [this, view](const QModelIndex& current) {
                                 TNotifyUI msg;
                                 msg.Type = CDuiString(u"itemselect");
                                 msg.Sender = CControlUI::FromWidget(view);
                                 msg.WParam = static_cast<WPARAM>(current.row());
                                 if (msg.Sender)
                                     Notify(msg);
                             });
        }
    }
    return root.release();
}

void WindowImplBase::OnCreated()
{
    m_pm.Attach(this, GetHWND());
    InitWindow();
    // Keys are resolved when shown: the window's text source and language
    // are in place only now that InitWindow has run.
    m_pm.ReloadText();
}

void WindowImplBase::Notify(TNotifyUI& msg)
{
    if (msg.Type == u"click")
        OnClick(msg);
}

void WindowImplBase::OnClick(TNotifyUI&) {}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled)
{
    handled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled)
{
    handled = TRUE;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void WindowImplBase::OnFinalMessage(HWND)
{
    m_pm.Detach();
}

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    BOOL handled = TRUE;
    LRESULT result = 0;
    if (message == WM_SYSCOMMAND) {
        result = OnSysCommand(message, wParam, lParam, handled);
        if (handled)
            return result;
    }
    handled = FALSE;
    result = HandleCustomMessage(message, wParam, lParam, handled);
    if (handled)
        return result;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

const char16_t* WindowImplBase::QueryControlText(const char16_t*, const char16_t*)
{
    return nullptr;
}

CControlUI* WindowImplBase::CreateControl(const CDuiString&)
{
    return nullptr;
}
