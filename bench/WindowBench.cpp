// The real main window (CVindrelFrameWnd from the real skins, with the real
// DiscoveryEngine) measured in process, under an X server, inside the lab
// (scripts/bench.sh). Three modes:
//   --list N             time from the first probe on the wire (korvan-sim's
//                        probe log) to the N-th server listed; then, with the
//                        N rows, how long sorting and filtering take
//   --load N SECONDS     once N are listed, SECONDS of steady replies: delay
//                        of a 10 ms timer, CPU, resident memory; then 10 s
//                        without that timer: how often the GUI thread wakes
//   --idle SECONDS       no servers, window hidden in the tray: CPU, memory
// Times are unix seconds so that they compare with the probe log's.
// Results: "result KEY VALUE" lines on standard error.

#include "mainwnd/ServerList.h"
#include "discovery/ServerFields.h"
#include "mainwnd/ServerListModel.h"
#include "mainwnd/ServerSortFilterModel.h"
#include "mainwnd/TrayMenus.h"
#include "mainwnd/VindrelFrameWnd.h"
#include "uilib/ResourcePath.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTimerMs = 10;
constexpr auto kListGiveUp = std::chrono::seconds(20);

double UnixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string LabFile(const char* name)
{
    const char* dir = std::getenv("VINDREL_LAB_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

// Unix times of the probes korvan-sim heard on link 1, oldest first.
std::vector<double> ProbeTimes()
{
    std::vector<double> times;
    std::ifstream log(LabFile("probes-1.log"));
    std::string line;
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        double t = 0;
        if (fields >> t)
            times.push_back(t);
    }
    return times;
}

// utime + stime of this process (every thread), seconds.
double CpuSeconds()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold spaces: state is field 3.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// CPU seconds per thread: the GUI thread by name, the others by name and id
// (the discovery threads keep the program's name).
std::map<std::string, double> CpuByThread()
{
    std::map<std::string, double> byThread;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return byThread;
    const std::string self = std::to_string(getpid());
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 2));
        std::string field;
        unsigned long long ticks = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i)
            if (i == 14 || i == 15)
                ticks += std::stoull(field);
        const std::string name =
            entry->d_name == self ? std::string("gui") : text.substr(open + 1, close - open - 1) + "/" + entry->d_name;
        byThread[name] = static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    closedir(dir);
    return byThread;
}

double ResidentMiB()
{
    std::ifstream statm("/proc/self/statm");
    unsigned long long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// Results go to standard error, one "result KEY VALUE" line each: standard
// output carries the program's own diagnostics (a line per datagram).
void Print(const char* key, double value)
{
    std::fprintf(stderr, "result %s %.4f\n", key, value);
}

// Context switches of the calling thread so far: each is a wake-up (or a
// preemption) of it.
long long ThreadSwitches()
{
    std::ifstream status("/proc/thread-self/status");
    long long total = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
            total += std::stoll(line.substr(line.find(':') + 1));
    }
    return total;
}

// Counts the feed's drains of what the engine found (queued calls to the
// window's feed) as they arrive.
class DrainCounter final : public QObject
{
public:
    explicit DrainCounter(const QObject* feed)
        : m_feed(feed)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_feed && event->type() == QEvent::MetaCall)
            ++count;
        return QObject::eventFilter(watched, event);
    }
    long long count = 0;

private:
    const QObject* m_feed;
};

struct Settings
{
    enum class Mode { kList, kLoad, kIdle } mode = Mode::kList;
    int servers = 0;
    double seconds = 0;
};

bool ParseArguments(int argc, char** argv, Settings& s)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--list" && argc == 3) {
        s.servers = std::atoi(argv[2]);
        return s.servers > 0;
    }
    if (mode == "--load" && argc == 4) {
        s.mode = Settings::Mode::kLoad;
        s.servers = std::atoi(argv[2]);
        s.seconds = std::atof(argv[3]);
        return s.servers > 0 && s.seconds > 0;
    }
    if (mode == "--idle" && argc == 3) {
        s.mode = Settings::Mode::kIdle;
        s.seconds = std::atof(argv[2]);
        return s.seconds > 0;
    }
    return false;
}

