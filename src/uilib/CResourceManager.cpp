#include "uilib/CResourceManager.h"

#include "uilib/IQueryControlText.h"

#include <algorithm>

CResourceManager* CResourceManager::GetInstance()
{
    static CResourceManager instance;
    return &instance;
}

void CResourceManager::SetTextQueryInterface(IQueryControlText* source)
{
    if (!source)
        return;
    // Installing a source again moves it to the top rather than stacking it twice.
    std::erase(m_sources, source);
    m_sources.push_back(source);
}

void CResourceManager::RemoveTextQueryInterface(IQueryControlText* source)
{
    std::erase(m_sources, source);
}

IQueryControlText* CResourceManager::GetTextQueryInterface() const
{
    return m_sources.empty() ? nullptr : m_sources.back();
}

void CResourceManager::SetLanguage(const CDuiString& language)
{
    m_language = language;
}

CDuiString CResourceManager::GetText(const CDuiString& key) const
{
    if (key.isEmpty())
        return key;
    IQueryControlText* source = GetTextQueryInterface();
    if (!source)
        return key;
    const char16_t* text = source->QueryControlText(key.GetData(), u"");
    return text ? CDuiString(text) : key;
}

void CResourceManager::ReloadText()
{
    // A reload may create or drop users (a menu closing); walk a copy.
    const auto users = m_users;
    for (TextUser* user : users) {
        if (std::find(m_users.begin(), m_users.end(), user) != m_users.end())
            user->ReloadText();
    }
}

void CResourceManager::AddTextUser(TextUser* user)
{
    if (user && std::find(m_users.begin(), m_users.end(), user) == m_users.end())
        m_users.push_back(user);
}

void CResourceManager::RemoveTextUser(TextUser* user)
{
    std::erase(m_users, user);
}
