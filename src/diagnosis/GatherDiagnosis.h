#pragma once

#include "diagnosis/Diagnosis.h"
#include "diagnosis/firewall/FirewallCheck.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct EngineStatus;

// Everything a diagnosis needs beside the engine's status, gathered the same
// way for every front end: vindrel-scan --diagnose and the window's report
// both call this, then Diagnose (discovery/Diagnosis.h). It classifies the
// status's adapters, names the port's holder when the listener reports the
// port in use, and judges the host firewall for the adapters' interfaces.
//
// Blocks for up to the firewall check's budget (about 2 s): call it on a
// worker thread, never on the GUI thread. It shares nothing with the engine
// or with other calls, so any thread may call it at any time; the result is
// a plain value to hand to another thread.
DiagnosisInput GatherDiagnosis(const EngineStatus& status, std::chrono::milliseconds searched,
                               std::uint16_t port = 6000);

// Where the facts come from; the defaults are the running system's (the
// calling thread's network namespace). Tests pass fake trees and a fake
// firewall probe.
struct DiagnosisSources
{
    std::string sysfsRoot = "/sys/class/net";
    std::string procRoot = "/proc";
    std::optional<FirewallProbe> firewall;  // nullopt: FirewallProbe::System()
    std::chrono::milliseconds firewallBudget{2000};
};

DiagnosisInput GatherDiagnosis(const EngineStatus& status, std::chrono::milliseconds searched, std::uint16_t port,
                               const DiagnosisSources& sources);
