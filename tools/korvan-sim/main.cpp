// korvan-sim: simulated Korvan servers for tests, demos and benchmarks.
// Answers probes on UDP 6001 with an eight-line reply to port 6000 of the
// probe's sender, from one or many server addresses: a broadcast probe is
// answered by every server, a probe sent to one server's address by that
// server alone. Optionally logs the Wake-on-LAN packets it hears on UDP 9.
// Sends real packets: run it only inside the lab's private network
// namespaces (scripts/netlab.sh).

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kLargestReply = 2047;  // what a listener's buffer takes
constexpr std::size_t kMagicSize = 102;

constexpr const char* kUsage = "Usage: korvan-sim [options]\n"
                               "Simulated Korvan servers: answer probes on UDP 6001 with an eight-line reply\n"
                               "sent to port 6000 of the probe's sender. A broadcast probe is answered by every\n"
                               "server, a probe sent to one server's address by that server alone. Sends real\n"
                               "packets: run it only inside a private network namespace (scripts/netlab.sh does).\n"
                               "\n"
                               "  --first-address A   the first server's IPv4 address (must be on a local\n"
                               "                      interface); default: the first address of --interface\n"
                               "  --count N           N servers on consecutive addresses from A (default 1,\n"
                               "                      or one per line of --fields)\n"
                               "  --interface IF      hear broadcasts on IF only (a macvlan parent, so each is\n"
                               "                      heard once); probes to a server's address are heard on\n"
                               "                      its own device\n"
                               "  --fields FILE       one server per line: Name, Port, Version, Serial,\n"
                               "                      DeviceType, Mac text, KorvanID, UpTime, TAB-separated\n"
                               "                      (a line with another number of fields is warned about)\n"
                               "  --raw FILE          every server replies with exactly the bytes of FILE\n"
                               "                      (served even when over the 2047 a reply may hold, with a\n"
                               "                      warning)\n"
                               "  --silent            log probes but never reply\n"
                               "  --probe-log FILE    append one line per probe heard:\n"
                               "                      <unix time, s.us> <source ip> <source port> <payload hex>\n"
                               "  --wol-log FILE      listen on UDP 9 as well and append one line per datagram\n"
                               "                      heard there: <unix time, s.us> <source ip> <destination\n"
                               "                      ip> <payload hex> <magic|other>; magic: exactly 102 bytes,\n"
                               "                      six 0xFF then one hardware address sixteen times\n"
                               "  --ready-file FILE   create FILE once every socket is bound\n"
                               "  --probe-port P      port probes arrive on (default 6001)\n"
                               "  --reply-port P      port replies go to (default 6000)\n"
                               "  --help              this text\n"
                               "  --version           the version\n"
                               "Exit: 0 after --help or --version (otherwise it runs until killed), 1 when it\n"
                               "cannot start, 2 for bad usage.\n";

struct Options
{
    std::string firstAddress;
    int count = -1;
    std::string interface;
    std::string fieldsFile;
    std::string rawFile;
    bool silent = false;
    std::string probeLog;
    std::string wolLog;
    std::string readyFile;
    std::uint16_t probePort = 6001;
    std::uint16_t replyPort = 6000;
};

struct Server
{
    int fd = -1;
    in_addr addr{};
    std::string reply;
};

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "korvan-sim: %s\n", message.c_str());
    std::exit(1);
}

[[noreturn]] void BadUsage(const std::string& message)
{
    std::fprintf(stderr, "korvan-sim: %s (try --help)\n", message.c_str());
    std::exit(2);
}

std::optional<long> ParseNumber(const char* text, long min, long max)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < min || value > max)
        return std::nullopt;
    return value;
}

