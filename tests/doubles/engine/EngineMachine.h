#pragma once
// The runners' whole platform on the doubles, each kept for the test to script and read back.
// Needs the env and registry doubles linked beside the engine's.

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "engine/EnginePlatform.h"

struct EngineMachine {
    FakeEnvironment env;
    RegistryDouble registry;
    IdleProcessLauncher processes;
    ScriptedWmi wmi;
    ServiceDouble services;
    TaskDouble tasks;
    RecordingMessageBoxes boxes;

    EnginePlatform Engine() {
        return {env.platform(), registry, processes, wmi, services, tasks, boxes};
    }
};
