// The engine mends itself without a restart: a reply port that another
// program held, addresses that come, go and change, MACs learnt late, an
// adapter that cannot send. Each case runs in a lab of its own and changes
// that lab (ip, sysctl, nft inside its namespaces only).

#include "LabSupport.h"
#include "base/LocaleText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using State = ListenerStatus::State;

const AdapterStatus* AdapterAt(const EngineStatus& status, const std::string& address)
{
    for (const AdapterStatus& a : status.adapters)
        if (a.address == address)
            return &a;
    return nullptr;
}

// The probes korvan-sim heard on link 1 from `source`, in order.
std::vector<LabProbe> ProbesFrom(const Lab& lab, const std::string& source)
{
    std::vector<LabProbe> probes = lab.Probes(1);
    std::erase_if(probes, [&](const LabProbe& p) { return p.sourceIp != source; });
    return probes;
}

void ExpectCountingFromOne(const std::vector<LabProbe>& probes)
{
    for (std::size_t i = 0; i < probes.size(); ++i)
        EXPECT_EQ(probes[i].payload, ProbePayload(static_cast<std::int32_t>(i + 1))) << "probe " << i + 1;
}

bool SightingThrough(const Arrivals& arrivals, const std::string& local)
{
    const std::uint32_t wanted = Ipv4(local);
    return std::any_of(arrivals.begin(), arrivals.end(), [&](const auto& a) { return a.localAddress == wanted; });
}

TEST(PortFreed, AListenerThatFoundThePortTakenTakesItOnceFreed)
{
    const Lab lab = Lab::FromEnvironment();
    const int holder = BindReplyPort();
    ASSERT_GE(holder, 0) << std::strerror(errno);

    auto lines = std::make_shared<CapturedLines>();
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(lines));
    engine.Start(target.Queue());
    EXPECT_EQ(engine.WaitForListener(2s).status, ListenerState::Status::kBindFailed);
    const EngineStatus taken = engine.Status();
    EXPECT_EQ(taken.listener.state, State::kPortInUse);
    EXPECT_EQ(taken.listener.error, EADDRINUSE);

    // Long enough for at least one retry, which must not say it again.
    std::this_thread::sleep_for(3500ms);
    const std::string inUse = "error! error code is " + std::to_string(EADDRINUSE) + "\n";
    const auto said = lines->Snapshot();
    EXPECT_EQ(std::count(said.begin(), said.end(), inUse), 1);
    EXPECT_TRUE(target.Arrivals().empty());

    close(holder);
    const auto freedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 5s))
        << "listed within a retry and a probe round of the port coming free";
    std::printf("servers listed %.2f s after the port came free\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - freedAt).count());
    EXPECT_EQ(engine.Status().listener.state, State::kListening);
    EXPECT_EQ(engine.WaitForListener(0ms).status, ListenerState::Status::kListening);
}

TEST(AddressAdded, ProbesFromANewAddressBeginAtOneAndItsRepliesArrive)
{
    const Lab lab = Lab::FromEnvironment();
    const std::string first = lab.hostAddrs.at(0);
    const std::string added = "10.21.0.9";
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(std::make_shared<CapturedLines>()));
    engine.Start(target.Queue());
    ASSERT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 6s));
    std::this_thread::sleep_for(600ms);

    ASSERT_TRUE(LabCommand("ip addr add " + added + "/16 dev " + lab.interfaces.at(0)));
    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return SightingThrough(a, added); }, 5s))
        << "servers answer the new address's probes";
    EXPECT_TRUE(Eventually([&] { return ProbesFrom(lab, added).size() >= 2; }, 5s));

    const auto fromAdded = ProbesFrom(lab, added);
    ExpectCountingFromOne(fromAdded);
    const auto fromFirst = ProbesFrom(lab, first);
    EXPECT_GE(fromFirst.size(), 3u);
    ExpectCountingFromOne(fromFirst);  // its own sequence goes on undisturbed

    const EngineStatus status = engine.Status();
    ASSERT_EQ(status.adapters.size(), 2u);
    const AdapterStatus* a = AdapterAt(status, added);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->name, lab.interfaces.at(0));
    EXPECT_EQ(a->prefixLength, 16u);
    EXPECT_GE(a->probesSent, 2u);
    EXPECT_GE(a->repliesReceived, lab.servers.size());
}

TEST(AddressChanged, ProbingGoesOnFromTheNewAddress)
{
    const Lab lab = Lab::FromEnvironment();
    const std::string old = lab.hostAddrs.at(0);
    const std::string changed = "10.21.0.7";
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(std::make_shared<CapturedLines>()));
    engine.Start(target.Queue());
    ASSERT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 6s));

    const std::string dev = lab.interfaces.at(0);
    ASSERT_TRUE(LabCommand("ip addr del " + old + "/16 dev " + dev + " && ip addr add " + changed + "/16 dev " + dev));
    const double changedAt = UnixNow();
    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return SightingThrough(a, changed); }, 5s));
    EXPECT_TRUE(Eventually([&] { return ProbesFrom(lab, changed).size() >= 2; }, 5s));

    const auto fromNew = ProbesFrom(lab, changed);
    ExpectCountingFromOne(fromNew);
    for (const LabProbe& p : ProbesFrom(lab, old))
        EXPECT_LT(p.time, changedAt + 0.1) << "no probe from the address that went";
    const EngineStatus status = engine.Status();
    ASSERT_EQ(status.adapters.size(), 1u);
    EXPECT_EQ(status.adapters[0].address, changed);
    EXPECT_FALSE(status.noAddresses);
}

