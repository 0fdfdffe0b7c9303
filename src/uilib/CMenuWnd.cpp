#include "uilib/CMenuWnd.h"

#include "uilib/CMenuElementUI.h"
#include "uilib/CMenuUI.h"
#include "uilib/CPaintManagerUI.h"
#include "uilib/CResourceManager.h"
#include "uilib/CWindowWnd.h"
#include "uilib/MenuCmd.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

#include <algorithm>

namespace {
template <std::size_t N>
void CopyText(char16_t (&field)[N], const QString& text)
{
    const std::size_t n = std::min<std::size_t>(N - 1, static_cast<std::size_t>(text.size()));
    std::copy_n(reinterpret_cast<const char16_t*>(text.constData()), n, field);
    field[n] = u'\0';
}
}  // namespace

// The open menu: its widget, its items and where its picks go.
class MenuPopup final : public QObject, private CResourceManager::TextUser
{
public:
    MenuPopup(std::unique_ptr<QMenu> menu, CPaintManagerUI* manager, POINT point, DWORD alignment)
        : m_menu(std::move(menu))
        , m_root(std::make_unique<CMenuUI>(m_menu.get()))
        , m_target(manager ? manager->GetPaintWindow() : nullptr)
        , m_point(point)
        , m_alignment(alignment)
    {
        QObject::connect(m_menu.get(), &QMenu::triggered, this, [this](QAction* action) { Picked(action); });
        CResourceManager::GetInstance()->AddTextUser(this);
    }

    ~MenuPopup() override
    {
        CResourceManager::GetInstance()->RemoveTextUser(this);
        m_root.reset();
        m_menu.reset();
    }

    CMenuUI* Root() const { return m_root.get(); }
    QMenu* Menu() const { return m_menu.get(); }

    void Place()
    {
        m_menu->adjustSize();
        const QSize size = m_menu->sizeHint();
        QPoint topLeft(m_point.x, m_point.y);
        if (m_alignment & eMenuAlignment_Right)
            topLeft.setX(m_point.x - size.width());
        if (m_alignment & eMenuAlignment_Bottom)
            topLeft.setY(m_point.y - size.height());
        // Keep it on the screen, as a menu at a tray icon near an edge must.
        if (QScreen* screen = QGuiApplication::screenAt(QPoint(m_point.x, m_point.y))) {
            const QRect area = screen->availableGeometry();
            topLeft.setX(std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - size.width() + 1)));
            topLeft.setY(std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() - size.height() + 1)));
        }
        if (m_menu->isVisible()) {
            m_menu->setGeometry(QRect(topLeft, size));
        } else if (!m_shownOnce && !m_menu->actions().isEmpty()) {
            // An empty menu waits for its items (ResizeMenu); a menu once
            // closed stays closed.
            m_shownOnce = true;
            m_menu->popup(topLeft);
        }
    }

private:
    void ReloadText() override
    {
        m_root->ReloadText();
        if (m_menu->isVisible())
            Place();
    }

    void Picked(QAction* action)
    {
        CMenuElementUI* item = nullptr;
        for (int i = 0; i < m_root->GetCount(); ++i) {
            auto* candidate = static_cast<CMenuElementUI*>(m_root->GetItemAt(i));
            if (candidate->GetAction() == action)
                item = candidate;
        }
        CWindowWnd* window = CWindowWnd::FromHWND(m_target.data());
        if (!item || !window)
            return;
        auto* record = new MenuCmd{};
        CopyText(record->Name, item->GetName());
        CopyText(record->UserData, item->GetUserData());
        CopyText(record->Text, item->GetText());
        record->Checked = item->IsChecked() ? 1 : 0;
        // Queued, as a pick is: the receiver runs after the menu has closed.
        if (!window->PostMessageW(1145, reinterpret_cast<WPARAM>(record), 0))
            delete record;
    }

    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<CMenuUI> m_root;
    QPointer<QWidget> m_target;  // the manager's window
    POINT m_point;
    DWORD m_alignment;
    bool m_shownOnce = false;
};

CMenuWnd::CMenuWnd() = default;

CMenuWnd::~CMenuWnd() = default;

bool CMenuWnd::Init(CMenuElementUI*, const CDuiString& file, POINT point, CPaintManagerUI* manager,
                    std::map<CDuiString, bool>* checks, DWORD alignment)
{
    m_popup.reset();
    auto root = LoadSkinOrReport(ResolveResourcePath(file));
    auto* menu = qobject_cast<QMenu*>(root.get());
    if (!menu)
        return false;
    root.release();
    m_popup = std::make_unique<MenuPopup>(std::unique_ptr<QMenu>(menu), manager, point, alignment);
    if (checks) {
        for (int i = 0; i < m_popup->Root()->GetCount(); ++i) {
            auto* item = static_cast<CMenuElementUI*>(m_popup->Root()->GetItemAt(i));
            if (const auto it = checks->find(item->GetName()); it != checks->end())
                item->SetChecked(it->second);
        }
    }
    m_popup->Place();
    return true;
}

CMenuUI* CMenuWnd::GetMenuUI() const
{
    return m_popup ? m_popup->Root() : nullptr;
}

void CMenuWnd::ResizeMenu()
{
    if (m_popup)
        m_popup->Place();
}

void CMenuWnd::Close()
{
    if (m_popup)
        m_popup->Menu()->close();
}

bool CMenuWnd::IsOpen() const
{
    return m_popup && m_popup->Menu()->isVisible();
}

HWND CMenuWnd::GetHWND() const
{
    return m_popup ? m_popup->Menu() : nullptr;
}
