// Saying why nothing was found and reaching servers beyond the broadcast:
// the status line's states, the hint under an empty list, Find by address.
#include "MainWindowFixture.h"

#include "mainwnd/DiagnosticsDialog.h"
#include "mainwnd/TargetsDialog.h"
#include "mainwnd/TrayMenus.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

using Reach = MainWindowFixture;

TEST_F(Reach, TheStatusLineSaysWhetherItSearches)
{
    OpenWindow(u"en");
    EXPECT_EQ(TextOf("STATUSTEXT"), u"Searching\u2026"_s);
    m_window->StopSearch();
    EXPECT_EQ(TextOf("STATUSTEXT"), u"Stopped"_s);
    m_window->ShowStatus(u"Copied: 10.0.0.1"_s);
    EXPECT_EQ(TextOf("STATUSTEXT"), u"Copied: 10.0.0.1"_s) << "a message stands for a while";
    m_window->StartSearch();
    EXPECT_EQ(TextOf("STATUSTEXT"), u"Searching\u2026"_s) << "a new state ends it";
    MenuItem(u"LANG_CHINESE"_s)->trigger();
    QTest::qWait(1100);
    EXPECT_EQ(TextOf("STATUSTEXT"), u"\u6B63\u5728\u641C\u7D22\u2026"_s);
}

TEST_F(Reach, AnEmptyListGetsAHintThatGoesWithTheFirstServer)
{
    OpenWindow(u"en");
    EXPECT_FALSE(VisibleOf("HINTBAR")) << "not at once";
    EXPECT_TRUE(QTest::qWaitFor([this] { return VisibleOf("HINTBAR"); }, 7000)) << "after five seconds of nothing";
    EXPECT_TRUE(TextOf("HINTTEXT").contains(u"firewall"_s));
    EXPECT_TRUE(TextOf("HINTTEXT").contains(u"another network"_s));
    EXPECT_EQ(TextOf("FINDBTN"), u"Find by address\u2026"_s);
    EXPECT_EQ(TextOf("DIAGBTN"), u"Diagnostics\u2026"_s);
    Deliver(Record(u"10.0.0.1"));
    EXPECT_FALSE(VisibleOf("HINTBAR"));
    m_window->RefreshList();
    m_window->StopSearch();
    QTest::qWait(1100);
    EXPECT_FALSE(VisibleOf("HINTBAR")) << "stopped, the empty list is no surprise";
}

struct TargetCase
{
    const char* why;
    const char* typed;
    bool addable;
    QString verdict;
};

const TargetCase kTargetCases[] = {
    {"one address", "10.20.0.7", true, u"1 address(es)"_s},
    {"a block", "10.20.0.0/24", true, u"254 address(es)"_s},
    {"a range", "10.20.0.5-10.20.0.40", true, u"36 address(es)"_s},
    {"a block wider than /16", "10.0.0.0/8", false, {}},
    {"junk", "nas.local", false, {}},
    {"nothing", "", false, {}},
};

TEST_F(Reach, FindByAddressChecksEachTargetAsItIsTyped)
{
    OpenWindow(u"en");
    TargetsDialog dialog({u"10.9.9.9"_s}, [this](const QString& key) { return m_window->Text(key); });
    for (const TargetCase& c : kTargetCases) {
        SCOPED_TRACE(c.why);
        dialog.Entry()->setText(QString::fromLatin1(c.typed));
        EXPECT_EQ(dialog.AddButton()->isEnabled(), c.addable);
        if (c.addable) {
            EXPECT_EQ(dialog.Verdict()->text(), c.verdict);
        } else if (*c.typed) {
            EXPECT_TRUE(dialog.Verdict()->text().startsWith(u"Not an address, block or range: "_s))
                << dialog.Verdict()->text().toStdString();
        }
    }
    dialog.Entry()->setText(u"10.20.0.0/24"_s);
    QTest::keyClick(dialog.Entry(), Qt::Key_Return);
    EXPECT_EQ(dialog.Targets(), (QStringList{u"10.9.9.9"_s, u"10.20.0.0/24"_s}));
    dialog.Entry()->setText(u"10.20.0.0/24"_s);
    EXPECT_FALSE(dialog.AddButton()->isEnabled()) << "listed already";
    dialog.List()->item(0)->setSelected(true);
    QTest::mouseClick(dialog.findChildren<QPushButton*>()[1], Qt::LeftButton);  // Remove
    EXPECT_EQ(dialog.Targets(), (QStringList{u"10.20.0.0/24"_s}));
}

