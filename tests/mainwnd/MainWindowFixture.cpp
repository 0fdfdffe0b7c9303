#include "MainWindowFixture.h"

#include "discovery/ServerFields.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"
#include "mainwnd/TrayMenus.h"
#include "uilib/ResourcePath.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QTimer>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace {

const QString kSkinDir = QStringLiteral(VINDREL_BIN_DIR "/");

bool CopyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

bool WriteFile(const QString& path, const QString& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content.toUtf8()) >= 0;
}

}  // namespace

void MainWindowFixture::SetUp()
{
    ASSERT_TRUE(m_settings.isValid());
}

void MainWindowFixture::TearDown()
{
    m_window.reset();
    SetResourceFolder(kSkinDir);
}

QString MainWindowFixture::CopyOfSkins(const QString& listitem, const QString& menu)
{
    const QString dir = m_settings.path() + QStringLiteral("/skins/");
    EXPECT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(CopyFile(kSkinDir + u"vindrel.xml"_s, dir + u"vindrel.xml"_s));
    EXPECT_TRUE(menu.isEmpty() ? CopyFile(kSkinDir + u"menu.xml"_s, dir + u"menu.xml"_s)
                               : WriteFile(dir + u"menu.xml"_s, menu));
    EXPECT_TRUE(listitem.isEmpty() ? CopyFile(kSkinDir + u"listitem.xml"_s, dir + u"listitem.xml"_s)
                                   : WriteFile(dir + u"listitem.xml"_s, listitem));
    return dir;
}

void MainWindowFixture::OpenWindow(const std::u16string& language, const QString& resourceDir,
                                   CVindrelFrameWnd::Options options)
{
    const QString settings = m_settings.path() + u'/';
    if (!language.empty()) {
        ASSERT_TRUE(
            WriteFile(settings + u"lang.xml"_s, u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <lang>"_s +
                                                    QString::fromStdU16String(language) + u"</lang>\n</config>\n"_s));
    }
    SetResourceFolder(resourceDir.isEmpty() ? kSkinDir : resourceDir);
    options.startDiscovery = false;
    options.openUrl = [this](const QUrl& url) {
        m_opened.push_back(url);
        return m_browserWorks;
    };
    options.wake = [this](const QString& mac, unsigned index, quint32 local) {
        m_woken.push_back({mac, index, local});
        return m_wakeError;
    };
    options.chooseExportFile = [this] { return m_exportPath; };
    options.settingsDir = settings;
    m_window = std::make_unique<CVindrelFrameWnd>(std::move(options));
    ASSERT_TRUE(m_window->Initialise()) << m_window->ErrorString().toStdString();
    m_window->show();
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
    ServerSighting sighting;
    sighting.record = record;
    sighting.heardAt = std::chrono::steady_clock::now();
    m_window->Feed().Queue()->Push(std::move(sighting));
    m_window->Feed().Drain();
}

QAction* MainWindowFixture::MenuItem(const QString& name) const
{
    for (QMenu* menu : {m_window->Tray().TrayMenu(), m_window->Tray().LanguageMenu(), m_window->Tray().WindowMenu()}) {
        const auto actions = menu->actions();
        for (QAction* action : actions) {
            if (action->objectName() == name)
                return action;
        }
    }
    return nullptr;
}

QString MainWindowFixture::TextOf(const char* control) const
{
    const QWidget* found = m_window->Control(QString::fromLatin1(control));
    return found ? found->property("text").toString() : QStringLiteral("<missing>");
}

bool MainWindowFixture::VisibleOf(const char* control) const
{
    const QWidget* found = m_window->Control(QString::fromLatin1(control));
    return found && !found->isHidden();
}

int MainWindowFixture::RowCount() const
{
    return m_window->Servers().Model().Count();
}

QString MainWindowFixture::Cell(int row, const char16_t* label) const
{
    const auto field = std::find_if(kServerFields.begin(), kServerFields.end(),
                                    [&](const ServerField& f) { return f.rowLabel == label; });
    const QTableView* view = m_window->Servers().View();
    if (field == kServerFields.end() || !view || row >= RowCount())
        return QStringLiteral("<missing>");
    const int column = static_cast<int>(field - kServerFields.begin());
    if (view->horizontalHeader()->isSectionHidden(column))
        return QStringLiteral("<missing>");
    return view->model()->index(row, column).data().toString();
}

int MainWindowFixture::RunLoopBriefly()
{
    bool timedOut = false;
    QTimer watchdog;  // dies with this call, so it never fires into a later test
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(-1);
    });
    watchdog.start(2000);
    const int code = QApplication::exec();
    return timedOut ? -1 : code;
}