// Steady state: a 10 ms timer whose lateness tells how responsive the event
// loop is, resident memory each second, CPU and hand-offs over the run.
class SteadyMeter final : public QObject
{
public:
    // `tickMs`: kTimerMs to measure responsiveness; idle runs tick once a
    // second only, or the meter would be the cost it measures.
    SteadyMeter(double seconds, int servers, int tickMs, std::function<void()> done)
        : m_seconds(seconds)
        , m_servers(servers)
        , m_tickMs(tickMs)
        , m_done(std::move(done))
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(tickMs);
        connect(&m_tick, &QTimer::timeout, this, [this] { Tick(); });
    }

    void Begin()
    {
        m_cpuAt = CpuSeconds();
        m_threadsAt = CpuByThread();
        m_unixAt = UnixNow();
        m_rss.push_back(ResidentMiB());
        m_clock.start();
        m_last = 0;
        m_tick.start();
    }

private:
    void Tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_delaysMs.push_back(std::max(0.0, static_cast<double>(now - m_last) / 1e6 - m_tickMs));
        m_last = now;
        if (now / 1000000000 >= static_cast<qint64>(m_rss.size()))
            m_rss.push_back(ResidentMiB());
        if (static_cast<double>(now) / 1e9 >= m_seconds)
            Finish(static_cast<double>(now) / 1e9);
    }

    void Finish(double wall)
    {
        m_tick.stop();
        const double cpu = CpuSeconds() - m_cpuAt;
        Print("seconds", wall);
        Print("cpu_percent", 100.0 * cpu / wall);
        if (m_tickMs == kTimerMs) {
            Print("timer_p50_ms", Percentile(m_delaysMs, 0.50));
            Print("timer_p99_ms", Percentile(m_delaysMs, 0.99));
            Print("timer_max_ms", Percentile(m_delaysMs, 1.0));
        }
        // After the first tenth: the start's allocations are not growth.
        const std::size_t settled = m_rss.size() / 10;
        Print("rss_settled_mib", m_rss[settled]);
        Print("rss_end_mib", m_rss.back());
        Print("rss_max_mib", *std::max_element(m_rss.begin(), m_rss.end()));
        const double unixEnd = UnixNow();
        int probes = 0;
        for (double t : ProbeTimes())
            probes += t >= m_unixAt && t < unixEnd;
        Print("replies_sent_per_s", probes * m_servers / wall);
        for (const auto& [name, seconds] : CpuByThread()) {
            const double used = seconds - m_threadsAt[name];
            if (used > 0.001 * wall)
                std::fprintf(stderr, "result thread_cpu_percent[%s] %.2f\n", name.c_str(), 100.0 * used / wall);
        }
        m_done();
    }

    const double m_seconds;
    const int m_servers;
    const int m_tickMs;
    std::function<void()> m_done;
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_cpuAt = 0, m_unixAt = 0;
    std::map<std::string, double> m_threadsAt;
    std::vector<double> m_delaysMs;
    std::vector<double> m_rss;
};

// With every row listed: a header click's sort (text, then numbers), its
// reverse, a filter that keeps a tenth of the rows and its removal, each
// timed up to the view's repaint.
void MeasureSortAndFilter(CVindrelFrameWnd& window)
{
    QTableView* view = window.Servers().View();
    const auto timed = [view](const char* key, const std::function<void()>& step) {
        QElapsedTimer clock;
        clock.start();
        step();
        view->viewport()->repaint();
        Print(key, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    };
    ServerSortFilterModel& shown = window.Servers().Shown();
    timed("sort_name_ms", [&] { shown.CycleSort(static_cast<int>(ServerColumn::Name)); });
    timed("sort_reverse_ms", [&] { shown.CycleSort(static_cast<int>(ServerColumn::Name)); });
    timed("sort_ip_ms", [&] { shown.CycleSort(static_cast<int>(ServerColumn::IP)); });
    timed("sort_off_ms", [&] {
        shown.CycleSort(static_cast<int>(ServerColumn::IP));
        shown.CycleSort(static_cast<int>(ServerColumn::IP));
    });
    // The default names are KORVAN-0001...: "-0" keeps about a tenth of them.
    timed("filter_ms", [&] { window.Servers().SetFilterText(QStringLiteral("korvan-0")); });
    Print("filter_rows", window.Servers().ShownCount());
    timed("unfilter_ms", [&] { window.Servers().SetFilterText(QString()); });
}

// How often the GUI thread wakes while the engine feeds it, with no timer
// of the meter's own running: context switches of the GUI thread and the
// window's drains per second, and the process's CPU.
void MeasureWakes(double seconds, const DrainCounter& drains, std::function<void()> done)
{
    struct Start
    {
        long long switches, drains;
        double cpu, wall;
    };
    const Start start{ThreadSwitches(), drains.count, CpuSeconds(), UnixNow()};
    QTimer::singleShot(static_cast<int>(seconds * 1000), qApp, [start, &drains, done = std::move(done)] {
        const double wall = UnixNow() - start.wall;
        Print("gui_wakes_per_s", static_cast<double>(ThreadSwitches() - start.switches) / wall);
        Print("drains_per_s", static_cast<double>(drains.count - start.drains) / wall);
        Print("quiet_cpu_percent", 100.0 * (CpuSeconds() - start.cpu) / wall);
        done();
    });
}

}  // namespace

