#pragma once

#include <QString>
#include <QUiLoader>

#include <memory>

// Loads a skin (a Qt Designer .ui file) with the library's own widgets in
// place of the standard ones (QPushButton → SkinButton; labels forced to
// plain text). Unlike a bare QUiLoader, a widget class it cannot create is an
// error, not a silent drop.
class SkinLoader final : public QUiLoader
{
public:
    SkinLoader();

    // The root widget (no parent), or nullptr with Error() saying why.
    std::unique_ptr<QWidget> Load(const QString& file);
    QString Error() const { return m_error; }

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

private:
    QString m_error;
    QString m_unknownClass;
};

// Load and, on failure, one line on stderr naming the file.
std::unique_ptr<QWidget> LoadSkinOrReport(const QString& file);
