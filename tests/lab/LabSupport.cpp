#include "LabSupport.h"

#include "base/LocaleText.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<std::string> Split(const char* text)
{
    std::vector<std::string> parts;
    std::istringstream in(text ? text : "");
    for (std::string word; in >> word;)
        parts.push_back(word);
    return parts;
}

std::u16string MacText(std::string colonText)
{
    for (char& c : colonText)
        c = c == ':' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return FromUtf8(colonText);
}

std::string Unhex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace

Lab Lab::FromEnvironment()
{
    Lab lab;
    lab.dir = std::getenv("VINDREL_LAB_DIR") ? std::getenv("VINDREL_LAB_DIR") : "";
    lab.interfaces = Split(std::getenv("VINDREL_LAB_INTERFACES"));
    lab.hostAddrs = Split(std::getenv("VINDREL_LAB_HOST_ADDRS"));
    lab.serverNamespaces = Split(std::getenv("VINDREL_LAB_SERVER_NS"));
    std::ifstream in(lab.dir + "/servers.txt");
    LabServer s;
    std::string mac;
    while (in >> s.link >> s.ip >> mac) {
        s.mac = MacText(mac);
        lab.servers.push_back(s);
    }
    return lab;
}

std::vector<LabProbe> Lab::Probes(int link) const
{
    std::vector<LabProbe> probes;
    std::ifstream in(dir + "/probes-" + std::to_string(link) + ".log");
    LabProbe p;
    std::string hex;
    while (in >> p.time >> p.sourceIp >> p.sourcePort >> hex) {
        p.payload = Unhex(hex);
        probes.push_back(p);
    }
    return probes;
}

int BindReplyPort()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0)
        return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(6000);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

double UnixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

RecordingTarget::RecordingTarget()
{
    // Every sighting, as the engine pushed it (the queue merges none).
    m_drain = std::thread([this] {
        for (;;) {
            m_queue->WaitUntilNonEmpty(std::chrono::steady_clock::now() + std::chrono::milliseconds(20));
            std::vector<ServerSighting> batch = m_queue->Take();
            std::lock_guard lock(m_mutex);
            for (ServerSighting& s : batch)
                m_arrivals.push_back({s.heardAt, std::move(s.record), s.interfaceIndex, s.localAddress});
            if (!batch.empty())
                m_changed.notify_all();
            if (m_stop)
                return;
        }
    });
}

RecordingTarget::~RecordingTarget()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_drain.join();
}

std::vector<RecordingTarget::Arrival> RecordingTarget::Arrivals() const
{
    std::lock_guard lock(m_mutex);
    return m_arrivals;
}

bool RecordingTarget::WaitUntil(const std::function<bool(const std::vector<Arrival>&)>& done,
                                std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(m_arrivals); });
}

bool HasIp(const Arrivals& arrivals, const std::string& ip)
{
    const std::u16string wanted = FromUtf8(ip);
    return std::any_of(arrivals.begin(), arrivals.end(), [&](const auto& a) { return a.record.IP == wanted; });
}

bool HasEveryServer(const Arrivals& arrivals, const Lab& lab)
{
    return std::all_of(lab.servers.begin(), lab.servers.end(),
                       [&](const LabServer& s) { return HasIp(arrivals, s.ip); });
}

const ServerRecord* FirstFrom(const Arrivals& arrivals, const std::string& ip)
{
    const std::u16string wanted = FromUtf8(ip);
    for (const auto& a : arrivals)
        if (a.record.IP == wanted)
            return &a.record;
    return nullptr;
}

std::uint32_t Ipv4(const std::string& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1 ? address.s_addr : 0;
}

std::vector<std::string> CapturedLines::Snapshot()
{
    std::lock_guard lock(mutex);
    return lines;
}

DiscoveryOptions CapturingOptions(const std::shared_ptr<CapturedLines>& sink)
{
    DiscoveryOptions options;
    options.diagnostics = [sink](std::string_view line) {
        std::lock_guard lock(sink->mutex);
        sink->lines.emplace_back(line);
    };
    return options;
}

CommandResult RunCommand(const std::string& commandLine, bool withStderr)
{
    CommandResult result;
    std::FILE* pipe = popen((commandLine + (withStderr ? " 2>&1" : "")).c_str(), "r");
    if (!pipe)
        return result;
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        result.output.append(chunk, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

testing::AssertionResult LabCommand(const std::string& commandLine)
{
    const CommandResult r = RunCommand(commandLine, true);
    if (r.exitCode == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << commandLine << " exited " << r.exitCode << ": " << r.output;
}

std::string ScanPath()
{
    return std::string(VINDREL_BIN_DIR) + "/vindrel-scan";
}
