#include "discovery/NeighbourTable.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// A table read is cheap but not free (1000 servers: ~80 kB of text); misses
// re-read it at most this often, and hits once it is this old, so a server
// that changed hardware is seen again.
constexpr auto kReloadGap = std::chrono::milliseconds(100);
constexpr auto kMaxAge = std::chrono::seconds(5);
constexpr auto kPollStep = std::chrono::milliseconds(10);
constexpr unsigned kCompleteFlag = 0x2;  // ATF_COM
constexpr std::size_t kMaxRemembered = 4096;
constexpr std::uint16_t kDiscardPort = 9;

std::string ReadWholeFile(const char* path)
{
    std::string text;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char chunk[16384];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

std::optional<MacAddress> ParseMac(std::string_view text)
{
    unsigned b[6];
    char tail = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &tail) != 6)
        return std::nullopt;
    MacAddress mac;
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<std::uint8_t>(b[i]);
    return mac;
}

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

}  // namespace

NeighbourTable::NeighbourTable(std::vector<LocalInterface> links)
    : NeighbourTable(std::move(links), Limits{})
{
}

NeighbourTable::NeighbourTable(std::vector<LocalInterface> links, Limits limits)
    : m_limits(limits)
    , m_links(std::move(links))
    , m_budget(limits.waitBudget)
    , m_budgetAt(Clock::now())
{
}

NeighbourTable::~NeighbourTable()
{
    if (m_triggerSocket >= 0)
        close(m_triggerSocket);
}

std::unordered_map<std::uint32_t, MacAddress> NeighbourTable::ParseArpTable(std::string_view text)
{
    // "IP address  HW type  Flags  HW address  Mask  Device", one header line.
    std::unordered_map<std::uint32_t, MacAddress> table;
    bool header = true;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        const std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (std::exchange(header, false))
            continue;
        const auto words = Words(line);
        if (words.size() < 4)
            continue;
        in_addr addr{};
        if (inet_pton(AF_INET, std::string(words[0]).c_str(), &addr) != 1)
            continue;
        const unsigned long flags = std::strtoul(std::string(words[2]).c_str(), nullptr, 16);
        const auto mac = ParseMac(words[3]);
        if (!(flags & kCompleteFlag) || !mac || *mac == MacAddress{})
            continue;
        table[addr.s_addr] = *mac;
    }
    return table;
}

void NeighbourTable::SetLinks(std::vector<LocalInterface> links)
{
    std::lock_guard lock(m_linksMutex);
    m_links = std::move(links);
}

std::optional<MacAddress> NeighbourTable::Lookup(std::uint32_t address)
{
    std::lock_guard lock(m_mutex);
    auto now = Clock::now();
    if (auto mac = FindFresh(address, now))
        return mac;
    if (!IsResolvable(address))
        return std::nullopt;

    auto& last = m_lastResolve[address];
    if (last != Clock::time_point{} && now - last < m_limits.retryAfter)
        return std::nullopt;
    last = now;
    if (m_lastResolve.size() > kMaxRemembered)
        std::erase_if(m_lastResolve, [&](const auto& e) { return now - e.second >= m_limits.retryAfter; });

    // Refill the waiting budget for the time gone by, then spend from it.
    const auto refill =
        std::chrono::duration_cast<Clock::duration>((now - m_budgetAt) * m_limits.budgetRefillPerSecond);
    m_budget = std::min<Clock::duration>(m_limits.waitBudget, m_budget + refill);
    m_budgetAt = now;

    AskKernel(address);
    // Wait only when the budget covers a whole poll step, and charge the wait
    // in full, overshoot included (the budget may run into debt that later
    // refills pay back). Otherwise a crumb of budget buys a full step, and a
    // flood of unknown senders sleeps a step per datagram.
    std::optional<MacAddress> mac;
    if (m_budget >= kPollStep) {
        const auto until = now + std::min<Clock::duration>(m_limits.resolveWait, m_budget);
        while (Clock::now() < until) {
            std::this_thread::sleep_for(kPollStep);
            Reload(Clock::now());
            if ((mac = Find(address)))
                break;
        }
    }
    now = Clock::now();
    m_budget -= now - m_budgetAt;
    m_budgetAt = now;
    return mac;
}

std::optional<MacAddress> NeighbourTable::Known(std::uint32_t address)
{
    std::lock_guard lock(m_mutex);
    return FindFresh(address, Clock::now());
}

std::optional<MacAddress> NeighbourTable::FindFresh(std::uint32_t address, Clock::time_point now)
{
    if (now - m_readAt > kMaxAge)
        Reload(now);
    if (auto mac = Find(address))
        return mac;
    if (now - m_readAt >= kReloadGap) {
        Reload(now);
        return Find(address);
    }
    return std::nullopt;
}

bool NeighbourTable::IsResolvable(std::uint32_t address) const
{
    std::lock_guard lock(m_linksMutex);
    bool onLink = false;
    for (const LocalInterface& link : m_links) {
        if (link.addr == address)
            return false;  // ourselves: no neighbour entry, nothing to ask
        if (link.netmask != 0 && (link.addr & link.netmask) == (address & link.netmask))
            onLink = true;
    }
    return onLink;
}

void NeighbourTable::Reload(Clock::time_point now)
{
    m_table = ParseArpTable(ReadWholeFile("/proc/net/arp"));
    m_readAt = now;
}

std::optional<MacAddress> NeighbourTable::Find(std::uint32_t address) const
{
    const auto it = m_table.find(address);
    if (it == m_table.end())
        return std::nullopt;
    return it->second;
}

void NeighbourTable::AskKernel(std::uint32_t address)
{
    // An empty datagram to the discard port: the kernel must resolve the
    // next hop to send it, and an on-link host is its own next hop.
    if (m_triggerSocket < 0)
        m_triggerSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
    if (m_triggerSocket < 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = address;
    // Failure only means no entry will appear; the wait then finds nothing.
    (void)sendto(m_triggerSocket, "", 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}
