#pragma once
// What the runners stand on; the composition root builds it once and hands it down.

#include <string>
#include <vector>

#include "env/GlobalUtils.h"

class Registry;
class ProcessLauncher;
class WmiConnector;
class ServiceControl;
class ScheduledTasks;
class MessageBoxes;

// One of the users whose HKEY_CURRENT_USER a run writes: its name for the reports ("current",
// "default") and the registry in which HKEY_CURRENT_USER is that user's.
struct UserTarget {
    std::string user;
    Registry* registry = nullptr;
};

struct EnginePlatform {
    EnvPlatform env;
    Registry& registry;
    ProcessLauncher& processes;
    WmiConnector& wmi;
    ServiceControl& services;  // the machine's, whichever users a run writes
    ScheduledTasks& tasks;
    MessageBoxes& messages;
    // When set, a registry action under HKEY_CURRENT_USER is carried out once for each of them,
    // each an action of its own, instead of once in registry.
    std::vector<UserTarget> users{};
};
