#include "MainWindowFixture.h"

#include "base/MessageTarget.h"
#include "i18n/LanguagePreference.h"
#include "uilib/CListContainerElementUI.h"
#include "uilib/CListUI.h"
#include "uilib/MenuCmd.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

const QString kSkinDir = QStringLiteral(VINDREL_BIN_DIR "/");
const QString kSourceSkinDir = QStringLiteral(VINDREL_SOURCE_DIR "/res/");

bool CopyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

}  // namespace

void MainWindowFixture::SetUp()
{
    ASSERT_TRUE(m_settings.isValid());
}

void MainWindowFixture::TearDown()
{
    m_window.reset();
    CPaintManagerUI::SetResourcePath(kSkinDir);
}

QString MainWindowFixture::CopyOfSkins(const QString& listitem)
{
    const QString dir = m_settings.path() + QStringLiteral("/skins/");
    EXPECT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(CopyFile(kSourceSkinDir + u"vindrel.xml"_s, dir + u"vindrel.xml"_s));
    EXPECT_TRUE(CopyFile(kSourceSkinDir + u"menu.xml"_s, dir + u"menu.xml"_s));
    if (listitem.isEmpty()) {
        EXPECT_TRUE(CopyFile(kSourceSkinDir + u"listitem.xml"_s, dir + u"listitem.xml"_s));
    } else {
        QFile file(dir + u"listitem.xml"_s);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(listitem.toUtf8());
    }
    return dir;
}

void MainWindowFixture::OpenWindow(const std::u16string& language, const QString& resourceDir)
{
    const QString settings = m_settings.path() + u'/';
    if (!language.empty()) {
        QFile file(settings + u"lang.xml"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <lang>");
        file.write(QString::fromStdU16String(language).toUtf8());
        file.write("</lang>\n</config>\n");
    }
    CPaintManagerUI::SetResourcePath(resourceDir.isEmpty() ? kSkinDir : resourceDir);

    CVindrelFrameWnd::Options options;
    options.startDiscovery = false;
    options.openUrl = [this](const QUrl& url) { m_opened.push_back(url); };
    options.settingsDir = settings;
    m_window = std::make_unique<CVindrelFrameWnd>(std::move(options));
    ASSERT_TRUE(m_window->Create(nullptr, u"Vindrel", 0x90CF0000u, 0));
    m_window->CenterWindow();
    m_window->ShowWindow(true, true);
}

ServerRecord MainWindowFixture::Record(const std::u16string& ip, const std::u16string& name, const std::u16string& port)
{
    ServerRecord record;
    record.Name = name;
    record.IP = ip;
    record.Port = port;
    record.Version = u"2.1";
    record.Serial = u"S-1";
    record.Mac = u"00-11-32-AB-CD-EF";
    record.DeviceType = u"K4";
    record.KorvanID = u"k-1";
    record.UpTime = u"3 days";
    return record;
}

void MainWindowFixture::Deliver(const ServerRecord& record)
{
    m_window->SendMessageW(WindowMessage::kServerFound, reinterpret_cast<WPARAM>(&record), 0);
}

void MainWindowFixture::SendMenuCommand(const std::u16string& name)
{
    auto* record = new MenuCmd{};
    std::memcpy(record->Name, name.data(), std::min<std::size_t>(name.size(), 255) * sizeof(char16_t));
    m_window->SendMessageW(WindowMessage::kMenuCommand, reinterpret_cast<WPARAM>(record), 0);
}

QString MainWindowFixture::TextOf(const char16_t* control) const
{
    const CControlUI* found = m_window->FindControl(control);
    return found ? QString(found->GetText()) : QStringLiteral("<missing>");
}

bool MainWindowFixture::VisibleOf(const char16_t* control) const
{
    const CControlUI* found = m_window->FindControl(control);
    return found && found->IsVisible();
}

int MainWindowFixture::RowCount() const
{
    const auto* list = dynamic_cast<CListUI*>(m_window->FindControl(u"SERVERLIST"));
    return list ? list->GetCount() : -1;
}

QString MainWindowFixture::Cell(int row, const char16_t* label) const
{
    const auto* list = dynamic_cast<CListUI*>(m_window->FindControl(u"SERVERLIST"));
    const CListContainerElementUI* element = list ? list->GetRowAt(row) : nullptr;
    const CControlUI* cell = element ? element->FindSubControl(label) : nullptr;
    return cell ? QString(cell->GetText()) : QStringLiteral("<missing>");
}

bool MainWindowFixture::Pump(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 2000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

int MainWindowFixture::RunLoopBriefly()
{
    bool timedOut = false;
    QTimer watchdog;  // dies with this call, so it never fires into a later test
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [&timedOut] {
        timedOut = true;
        CPaintManagerUI::PostQuitMessage(-1);
    });
    watchdog.start(2000);
    const int code = CPaintManagerUI::MessageLoop();
    return timedOut ? -1 : code;
}