int main(int argc, char** argv)
{
    Settings settings;
    if (!ParseArguments(argc, argv, settings) || !std::getenv("VINDREL_LAB")) {
        std::fprintf(stderr, "usage: bench_window --list N | --load N SECONDS | --idle SECONDS\n"
                             "(inside the lab, under an X server: scripts/bench.sh)\n");
        return 2;
    }
    const double startedAt = UnixNow();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QTemporaryDir settingsDir;  // lang.xml of this run only
    SetResourceFolder(QStringLiteral(VINDREL_BIN_DIR "/"));
    CVindrelFrameWnd::Options options;
    options.openUrl = [](const QUrl&) { return true; };
    options.settingsDir = settingsDir.path() + u'/';
    CVindrelFrameWnd window(std::move(options));
    if (!window.Initialise()) {
        std::fprintf(stderr, "bench_window: %s\n", qUtf8Printable(window.ErrorString()));
        return 1;
    }
    window.show();
    DrainCounter drains(&window.Feed());
    app.installEventFilter(&drains);
    QTableView* view = window.Servers().View();
    QWidget* counter = window.Control(QStringLiteral("SERVERNUMLABEL2"));
    if (!view || !counter)
        return 1;

    const int tickMs = settings.mode == Settings::Mode::kIdle ? 1000 : kTimerMs;
    SteadyMeter steady(settings.seconds, settings.servers, tickMs, [&] {
        if (settings.mode == Settings::Mode::kLoad)
            MeasureWakes(10, drains, [] { QCoreApplication::exit(0); });
        else
            QCoreApplication::exit(0);
    });

    if (settings.mode == Settings::Mode::kIdle) {
        // Let the start settle, then hide to the tray as the close button does.
        QTimer::singleShot(2000, &app, [&] {
            window.HideWindow();
            Print("tray_shown", window.Tray().TrayShown() ? 1 : 0);
            QTimer::singleShot(1000, &app, [&] { steady.Begin(); });
        });
        return QApplication::exec();
    }

    // Listed: the counter reads N; visible: the view has been told of N rows.
    const QString wanted = QString::number(settings.servers);
    double counterAt = 0, viewAt = 0;
    QObject::connect(view->model(), &QAbstractItemModel::rowsInserted, &app, [&] {
        if (viewAt == 0 && view->model()->rowCount() >= settings.servers)
            viewAt = UnixNow();
    });
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (counterAt == 0 && counter->property("text").toString() == wanted)
            counterAt = UnixNow();
        const bool late = UnixNow() - startedAt > std::chrono::duration<double>(kListGiveUp).count();
        if ((counterAt == 0 || viewAt == 0) && !late)
            return;
        poll.stop();
        const std::vector<double> probes = ProbeTimes();
        const double firstProbe = probes.empty() ? 0 : probes.front();
        Print("first_probe_after_start_s", firstProbe - startedAt);
        Print("listed_s", counterAt > 0 ? counterAt - firstProbe : -1);
        Print("visible_s", viewAt > 0 ? viewAt - firstProbe : -1);
        Print("rows", window.Servers().Model().Count());
        if (settings.mode == Settings::Mode::kList && counterAt > 0)
            MeasureSortAndFilter(window);
        if (settings.mode == Settings::Mode::kList || counterAt == 0)
            QCoreApplication::exit(counterAt > 0 ? 0 : 1);
        else
            steady.Begin();
    });
    poll.start();
    return QApplication::exec();
}