Options ParseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                BadUsage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--version") {
            std::fputs("korvan-sim " VINDREL_VERSION "\n", stdout);
            std::exit(0);
        } else if (arg == "--first-address") {
            o.firstAddress = value();
        } else if (arg == "--count") {
            const auto n = ParseNumber(value(), 0, 65000);
            if (!n)
                BadUsage("--count wants a number from 0 to 65000");
            o.count = static_cast<int>(*n);
        } else if (arg == "--interface") {
            o.interface = value();
        } else if (arg == "--fields") {
            o.fieldsFile = value();
        } else if (arg == "--raw") {
            o.rawFile = value();
        } else if (arg == "--silent") {
            o.silent = true;
        } else if (arg == "--probe-log") {
            o.probeLog = value();
        } else if (arg == "--wol-log") {
            o.wolLog = value();
        } else if (arg == "--ready-file") {
            o.readyFile = value();
        } else if (arg == "--probe-port" || arg == "--reply-port") {
            const auto n = ParseNumber(value(), 1, 65535);
            if (!n)
                BadUsage(arg + " wants a port from 1 to 65535");
            (arg == "--probe-port" ? o.probePort : o.replyPort) = static_cast<std::uint16_t>(*n);
        } else {
            BadUsage("unknown option '" + arg + "'");
        }
    }
    return o;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct LocalAddress
{
    std::string device;
    in_addr addr{};
    in_addr broadcast{};  // INADDR_ANY when the interface has none
};

std::vector<LocalAddress> LocalAddresses()
{
    std::vector<LocalAddress> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        Fail(std::string("cannot list interfaces: ") + std::strerror(errno));
    for (const ifaddrs* it = list; it; it = it->ifa_next) {
        if (it->ifa_addr && it->ifa_addr->sa_family == AF_INET) {
            LocalAddress local{it->ifa_name, reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr, {}};
            // The subnet's broadcast from the mask: getifaddrs reports the
            // address itself where none was configured.
            const std::uint32_t mask =
                it->ifa_netmask ? ntohl(reinterpret_cast<const sockaddr_in*>(it->ifa_netmask)->sin_addr.s_addr) : 0;
            if ((it->ifa_flags & IFF_BROADCAST) && mask != 0 && ~mask > 1)
                local.broadcast.s_addr = htonl(ntohl(local.addr.s_addr) | ~mask);
            result.push_back(local);
        }
    }
    freeifaddrs(list);
    return result;
}

std::string DeviceMacText(const std::string& device)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", device.c_str());
    std::string text = "00-00-00-00-00-00";
    if (fd >= 0 && ioctl(fd, SIOCGIFHWADDR, &request) == 0) {
        const auto* b = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
        char buffer[18];
        std::snprintf(buffer, sizeof buffer, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", b[0], b[1], b[2], b[3], b[4], b[5]);
        text = buffer;
    }
    if (fd >= 0)
        close(fd);
    return text;
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return parts;
        start = tab + 1;
    }
}

std::string DefaultReply(int i, const std::string& mac)
{
    char text[256];
    std::snprintf(text, sizeof text, "KORVAN-%04d\n80\n2.1.%d\nKS%06d\nK4-NAS\n%s\nKV-%08X\n%dd %02d:%02d\n", i + 1,
                  i % 10, i + 1, mac.c_str(), 0x4B000000u + static_cast<unsigned>(i), i % 30, i % 24, i % 60);
    return text;
}

std::string FieldsReply(const std::vector<std::string>& fields)
{
    std::string reply;
    for (std::size_t i = 0; i < 8; ++i)
        reply += (i < fields.size() ? fields[i] : std::string()) + "\n";
    return reply;
}

int BoundSocket(const in_addr& addr, std::uint16_t port, const std::string& device)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        Fail(std::string("socket: ") + std::strerror(errno));
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // Bound to its own device, a macvlan server's replies carry its own MAC.
    if (!device.empty() &&
        setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), static_cast<socklen_t>(device.size())) != 0)
        Fail("cannot bind to device " + device + ": " + std::strerror(errno));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr = addr;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &addr, text, sizeof text);
        Fail(std::string("cannot bind ") + text + ":" + std::to_string(port) + ": " + std::strerror(errno));
    }
    return fd;
}

