#include "msgwnd/CMsgWnd.h"

#include "base/ExecutablePath.h"
#include "base/LocaleText.h"
#include "i18n/LanguagePreference.h"
#include "i18n/TextCatalogue.h"
#include "uilib/SkinText.h"
#include "uilib/WindowFrame.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>

#include <cstdio>
#include <unistd.h>

namespace {

// The folder of the executable without its final separator.
std::string ExecutableFolder()
{
    std::string dir = ExecutableDir();
    if (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

// The log holds the executable's folder, and says when message.xml is not
// in the current folder.
void WriteSkinLog(const std::string& dir, const std::string& logDir)
{
    // Failure (it exists already, or cannot be made) is no reason to stop.
    MakeFolders(logDir);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        return;
    const std::string path = CMsgWnd::LogFilePath(logDir, local);
    std::FILE* log = std::fopen(path.c_str(), "a");
    if (!log)
        return;
    std::fprintf(log, "%s\n", dir.c_str());
    // Ended with a line end, so that a second window in the same second
    // starts its own line rather than gluing its folder onto this one.
    if (::access("message.xml", F_OK) != 0)
        std::fputs("no message.xml\n", log);
    std::fclose(log);
}

void CentreOnScreen(QWidget& window)
{
    QRect area;
    if (const QWidget* parent = window.parentWidget(); parent && parent->isVisible())
        area = parent->window()->frameGeometry();
    else if (const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}

}  // namespace

CMsgWnd::CMsgWnd(const AppFolders& folders, QWidget* parent)
    : QDialog(parent)
    , m_folders(folders)
{
    // A tool window, kept on top when it stands over the desktop.
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (!parent)
        flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setWindowTitle(QStringLiteral("msgwnd"));
}

CMsgWnd::~CMsgWnd() = default;

int CMsgWnd::ShowMessageWindow(QWidget* parent, const QString& title, const QString& text, const AppFolders& folders)
{
    CMsgWnd window(folders, parent);
    if (!window.Initialise())
        return 0;
    CentreOnScreen(window);
    window.SetMessageTitle(title);
    window.SetMessageText(text);
    return window.exec();
}

bool CMsgWnd::Initialise()
{
    if (m_content)
        return true;
    QString error;
    if (!BuildSkinnedWindow(*this, SkinFile(), error)) {
        std::fprintf(stderr, "vindrel: %s\n", qUtf8Printable(error));
        return false;
    }
    m_content = layout()->itemAt(0)->widget();
    m_closeButton = m_content->findChild<QAbstractButton*>(QStringLiteral("CLOSEBTN"));
    const auto buttons = m_content->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons)
        connect(button, &QAbstractButton::clicked, this, [this, button] { OnClicked(button); });
    m_language = QString::fromStdU16String(StartupLanguage(DecodeLocal8Bit(m_folders.settings)));
    Retranslate();
    return true;
}

void CMsgWnd::OnClicked(QAbstractButton* button)
{
    const QString name = button->objectName();
    if (m_closeButton && button == m_closeButton)
        done(0);
    else if (name.compare(u"OKBTN", Qt::CaseInsensitive) == 0)
        done(1);
    else if (name.compare(u"CANCELBTN", Qt::CaseInsensitive) == 0)
        done(0);
}

QString CMsgWnd::Text(const QString& key) const
{
    const char16_t* text = QueryCatalogueText(TextTable::MessageWindow, reinterpret_cast<const char16_t*>(key.utf16()),
                                              m_language.toStdU16String());
    return text ? QString::fromUtf16(text) : QString();
}

void CMsgWnd::Retranslate()
{
    TranslateSkin(m_content, [this](const QString& key) { return Text(key); });
}

void CMsgWnd::SetMessageTitle(const QString& title)
{
    auto* label = m_content ? m_content->findChild<QLabel*>(QStringLiteral("MessageTitle")) : nullptr;
    if (title.isEmpty() || !label)
        return;
    label->setProperty("resourceText", false);
    label->setText(title);
}

void CMsgWnd::SetMessageText(const QString& text)
{
    auto* label = m_content ? m_content->findChild<QLabel*>(QStringLiteral("MessageText")) : nullptr;
    if (text.isEmpty() || !label)
        return;
    // The skin marks the text as a key; a text that is no key shows as given.
    if (label->property("resourceText").toBool()) {
        SetTextKey(label, text);
        Retranslate();
    } else {
        label->setText(text);
    }
}

QString CMsgWnd::SkinFile() const
{
    WriteSkinLog(ExecutableFolder(), m_folders.log);
    return QString::fromStdU16String(DecodeLocal8Bit(m_folders.resources)) + QStringLiteral("message.xml");
}

std::string CMsgWnd::LogFilePath(const std::string& logDir, const std::tm& t)
{
    char name[96];
    std::snprintf(name, sizeof name, "%d-%d-%d-%d-%d-%d.txt", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec);
    return logDir + name;
}
