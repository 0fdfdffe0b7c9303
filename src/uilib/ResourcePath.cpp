#include "uilib/ResourcePath.h"

#include "base/ExecutablePath.h"
#include "base/LocaleText.h"

#include <QCoreApplication>
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

QHash<QString, QIcon>& IconCache()
{
    static QHash<QString, QIcon> cache;
    return cache;
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
    QHash<QString, QIcon>& cache = IconCache();
    const QString file = ResolveResourcePath(path);
    if (file.isEmpty())
        return {};
    if (const auto it = cache.constFind(file); it != cache.cend())
        return *it;
    QIcon icon;
    // QIcon::isNull says nothing about whether the file loaded; ask the reader.
    if (QImageReader(file).canRead())
        icon = QIcon(file);
    // Pixmaps belong to the application object: the cache is emptied when it
    // goes, not left to static destruction after it.
    if (cache.isEmpty())
        qAddPostRoutine([] { IconCache().clear(); });
    cache.insert(file, icon);
    return icon;
}
