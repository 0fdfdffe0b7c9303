#pragma once

#include "uilib/CControlUI.h"
#include "uilib/CPaintManagerUI.h"
#include "uilib/WindowImplBase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <vector>

// A resource folder of its own per test, with skins written from strings.
class SkinFolder
{
public:
    SkinFolder() { CPaintManagerUI::SetResourcePath(m_dir.path()); }
    ~SkinFolder() { CPaintManagerUI::SetResourcePath(QString()); }

    QString Write(const QString& name, const QByteArray& content) const
    {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
        return f.fileName();
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// A .ui document whose root QWidget holds `body` (widgets as XML).
inline QByteArray UiDocument(const QByteArray& body, const QByteArray& rootProperties = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ui version=\"4.0\"><class>Root</class>"
           "<widget class=\"QWidget\" name=\"ROOT\">"
           "<property "
           "name=\"geometry\"><rect><x>0</x><y>0</y><width>300</width><height>200</height></rect></property>" +
           rootProperties + body + "</widget><resources/><connections/></ui>";
}

inline QByteArray Widget(const char* cls, const char* name, const QByteArray& properties = {})
{
    return QByteArray("<widget class=\"") + cls + "\" name=\"" + name + "\">" + properties + "</widget>";
}

inline QByteArray TextProperty(const char* text, bool resource = false)
{
    QByteArray p = QByteArray("<property name=\"text\"><string>") + text + "</string></property>";
    if (resource)
        p += "<property name=\"resourceText\" stdset=\"0\"><bool>true</bool></property>";
    return p;
}

// A window over a given skin that records what reaches its hooks.
class TestWindow final : public WindowImplBase
{
public:
    explicit TestWindow(QString skin)
        : m_skin(std::move(skin))
    {
    }

    CDuiString GetWindowClassName() const override { return CDuiString(u"TestWindow"); }
    CDuiString GetSkinFile() override { return m_skin; }
    void InitWindow() override { ++initCount; }
    void Notify(TNotifyUI& msg) override
    {
        notifications.push_back({msg.Type, msg.Sender ? msg.Sender->GetName() : CDuiString()});
        WindowImplBase::Notify(msg);
    }
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override
    {
        messages.push_back(message);
        // A result counts only when the hook says it handled the message.
        handled = onMessage ? TRUE : FALSE;
        return onMessage ? onMessage(message, wParam, lParam) : 0;
    }
    void OnFinalMessage(HWND window) override
    {
        ++finalCount;
        WindowImplBase::OnFinalMessage(window);
    }
    CPaintManagerUI& Manager() { return m_pm; }

    int initCount = 0;
    int finalCount = 0;
    std::vector<UINT> messages;
    std::vector<std::pair<CDuiString, CDuiString>> notifications;
    std::function<LRESULT(UINT, WPARAM, LPARAM)> onMessage;

private:
    QString m_skin;
};