std::vector<Server> MakeServers(const Options& o)
{
    const std::vector<LocalAddress> locals = LocalAddresses();
    in_addr first{};
    if (!o.firstAddress.empty()) {
        if (inet_pton(AF_INET, o.firstAddress.c_str(), &first) != 1)
            BadUsage("--first-address wants a dotted IPv4 address");
    } else {
        bool found = false;
        for (const LocalAddress& l : locals)
            if (l.device == o.interface && !o.interface.empty()) {
                first = l.addr;
                found = true;
                break;
            }
        if (!found)
            BadUsage("give --first-address, or an --interface that has an IPv4 address");
    }

    std::vector<std::vector<std::string>> fieldRows;
    if (!o.fieldsFile.empty()) {
        std::istringstream in(ReadFile(o.fieldsFile));
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            if (line.empty())
                continue;
            fieldRows.push_back(SplitTabs(line));
            // Served all the same: missing fields are sent empty, extra ones dropped.
            if (fieldRows.back().size() != 8)
                std::fprintf(stderr, "korvan-sim: warning: %s line %d has %zu fields, not 8\n", o.fieldsFile.c_str(),
                             number, fieldRows.back().size());
        }
    }
    const std::string raw = o.rawFile.empty() ? std::string() : ReadFile(o.rawFile);
    if (raw.size() > kLargestReply)
        std::fprintf(stderr,
                     "korvan-sim: warning: %s is %zu bytes; a reply holds at most %zu, so listeners drop it (served "
                     "as it is)\n",
                     o.rawFile.c_str(), raw.size(), kLargestReply);
    const int count = o.count >= 0 ? o.count : (fieldRows.empty() ? 1 : static_cast<int>(fieldRows.size()));

    std::vector<Server> servers;
    servers.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        in_addr addr{};
        addr.s_addr = htonl(ntohl(first.s_addr) + static_cast<std::uint32_t>(i));
        std::string device;
        for (const LocalAddress& l : locals)
            if (l.addr.s_addr == addr.s_addr)
                device = l.device;
        if (device.empty()) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &addr, text, sizeof text);
            Fail(std::string("server address ") + text + " is not on any local interface");
        }
        Server server;
        server.fd = BoundSocket(addr, 0, device);
        server.addr = addr;
        if (!o.rawFile.empty())
            server.reply = raw;
        else if (!fieldRows.empty())
            server.reply = FieldsReply(fieldRows[static_cast<std::size_t>(i) % fieldRows.size()]);
        else
            server.reply = DefaultReply(i, DeviceMacText(device));
        servers.push_back(std::move(server));
    }
    return servers;
}

void LogProbe(std::FILE* log, const sockaddr_in& from, const char* data, std::size_t size)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    char ip[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    std::fprintf(log, "%lld.%06lld %s %u ", us / 1000000, us % 1000000, ip, ntohs(from.sin_port));
    for (std::size_t i = 0; i < size; ++i)
        std::fprintf(log, "%02x", static_cast<unsigned char>(data[i]));
    std::fputc('\n', log);
    std::fflush(log);
}

bool IsMagicPacket(const unsigned char* data, std::size_t size)
{
    if (size != kMagicSize)
        return false;
    for (std::size_t i = 0; i < 6; ++i)
        if (data[i] != 0xFF)
            return false;
    for (std::size_t i = 6; i < kMagicSize; ++i)
        if (data[i] != data[6 + (i - 6) % 6])
            return false;
    return true;
}

void LogWake(std::FILE* log, const sockaddr_in& from, in_addr to, const char* data, std::size_t size)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    char source[INET_ADDRSTRLEN] = {}, destination[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
    inet_ntop(AF_INET, &to, destination, sizeof destination);
    std::fprintf(log, "%lld.%06lld %s %s ", us / 1000000, us % 1000000, source, destination);
    for (std::size_t i = 0; i < size; ++i)
        std::fprintf(log, "%02x", static_cast<unsigned char>(data[i]));
    std::fprintf(log, " %s\n", IsMagicPacket(reinterpret_cast<const unsigned char*>(data), size) ? "magic" : "other");
    std::fflush(log);
}

