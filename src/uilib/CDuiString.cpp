#include "uilib/CDuiString.h"

namespace {
qsizetype Length(const char16_t* text)
{
    qsizetype n = 0;
    while (text[n] != u'\0')
        ++n;
    return n;
}
}  // namespace

CDuiString::CDuiString(const char16_t* text)
    : QString(text ? QString::fromUtf16(text, Length(text)) : QString())
{
}

CDuiString::CDuiString(std::u16string_view text)
    : QString(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())))
{
}

int CDuiString::CompareNoCase(const CDuiString& other) const
{
    return QString::compare(*this, other, Qt::CaseInsensitive);
}

void CDuiString::MakeLower()
{
    *this = toLower();
}

void CDuiString::MakeUpper()
{
    *this = toUpper();
}

const char16_t* CDuiString::GetData() const
{
    return reinterpret_cast<const char16_t*>(utf16());
}

std::u16string CDuiString::ToU16String() const
{
    return std::u16string(reinterpret_cast<const char16_t*>(constData()), static_cast<std::size_t>(size()));
}