TEST_F(Reach, TargetsAreProbedAndRememberedForTheNextStart)
{
    OpenWindow(u"en");
    m_window->SetTargets({u"10.20.0.0/24"_s, u"bogus"_s, u" 10.30.0.9 "_s});
    EXPECT_EQ(m_window->Targets(), (QStringList{u"10.20.0.0/24"_s, u"10.30.0.9"_s})) << "junk is left out";
    EXPECT_EQ(m_window->Feed().Targets().size(), 2u);

    // The dialog's OK keeps them in the settings folder.
    QTimer::singleShot(0, m_window.get(), [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<TargetsDialog*>(w)) {
                dialog->Entry()->setText(u"10.40.0.1-10.40.0.9"_s);
                QTest::keyClick(dialog->Entry(), Qt::Key_Return);
                dialog->accept();
            }
        }
    });
    m_window->FindByAddress();
    ASSERT_TRUE(QFile::exists(m_settings.filePath(u"targets.txt"_s)));
    m_window.reset();
    OpenWindow(u"");
    EXPECT_EQ(m_window->Targets(), (QStringList{u"10.20.0.0/24"_s, u"10.30.0.9"_s, u"10.40.0.1-10.40.0.9"_s}));
    EXPECT_EQ(m_window->Feed().Targets().size(), 3u);
}

TEST_F(Reach, TheWindowMenuOffersFindByAddressAndDiagnostics)
{
    OpenWindow(u"en");
    std::vector<QString> items;
    for (const QAction* item : m_window->Tray().WindowMenu()->actions())
        if (!item->isSeparator())
            items.push_back(item->text());
    EXPECT_EQ(items, (std::vector<QString>{u"Find by address\u2026"_s, u"Diagnostics\u2026"_s,
                                           u"Known servers\u2026"_s, u"Settings\u2026"_s, u"Export list\u2026"_s,
                                           u"Exit"_s}));
}

TEST_F(Reach, DiagnosticsGatherOffTheGuiThreadAndNameWhatToDo)
{
    std::thread::id gatheredOn;
    EngineStatus seen;
    CVindrelFrameWnd::Options options;
    options.gatherDiagnosis = [&](const EngineStatus& status, std::chrono::milliseconds searched) {
        gatheredOn = std::this_thread::get_id();
        seen = status;
        DiagnosisInput input;
        input.engine = status;
        input.engine.listener.state = ListenerStatus::State::kPortInUse;
        PortOwnership owner;
        owner.holders.push_back(PortHolder{4242, "mediaplayer"});
        input.portOwner = owner;
        input.searchDuration = searched;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the firewall check takes a while
        return input;
    };
    OpenWindow(u"en", {}, options);
    m_window->StopSearch();
    MenuItem(u"WIN_DIAGNOSE"_s)->trigger();
    DiagnosticsDialog* dialog = m_window->Diagnostics();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->IsRunning()) << "the window is not held up while it checks";
    EXPECT_EQ(dialog->Headline()->text(), u"Checking the adapters, the reply port and the firewall\u2026"_s);
    EXPECT_FALSE(dialog->CopyButton()->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([dialog] { return !dialog->IsRunning(); }, 3000));
    EXPECT_NE(gatheredOn, std::this_thread::get_id());
    EXPECT_TRUE(seen.paused) << "the facts of the moment it was asked";
    EXPECT_EQ(dialog->Headline()->text(), u"The search is stopped: press Search to take in replies again."_s)
        << "the likeliest cause leads";
    EXPECT_TRUE(dialog->Report().contains(u"mediaplayer (pid 4242)"_s));
    EXPECT_TRUE(dialog->Report().contains(u"Likely causes"_s));
    dialog->CopyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text(), dialog->Report());

    // Asked again while open: the same dialog checks again.
    MenuItem(u"WIN_DIAGNOSE"_s)->trigger();
    EXPECT_EQ(m_window->Diagnostics(), dialog);
    EXPECT_TRUE(dialog->IsRunning());
    // Closing the window's owner mid-check waits for the worker, not crashes.
    m_window.reset();
}

TEST_F(Reach, DiagnosticsSpeakTheWindowsLanguageWhenOpenedAgain)
{
    CVindrelFrameWnd::Options options;
    options.gatherDiagnosis = [](const EngineStatus& status, std::chrono::milliseconds searched) {
        DiagnosisInput input;
        input.engine = status;
        input.searchDuration = searched;
        return input;
    };
    OpenWindow(u"en", {}, options);
    m_window->StopSearch();
    m_window->ShowDiagnostics();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_window->Diagnostics()->IsRunning(); }, 3000));
    EXPECT_EQ(m_window->Diagnostics()->windowTitle(), u"Diagnostics"_s);
    m_window->Diagnostics()->close();

    MenuItem(u"LANG_CHINESE"_s)->trigger();
    m_window->ShowDiagnostics();
    DiagnosticsDialog* dialog = m_window->Diagnostics();
    EXPECT_EQ(dialog->windowTitle(), u"\u8BCA\u65AD"_s);
    ASSERT_TRUE(QTest::qWaitFor([dialog] { return !dialog->IsRunning(); }, 3000));
    // "搜索已停止：按“搜索”重新接收应答。"
    EXPECT_EQ(dialog->Headline()->text(),
              u"\u641C\u7D22\u5DF2\u505C\u6B62\uFF1A\u6309\u201C\u641C\u7D22\u201D\u91CD\u65B0\u63A5\u6536\u5E94"
              u"\u7B54\u3002"_s);
}

}  // namespace
