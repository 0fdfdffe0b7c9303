#include "uilib/ResourcePath.h"

#include "base/ExecutablePath.h"
#include "base/LocaleText.h"

#include <QDir>
#include <QHash>
#include <QImageReader>

namespace {

QString WithSlashes(QString path)
{
    path.replace(u'\\', u'/');
    if (!path.isEmpty() && !path.endsWith(u'/'))
        path.append(u'/');
    return path;
}

QString& ChosenFolder()
{
    static QString folder;
    return folder;
}

}  // namespace

QString ResourceFolder()
{
    if (!ChosenFolder().isEmpty())
        return ChosenFolder();
    static const QString executableFolder = WithSlashes(QString::fromStdU16String(DecodeLocal8Bit(ExecutableDir())));
    return executableFolder;
}

void SetResourceFolder(const QString& folder)
{
    ChosenFolder() = WithSlashes(folder);
}

QString ResolveResourcePath(const QString& path)
{
    QString p = path;
    p.replace(u'\\', u'/');
    if (p.isEmpty() || QDir::isAbsolutePath(p))
        return p;
    return ResourceFolder() + p;
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
