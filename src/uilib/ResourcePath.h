#pragma once

#include <QIcon>
#include <QString>

// Where skins and their images are looked up. GUI thread only.

// The folder skins are read from, ending with '/'. The executable's folder
// until SetResourceFolder is called.
QString ResourceFolder();
// An empty path goes back to the executable's folder; '\' is read as '/'.
void SetResourceFolder(const QString& folder);

// Paths named in skins and attribute lists are relative to the resource
// folder and may use '\' as the separator. Absolute, '/'-separated result.
QString ResolveResourcePath(const QString& path);

// The image at a skin path, cached; a `name@2x.png` beside it serves 2x
// screens. Null icon when the file cannot be read.
QIcon LoadSkinImage(const QString& path);
