#pragma once

#include <QString>

#include <memory>

class QMenu;
class QWidget;

// Skins are Qt Designer .ui files read at run time. A loaded skin has the
// library's own widgets in place of the standard ones: QPushButton becomes
// SkinButton, with its look taken from the skin's dynamic properties; every
// QLabel shows plain text, and one with an `image` property shows that skin
// image. Unlike a bare QUiLoader, a widget class that cannot be created is
// an error, not a silent drop. GUI thread only; needs a QApplication.

// The root widget (no parent), or nullptr with `error` saying why.
std::unique_ptr<QWidget> LoadSkin(const QString& file, QString& error);

// Load and, on failure, one line on stderr naming the file.
std::unique_ptr<QWidget> LoadSkinOrReport(const QString& file);

// A menu skin: its root must be a QMenu, whose <action>s the menu keeps.
// nullptr (and one line on stderr) when the file is missing or broken, or
// its root is no menu.
std::unique_ptr<QMenu> LoadSkinMenu(const QString& file);
