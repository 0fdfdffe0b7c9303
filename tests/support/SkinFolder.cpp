#include "SkinFolder.h"

#include "uilib/ResourcePath.h"

#include <QFile>

SkinFolder::SkinFolder()
{
    SetResourceFolder(m_dir.path());
}

SkinFolder::~SkinFolder()
{
    SetResourceFolder(QString());
}

QString SkinFolder::Write(const QString& name, const QByteArray& content) const
{
    QFile f(m_dir.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return f.fileName();
}

QByteArray UiDocument(const QByteArray& body, const QByteArray& rootProperties)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ui version=\"4.0\"><class>Root</class>"
           "<widget class=\"QWidget\" name=\"ROOT\">"
           "<property name=\"geometry\"><rect><x>0</x><y>0</y><width>300</width><height>200</height></rect>"
           "</property>" +
           rootProperties + body + "</widget><resources/><connections/></ui>";
}

QByteArray Widget(const char* cls, const char* name, const QByteArray& properties)
{
    return QByteArray("<widget class=\"") + cls + "\" name=\"" + name + "\">" + properties + "</widget>";
}

QByteArray TextProperty(const char* text, bool resource)
{
    QByteArray p = QByteArray("<property name=\"text\"><string>") + text + "</string></property>";
    if (resource)
        p += "<property name=\"resourceText\" stdset=\"0\"><bool>true</bool></property>";
    return p;
}
