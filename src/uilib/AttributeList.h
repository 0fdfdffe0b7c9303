#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

// Parsers of the attribute-list text that windows hand to ApplyAttributeList.
// They never throw and never fail as a whole: malformed parts are skipped.

// `name="value"` pairs in order, separated by blanks. A pair without '=' or
// without its closing quote ends the parse (the pairs before it stay).
std::vector<std::pair<QString, QString>> ParseAttributeList(const QString& text);

// "#AARRGGBB" (or "#RRGGBB", opaque); nullopt for anything else.
std::optional<QColor> ParseColor(const QString& text);

// An image attribute: either a bare path or "file='path' dest='l,t,r,b'".
// The path keeps its '\' separators; dest is right/bottom exclusive.
struct ImageSpec
{
    QString File;
    std::optional<QRect> Dest;
};
ImageSpec ParseImageSpec(const QString& text);
