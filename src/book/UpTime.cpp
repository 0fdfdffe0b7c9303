#include "book/UpTime.h"

#include <array>
#include <cstdint>
#include <string>

namespace {

struct Unit
{
    std::u16string_view word;
    std::int64_t seconds;
    int slot;  // units of one slot may appear once between them
};

constexpr std::int64_t kMinute = 60, kHour = 3600, kDay = 86400, kWeek = 7 * kDay;
constexpr std::int64_t kLimit = 1000000 * kDay;

constexpr std::array kUnits = {
    Unit{u"s", 1, 0},          Unit{u"sec", 1, 0},         Unit{u"secs", 1, 0},       Unit{u"second", 1, 0},
    Unit{u"seconds", 1, 0},    Unit{u"秒", 1, 0},           Unit{u"m", kMinute, 1},    Unit{u"min", kMinute, 1},
    Unit{u"mins", kMinute, 1}, Unit{u"minute", kMinute, 1}, Unit{u"minutes", kMinute, 1},
    Unit{u"分", kMinute, 1},    Unit{u"分钟", kMinute, 1},    Unit{u"h", kHour, 2},      Unit{u"hr", kHour, 2},
    Unit{u"hrs", kHour, 2},    Unit{u"hour", kHour, 2},     Unit{u"hours", kHour, 2},  Unit{u"小时", kHour, 2},
    Unit{u"时", kHour, 2},      Unit{u"d", kDay, 3},         Unit{u"day", kDay, 3},     Unit{u"days", kDay, 3},
    Unit{u"天", kDay, 3},       Unit{u"日", kDay, 3},         Unit{u"w", kWeek, 4},      Unit{u"wk", kWeek, 4},
    Unit{u"week", kWeek, 4},   Unit{u"weeks", kWeek, 4},    Unit{u"周", kWeek, 4},
};
constexpr int kClockSlot = 5;

bool IsSeparator(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u',' || c == u'\u00A0' || c == u'\u3000' ||
           c == u'，';
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || c >= 0x2E80; }

class Reader
{
public:
    explicit Reader(std::u16string text) : m_text(std::move(text)) {}

    std::optional<std::int64_t> Parse()
    {
        SkipSeparators();
        if (m_text.compare(m_at, 2, u"up") == 0 && m_at + 2 < m_text.size() &&
            (IsSeparator(m_text[m_at + 2]) || IsDigit(m_text[m_at + 2])))
            m_at += 2;
        std::int64_t total = 0;
        int tokens = 0;
        bool bare = false;  // a number without a unit: only allowed alone
        for (;;) {
            SkipSeparators();
            if (m_at == m_text.size())
                break;
            if (!IsDigit(m_text[m_at]))
                return std::nullopt;
            const auto number = Number(12);
            if (!number)
                return std::nullopt;
            ++tokens;
            std::optional<std::int64_t> part;
            if (m_at < m_text.size() && m_text[m_at] == u':')
                part = Clock(*number);
            else
                part = WithUnit(*number, bare);
            if (!part)
                return std::nullopt;
            total += *part;
            if (total > kLimit)
                return std::nullopt;
        }
        if (tokens == 0 || (bare && tokens != 1))
            return std::nullopt;
        return total;
    }

private:
    void SkipSeparators()
    {
        while (m_at < m_text.size() && IsSeparator(m_text[m_at]))
            ++m_at;
    }

    std::optional<std::int64_t> Number(std::size_t maxDigits)
    {
        const std::size_t begin = m_at;
        std::int64_t value = 0;
        while (m_at < m_text.size() && IsDigit(m_text[m_at])) {
            if (m_at - begin == maxDigits)
                return std::nullopt;
            value = value * 10 + (m_text[m_at] - u'0');
            ++m_at;
        }
        return m_at == begin ? std::nullopt : std::optional<std::int64_t>(value);
    }

    bool Take(int slot)
    {
        const bool free = !(m_used & (1u << slot));
        m_used |= 1u << slot;
        return free;
    }

    // hours:minutes or hours:minutes:seconds; `hours` is read already.
    std::optional<std::int64_t> Clock(std::int64_t hours)
    {
        if (!Take(kClockSlot) || hours > kLimit / kHour)
            return std::nullopt;
        std::int64_t total = hours * kHour;
        for (int part = 0; part < 2 && m_at < m_text.size() && m_text[m_at] == u':'; ++part) {
            ++m_at;
            const auto value = Number(2);
            if (!value || *value >= 60)
                return std::nullopt;
            total += *value * (part == 0 ? kMinute : 1);
        }
        return total;
    }

    std::optional<std::int64_t> WithUnit(std::int64_t number, bool& bare)
    {
        while (m_at < m_text.size() && (m_text[m_at] == u' ' || m_text[m_at] == u'\t'))
            ++m_at;
        const std::size_t begin = m_at;
        while (m_at < m_text.size() && IsLetter(m_text[m_at]))
            ++m_at;
        const std::u16string_view word(m_text.data() + begin, m_at - begin);
        if (word.empty()) {
            bare = true;
            return number;
        }
        for (const Unit& unit : kUnits) {
            if (unit.word == word) {
                if (!Take(unit.slot) || number > kLimit / unit.seconds)
                    return std::nullopt;
                return number * unit.seconds;
            }
        }
        return std::nullopt;
    }

    std::u16string m_text;
    std::size_t m_at = 0;
    unsigned m_used = 0;
};

}  // namespace

std::optional<std::chrono::seconds> ParseUpTime(std::u16string_view text)
{
    std::u16string lower(text);
    for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    const auto total = Reader(std::move(lower)).Parse();
    if (!total)
        return std::nullopt;
    return std::chrono::seconds(*total);
}