// The host learns nothing by itself: the servers answer probes but never
// ARP, and now they do not answer ARP either.
void SilenceArp(const Lab& lab)
{
    ASSERT_EQ(lab.serverNamespaces.size(), 1u);
    ASSERT_TRUE(LabCommand("ip netns exec " + lab.serverNamespaces[0] + " sysctl -qw net.ipv4.conf.all.arp_ignore=8"));
    ASSERT_TRUE(LabCommand("ip neigh flush dev " + lab.interfaces.at(0) + " nud all"));
}

void TeachNeighbours(const Lab& lab)
{
    for (const LabServer& s : lab.servers) {
        std::string mac = ToUtf8(s.mac);
        std::replace(mac.begin(), mac.end(), '-', ':');
        ASSERT_TRUE(LabCommand("ip neigh replace " + s.ip + " lladdr " + mac + " dev " + lab.interfaces.at(0) +
                               " nud permanent"));
    }
}

TEST(LateMac, ALaterSightingCarriesTheMacOnceTheNeighbourTableHasIt)
{
    const Lab lab = Lab::FromEnvironment();
    SilenceArp(lab);
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(std::make_shared<CapturedLines>()));
    engine.Start(target.Queue());
    ASSERT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 6s));
    for (const LabServer& s : lab.servers)
        ASSERT_EQ(FirstFrom(target.Arrivals(), s.ip)->Mac, u"") << s.ip;

    std::this_thread::sleep_for(600ms);
    const auto before = target.Arrivals().size();
    TeachNeighbours(lab);
    const auto everyMacLate = [&](const Arrivals& all) {
        return std::all_of(lab.servers.begin(), lab.servers.end(), [&](const LabServer& s) {
            return std::any_of(all.begin() + static_cast<std::ptrdiff_t>(before), all.end(),
                               [&](const auto& a) { return a.record.IP == FromUtf8(s.ip) && a.record.Mac == s.mac; });
        });
    };
    EXPECT_TRUE(target.WaitUntil(everyMacLate, 4s)) << "the next replies carry the MAC";
}

TEST(LateMac, TheScannerPrintsAMacLearntDuringItsSearch)
{
    const Lab lab = Lab::FromEnvironment();
    SilenceArp(lab);
    std::string output;
    std::thread scan([&] { output = RunCommand(ScanPath() + " --json --seconds 2.5").output; });
    std::this_thread::sleep_for(1s);
    TeachNeighbours(lab);
    scan.join();
    for (const LabServer& s : lab.servers)
        EXPECT_NE(output.find("\"Mac\": \"" + ToUtf8(s.mac) + "\""), std::string::npos) << output;
}

TEST(SendErrors, AnAdapterThatCannotSendDoesNotHideTheOthers)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.interfaces.size(), 2u);
    ASSERT_TRUE(LabCommand("nft add table ip vindrel_test && nft add chain ip vindrel_test out "
                           "'{ type filter hook output priority 0; }' && nft add rule ip vindrel_test out oifname " +
                           lab.interfaces[1] + " udp dport 6001 drop"));
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(std::make_shared<CapturedLines>()));
    engine.Start(target.Queue());
    EXPECT_TRUE(target.WaitUntil(
        [&](const Arrivals& a) {
            return std::all_of(lab.servers.begin(), lab.servers.end(),
                               [&](const LabServer& s) { return s.link != 1 || HasIp(a, s.ip); });
        },
        3s));
    std::this_thread::sleep_for(1200ms);

    const EngineStatus status = engine.Status();
    EXPECT_EQ(status.listener.state, State::kListening);
    const AdapterStatus* working = AdapterAt(status, lab.hostAddrs[0]);
    const AdapterStatus* refused = AdapterAt(status, lab.hostAddrs[1]);
    ASSERT_NE(working, nullptr);
    ASSERT_NE(refused, nullptr);
    EXPECT_GE(working->probesSent, 2u);
    EXPECT_EQ(working->sendErrors, 0u);
    EXPECT_GE(working->repliesReceived, 1u);
    EXPECT_EQ(refused->probesSent, 0u);
    EXPECT_GE(refused->sendErrors, 2u);
    EXPECT_EQ(refused->lastSendError, EPERM);
    EXPECT_EQ(refused->repliesReceived, 0u);
    EXPECT_EQ(status.repliesReceived, working->repliesReceived);
}

}  // namespace
