#pragma once
// Everything a runner stands on, faked: environment, registry, processes, WMI, message boxes.

#include <string>
#include <utility>
#include <vector>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "engine/EnginePlatform.h"

template <typename RegistryT>
struct BasicEngineFixture {
    FakeEnvironment env;
    RegistryT registry;
    RecordingProcessLauncher processes;
    ScriptedWmi wmi;
    RecordingMessageBoxes boxes;

    template <typename... RegistryArgs>
    explicit BasicEngineFixture(RegistryArgs&&... args)
        : registry(std::forward<RegistryArgs>(args)...) {
        processes.redirectionProbe = &env.system.redirectionOff;
    }

    EnginePlatform platform() { return {env.platform(), registry, processes, wmi, boxes}; }

    // The lines of the log beside the fake executable, line ends checked and removed.
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        const std::string& text = env.files.files["C:\\Tools\\SarnetLog.txt"];
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back("<unterminated>" + text.substr(start));
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }
};

using EngineFixture = BasicEngineFixture<RegistryDouble>;
using RegistryFixture = EngineFixture;
