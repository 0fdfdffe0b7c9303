#pragma once

// A window's text source: answers a text key with the text to show in the
// current language (CResourceManager::GetLanguage), or null when the key is
// not its own. The returned text must outlive the call (static storage).
// Called on the GUI thread only.
class IQueryControlText
{
public:
    virtual const char16_t* QueryControlText(const char16_t* key, const char16_t* type) = 0;

protected:
    ~IQueryControlText() = default;
};