// A socket for every local address on `port`, telling each datagram's
// header destination and arriving interface (IP_PKTINFO). Not bound to a
// device: a probe to a macvlan server's address arrives on that server's own
// device, never on the parent.
int ListeningSocket(std::uint16_t port)
{
    const int fd = BoundSocket(in_addr{htonl(INADDR_ANY)}, port, "");
    const int on = 1;
    if (setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
        Fail(std::string("cannot ask for packet information: ") + std::strerror(errno));
    return fd;
}

struct Datagram
{
    ssize_t size = -1;
    sockaddr_in from{};
    in_addr to{};            // the header's destination address
    unsigned interface = 0;  // the interface it arrived on
};

Datagram Receive(int fd, char* buffer, std::size_t capacity)
{
    Datagram d;
    iovec iov{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr msg{};
    msg.msg_name = &d.from;
    msg.msg_namelen = sizeof d.from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    d.size = recvmsg(fd, &msg, 0);
    if (d.size < 0)
        return d;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            d.to = info.ipi_addr;
            d.interface = static_cast<unsigned>(info.ipi_ifindex);
        }
    }
    return d;
}

// Whether `to` is a broadcast: the limited one or a local subnet's.
bool IsBroadcast(in_addr to, const std::vector<LocalAddress>& locals)
{
    if (to.s_addr == htonl(INADDR_BROADCAST))
        return true;
    for (const LocalAddress& l : locals)
        if (l.broadcast.s_addr != htonl(INADDR_ANY) && l.broadcast.s_addr == to.s_addr)
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options o = ParseOptions(argc, argv);
    unsigned parent = 0;
    if (!o.interface.empty() && (parent = if_nametoindex(o.interface.c_str())) == 0)
        Fail("no such interface: " + o.interface);
    std::vector<Server> servers = MakeServers(o);
    const std::vector<LocalAddress> locals = LocalAddresses();
    const int listener = ListeningSocket(o.probePort);
    const int wake = o.wolLog.empty() ? -1 : ListeningSocket(9);

    std::FILE* log = nullptr;
    if (!o.probeLog.empty() && !(log = std::fopen(o.probeLog.c_str(), "a")))
        Fail("cannot open " + o.probeLog + ": " + std::strerror(errno));
    std::FILE* wolLog = nullptr;
    if (!o.wolLog.empty() && !(wolLog = std::fopen(o.wolLog.c_str(), "a")))
        Fail("cannot open " + o.wolLog + ": " + std::strerror(errno));
    if (!o.readyFile.empty()) {
        std::FILE* ready = std::fopen(o.readyFile.c_str(), "w");
        if (!ready)
            Fail("cannot create " + o.readyFile + ": " + std::strerror(errno));
        std::fclose(ready);
    }

    // A broadcast reaches the parent and every macvlan device on it: only
    // the parent's copy counts, so each server answers once.
    auto heardOnce = [&](const Datagram& d) {
        return !IsBroadcast(d.to, locals) || parent == 0 || d.interface == parent;
    };
    char buffer[65536];
    pollfd fds[2] = {{listener, POLLIN, 0}, {wake, POLLIN, 0}};
    for (;;) {
        if (poll(fds, wake >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            Fail(std::string("poll: ") + std::strerror(errno));
        }
        if (wake >= 0 && (fds[1].revents & POLLIN)) {
            const Datagram d = Receive(wake, buffer, sizeof buffer);
            if (d.size >= 0 && heardOnce(d))
                LogWake(wolLog, d.from, d.to, buffer, static_cast<std::size_t>(d.size));
        }
        if (!(fds[0].revents & POLLIN))
            continue;
        const Datagram d = Receive(listener, buffer, sizeof buffer);
        if (d.size < 0) {
            if (errno == EINTR)
                continue;
            Fail(std::string("receive: ") + std::strerror(errno));
        }
        if (!heardOnce(d))
            continue;
        if (log)
            LogProbe(log, d.from, buffer, static_cast<std::size_t>(d.size));
        if (o.silent)
            continue;
        const bool broadcast = IsBroadcast(d.to, locals);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(o.replyPort);
        to.sin_addr = d.from.sin_addr;
        for (const Server& server : servers)
            if (broadcast || server.addr.s_addr == d.to.s_addr)
                (void)sendto(server.fd, server.reply.data(), server.reply.size(), 0,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
}
