#include "uilib/CMenuUI.h"

#include "uilib/CMenuElementUI.h"

#include <QAction>
#include <QMenu>

CMenuUI::CMenuUI(QMenu* menu)
    : CContainerUI(menu)
    , m_menu(menu)
{
    // Items the menu file holds come first, as items of their own.
    const auto actions = menu->actions();
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        auto item = std::make_unique<CMenuElementUI>();
        item->SetName(action->objectName());
        item->SetResourceText(action->property("resourceText").toBool());
        item->SetText(action->text());
        item->SetUserData(action->property("userdata").toString());
        item->Bind(action);
        m_items.push_back(std::move(item));
    }
}

CMenuUI::~CMenuUI() = default;

CControlUI* CMenuUI::FindSubControl(const CDuiString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (const auto& item : m_items) {
        if (item->GetName() == name)
            return item.get();
    }
    return nullptr;
}

int CMenuUI::GetCount() const
{
    return static_cast<int>(m_items.size());
}

CControlUI* CMenuUI::GetItemAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

bool CMenuUI::Add(CControlUI* control)
{
    auto* item = dynamic_cast<CMenuElementUI*>(control);
    if (!item || item->GetAction())
        return false;
    item->Bind(m_menu->addAction(QString()));
    m_items.emplace_back(item);
    return true;
}

void CMenuUI::RemoveAll()
{
    for (auto& item : m_items) {
        if (QAction* action = item->GetAction()) {
            m_menu->removeAction(action);
            delete action;
        }
    }
    m_items.clear();
}

void CMenuUI::ReloadText()
{
    for (auto& item : m_items)
        item->ReloadText();
}
