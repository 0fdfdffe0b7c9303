#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A resource folder of its own per test, with skins written from strings;
// the resource folder goes back to the executable's when it goes.
class SkinFolder
{
public:
    SkinFolder();
    ~SkinFolder();
    SkinFolder(const SkinFolder&) = delete;
    SkinFolder& operator=(const SkinFolder&) = delete;

    QString Write(const QString& name, const QByteArray& content) const;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// A .ui document whose root QWidget (named ROOT, 300x200) holds `body`.
QByteArray UiDocument(const QByteArray& body, const QByteArray& rootProperties = {});
QByteArray Widget(const char* cls, const char* name, const QByteArray& properties = {});
// A text property; `resource` marks it as a catalogue key.
QByteArray TextProperty(const char* text, bool resource = false);
