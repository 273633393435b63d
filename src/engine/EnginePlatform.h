#pragma once
// What the runners stand on; the composition root builds it once and hands it down.

#include "env/GlobalUtils.h"

class Registry;
class ProcessLauncher;
class WmiConnector;
class MessageBoxes;

struct EnginePlatform {
    EnvPlatform env;
    Registry& registry;
    ProcessLauncher& processes;
    WmiConnector& wmi;
    MessageBoxes& messages;
};
