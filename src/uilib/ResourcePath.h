#pragma once

#include <QIcon>
#include <QString>

// Paths named in skins and attribute lists are relative to the resource
// folder and may use '\' as the separator. Absolute, '/'-separated result.
QString ResolveResourcePath(const QString& path);

// The image at a skin path, cached; a `name@2x.png` beside it serves 2x
// screens. Null icon when the file cannot be read. GUI thread only.
QIcon LoadSkinImage(const QString& path);
