#pragma once

#include <QString>

#include <string_view>

// The windows' string type: a QString (UTF-16) with the few extra calls the
// window code is written with. Converts implicitly from UTF-16 literals,
// std::u16string_view and QString; == compares exactly.
class CDuiString : public QString
{
public:
    CDuiString() = default;
    CDuiString(const QString& text)
        : QString(text)
    {
    }  // NOLINT: implicit by design
    CDuiString(QString&& text) noexcept
        : QString(std::move(text))
    {
    }                                      // NOLINT
    CDuiString(const char16_t* text);      // NOLINT; null → empty
    CDuiString(std::u16string_view text);  // NOLINT

    // 0 when equal ignoring case, else <0 or >0 like a case-folded compare.
    int CompareNoCase(const CDuiString& other) const;
    void MakeLower();
    void MakeUpper();
    bool IsEmpty() const { return isEmpty(); }
    int GetLength() const { return static_cast<int>(size()); }
    // Zero-terminated UTF-16 view, valid while the string is unchanged.
    const char16_t* GetData() const;
    std::u16string ToU16String() const;

    friend bool operator==(const CDuiString& a, const char16_t* b)
    {
        return static_cast<const QString&>(a) == static_cast<const QString&>(CDuiString(b));
    }
    friend bool operator!=(const CDuiString& a, const char16_t* b) { return !(a == b); }
};
