#pragma once

#include "base/AppFolders.h"

#include <QAbstractButton>
#include <QDialog>
#include <QPointer>

#include <ctime>
#include <string>

// The skinned modal message box ("message.xml" among the program's skins):
// a title, a text, OK, Cancel and a close button. Closes with 1 after OK and
// 0 after Cancel or the close button. Answers its text keys from the
// message-window table in the language of the program's lang.xml, and
// writes a line to its log each time it loads its skin. GUI thread only.
class CMsgWnd final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMsgWnd)

public:
    // Over `parent`; nullptr is the desktop, where the window stays on top.
    // `folders` say where the skin, the language and the log are.
    explicit CMsgWnd(const AppFolders& folders, QWidget* parent = nullptr);
    ~CMsgWnd() override;

    // Creates, centres and shows a message window modally and returns its
    // close code once it has closed; 0 when its skin cannot be loaded.
    static int ShowMessageWindow(QWidget* parent, const QString& title, const QString& text,
                                 const AppFolders& folders = ProgramFolders());

    // Builds the window from its skin; false (and one line on stderr) when
    // the skin cannot be loaded.
    bool Initialise();
    // An empty value keeps the skin's text. The title is shown as given; the
    // text may be a key of the message-window table.
    void SetMessageTitle(const QString& title);
    void SetMessageText(const QString& text);

    // Writes the diagnostic log, then names message.xml in the resource
    // folder: the skin is found there whatever the current folder.
    QString SkinFile() const;
    QString Text(const QString& key) const;

    // "Y-M-D-h-m-s.txt" in `logDir` (8-bit, ends with '/'), no leading zeros.
    static std::string LogFilePath(const std::string& logDir, const std::tm& localTime);

private:
    void OnClicked(QAbstractButton* button);
    void Retranslate();

    const AppFolders m_folders;
    QWidget* m_content = nullptr;             // the skin's root, a child
    QPointer<QAbstractButton> m_closeButton;  // null without CLOSEBTN
    QString m_language;
};
