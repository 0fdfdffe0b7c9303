#pragma once

#include "uilib/CDuiString.h"

#include <vector>

class IQueryControlText;

// Process-wide text resources: the current language and the text sources
// that answer catalogue keys. GUI thread only.
class CResourceManager
{
public:
    static CResourceManager* GetInstance();

    // The source installed last answers every query. Null is ignored.
    void SetTextQueryInterface(IQueryControlText* source);
    // Withdraws `source` wherever it stands; the one installed before it
    // answers again. Safe to call for a source never installed.
    void RemoveTextQueryInterface(IQueryControlText* source);
    IQueryControlText* GetTextQueryInterface() const;

    void SetLanguage(const CDuiString& language);
    CDuiString GetLanguage() const { return m_language; }

    // The text for `key` from the current source, or the key itself.
    CDuiString GetText(const CDuiString& key) const;
    // Resolves every live key again: windows, list headers, menu items.
    void ReloadText();

    // Library side: whatever shows keys registers to be reloaded.
    class TextUser
    {
    public:
        virtual void ReloadText() = 0;

    protected:
        virtual ~TextUser() = default;
    };
    void AddTextUser(TextUser* user);
    void RemoveTextUser(TextUser* user);

private:
    CResourceManager() = default;
    std::vector<IQueryControlText*> m_sources;  // not owned; last answers
    std::vector<TextUser*> m_users;             // not owned
    CDuiString m_language;
};
