#include "uilib/AttributeList.h"

#include <QStringList>

#include <climits>

namespace {
bool IsBlank(QChar c)
{
    return c.isSpace();
}

// name="value" pairs; a value is enclosed in one of `quotes`. Parsing stops
// at the first malformed pair, keeping the pairs before it.
std::vector<std::pair<QString, QString>> ParsePairs(const QString& text, QStringView quotes)
{
    std::vector<std::pair<QString, QString>> pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i]))
            ++i;
    };
    for (;;) {
        skipBlanks();
        if (i >= n)
            break;
        const qsizetype nameStart = i;
        while (i < n && text[i] != u'=' && !IsBlank(text[i]))
            ++i;
        const QString name = text.mid(nameStart, i - nameStart);
        skipBlanks();
        if (i >= n || text[i] != u'=' || name.isEmpty())
            break;
        ++i;
        skipBlanks();
        if (i >= n || !quotes.contains(text[i]))
            break;
        const QChar quote = text[i++];
        const qsizetype end = text.indexOf(quote, i);
        if (end < 0)
            break;
        pairs.emplace_back(name, text.mid(i, end - i));
        i = end + 1;
    }
    return pairs;
}
}  // namespace

std::vector<std::pair<QString, QString>> ParseAttributeList(const QString& text)
{
    return ParsePairs(text, u"\"");
}

std::optional<QColor> ParseColor(const QString& text)
{
    const QString t = text.trimmed();
    if (!t.startsWith(u'#') || (t.size() != 9 && t.size() != 7))
        return std::nullopt;
    bool ok = false;
    const uint value = t.mid(1).toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    QColor color = QColor::fromRgba(value);
    if (t.size() == 7)
        color.setAlpha(255);
    return color;
}

ImageSpec ParseImageSpec(const QString& text)
{
    ImageSpec image;
    const QString t = text.trimmed();
    if (!t.contains(u'=')) {
        image.File = t;
        return image;
    }
    // Inside an image value: file='...' dest='...', either quote.
    for (const auto& [name, value] : ParsePairs(t, u"'\"")) {
        if (name.compare(u"file", Qt::CaseInsensitive) == 0) {
            image.File = value;
        } else if (name.compare(u"dest", Qt::CaseInsensitive) == 0) {
            const QStringList parts = value.split(u',');
            if (parts.size() != 4)
                continue;
            int v[4] = {};
            bool allOk = true;
            for (int k = 0; k < 4; ++k) {
                bool ok = false;
                v[k] = parts[k].trimmed().toInt(&ok);
                allOk = allOk && ok;
            }
            // Widths and heights beyond int (a skin's "-2147483648,0,2147483647,1")
            // are no rectangle: computed in 64 bits, they are refused.
            const qint64 width = static_cast<qint64>(v[2]) - v[0];
            const qint64 height = static_cast<qint64>(v[3]) - v[1];
            if (allOk && width >= 0 && height >= 0 && width <= INT_MAX && height <= INT_MAX)
                image.Dest = QRect(QPoint(v[0], v[1]), QSize(static_cast<int>(width), static_cast<int>(height)));
        }
    }
    return image;
}
