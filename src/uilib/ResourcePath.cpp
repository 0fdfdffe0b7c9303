#include "uilib/ResourcePath.h"

#include "uilib/CPaintManagerUI.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>

QString ResolveResourcePath(const QString& path)
{
    QString p = path;
    p.replace(u'\\', u'/');
    if (p.isEmpty() || QDir::isAbsolutePath(p))
        return p;
    return CPaintManagerUI::GetResourcePath() + p;
}

QIcon LoadSkinImage(const QString& path)
{
    static QHash<QString, QIcon> cache;
    const QString file = ResolveResourcePath(path);
    if (file.isEmpty())
        return {};
    if (const auto it = cache.constFind(file); it != cache.cend())
        return *it;
    QIcon icon;
    // QIcon::isNull says nothing about whether the file loaded; ask the reader.
    if (QImageReader(file).canRead())
        icon = QIcon(file);
    cache.insert(file, icon);
    return icon;
}
