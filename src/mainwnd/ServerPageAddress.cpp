#include "mainwnd/ServerPageAddress.h"

namespace {

// Up to `maxDigits` ASCII digits whose value lies in [min, max].
bool IsDecimalInRange(QStringView text, int maxDigits, int min, int max)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value >= min && value <= max;
}

bool IsDottedQuad(QStringView ip)
{
    int parts = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= ip.size(); ++i) {
        if (i < ip.size() && ip[i] != u'.')
            continue;
        if (!IsDecimalInRange(ip.mid(start, i - start), 3, 0, 255))
            return false;
        ++parts;
        start = i + 1;
    }
    return parts == 4;
}

}  // namespace

std::optional<QString> ServerPageAddress(QStringView ip, QStringView port)
{
    if (!IsDottedQuad(ip))
        return std::nullopt;
    // An empty port is kept as servers send it: "http://a.b.c.d:" is a valid
    // address of the default port.
    if (!port.isEmpty() && !IsDecimalInRange(port, 5, 1, 65535))
        return std::nullopt;
    QString address = QStringLiteral("http://");
    address.append(ip).append(u':').append(port);
    return address;
}
