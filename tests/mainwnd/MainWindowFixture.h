#pragma once

#include "discovery/ServerRecord.h"
#include "mainwnd/VindrelFrameWnd.h"

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class QAction;

// A real main window built from the real skins, with discovery switched off
// (no socket is ever opened) and the URL opener recorded instead of run.
// Its lang.xml lives in a temporary folder.
class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds and shows the window; `language` goes into lang.xml first
    // (empty: no lang.xml at all). `resourceDir` holds the skins.
    void OpenWindow(const std::u16string& language = u"en", const QString& resourceDir = {},
                    CVindrelFrameWnd::Options options = {});
    // A resource folder with the real skins, where `listitem` and `menu`
    // (when given) replace the row template and the menu skin.
    QString CopyOfSkins(const QString& listitem = {}, const QString& menu = {});

    static ServerRecord Record(const std::u16string& ip, const std::u16string& name = u"nas",
                               const std::u16string& port = u"80");
    // Hands `record` to the window the way the engine does, and lets the
    // window take it in.
    void Deliver(const ServerRecord& record);
    // The item named `name` of the tray, language or window menu, or nullptr.
    QAction* MenuItem(const QString& name) const;
    QString TextOf(const char* control) const;
    bool VisibleOf(const char* control) const;
    int RowCount() const;
    // The text row `row` shows under a row label (NAMELABEL…); "<missing>"
    // when the list does not show that field.
    QString Cell(int row, const char16_t* label) const;
    // Runs the event loop until it ends; -1 when it did not end in 2 s.
    static int RunLoopBriefly();

    struct Wake
    {
        QString mac;
        unsigned interfaceIndex = 0;
        quint32 localAddress = 0;
    };

    QTemporaryDir m_settings;
    std::unique_ptr<CVindrelFrameWnd> m_window;
    // What the window asked of the desktop and the network, and what it got.
    std::vector<QUrl> m_opened;
    bool m_browserWorks = true;
    std::vector<Wake> m_woken;
    QString m_wakeError;
    QString m_exportPath;
};
