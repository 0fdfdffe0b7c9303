#pragma once

#include "discovery/ServerRecord.h"
#include "mainwnd/VindrelFrameWnd.h"
#include "uilib/CPaintManagerUI.h"

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
    void OpenWindow(const std::u16string& language = u"en", const QString& resourceDir = {});
    // A resource folder with the real skins, where `listitem` (when given)
    // replaces the row template.
    QString CopyOfSkins(const QString& listitem = {});

    static ServerRecord Record(const std::u16string& ip, const std::u16string& name = u"nas",
                               const std::u16string& port = u"80");
    void Deliver(const ServerRecord& record);  // message 3024, on this thread
    // Sends a menu command record the way the library's menu does.
    void SendMenuCommand(const std::u16string& name);
    QString TextOf(const char16_t* control) const;
    bool VisibleOf(const char16_t* control) const;
    int RowCount() const;
    QString Cell(int row, const char16_t* label) const;
    // Pumps events until `done` or about two seconds.
    static bool Pump(const std::function<bool()>& done);
    // Runs the message loop until it ends; -1 when it did not end in time.
    static int RunLoopBriefly();

    QTemporaryDir m_settings;
    std::unique_ptr<CVindrelFrameWnd> m_window;
    std::vector<QUrl> m_opened;
};
