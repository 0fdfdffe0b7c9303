#include "diagnosis/GatherDiagnosis.h"

#include "diagnosis/AdapterKind.h"
#include "diagnosis/PortOwner.h"
#include "discovery/EngineStatus.h"

#include <algorithm>
#include <vector>

namespace {

// Each interface once, in probing order: an adapter with two addresses is
// two entries of the status.
std::vector<std::string> InterfaceNames(const std::vector<AdapterStatus>& adapters)
{
    std::vector<std::string> names;
    for (const AdapterStatus& a : adapters)
        if (!a.name.empty() && std::find(names.begin(), names.end(), a.name) == names.end())
            names.push_back(a.name);
    return names;
}

}  // namespace

DiagnosisInput GatherDiagnosis(const EngineStatus& status, std::chrono::milliseconds searched, std::uint16_t port)
{
    return GatherDiagnosis(status, searched, port, DiagnosisSources{});
}

DiagnosisInput GatherDiagnosis(const EngineStatus& status, std::chrono::milliseconds searched, std::uint16_t port,
                               const DiagnosisSources& sources)
{
    DiagnosisInput in;
    in.engine = status;
    in.searchDuration = searched;
    in.port = port;
    in.adapterKinds = ClassifyAdapters(status.adapters, sources.sysfsRoot);
    // Looked up now rather than when the bind failed: the holder may have
    // changed since, and the name is what the person must act on.
    if (status.listener.state == ListenerStatus::State::kPortInUse)
        in.portOwner = FindPortOwner(port, sources.procRoot);
    // With no adapter the check judges every interface.
    const std::vector<std::string> interfaces = InterfaceNames(status.adapters);
    if (sources.firewall)
        in.firewall = CheckFirewall(port, interfaces, sources.firewallBudget, *sources.firewall);
    else if (CanCheckFirewall())  // else reported as not checked
        in.firewall = CheckFirewall(port, interfaces, sources.firewallBudget);
    return in;
}
