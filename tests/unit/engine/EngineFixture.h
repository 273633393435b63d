#pragma once
// Everything a runner stands on, faked: environment, registry, processes, WMI, message boxes.

#include <string>
#include <utility>
#include <vector>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "engine/EnginePlatform.h"
#include "platform/Registry.h"

// A registry that refuses everything, for runners that must not touch it.
class RefusingRegistry final : public Registry {
public:
    int calls = 0;
    int32_t OpenKey(RegKey, const std::string&, uint32_t, RegKey&) override { return Refuse(); }
    int32_t CreateKey(RegKey, const std::string&, uint32_t, RegKey&) override { return Refuse(); }
    int32_t QueryValue(RegKey, const std::string&, uint32_t&, uint8_t*, uint32_t&) override {
        return Refuse();
    }
    int32_t SetValue(RegKey, const std::string&, uint32_t, const uint8_t*, uint32_t) override {
        return Refuse();
    }
    int32_t DeleteValue(RegKey, const std::string&) override { return Refuse(); }
    int32_t DeleteKey(RegKey, const std::string&) override { return Refuse(); }
    int32_t EnumKey(RegKey, uint32_t, char*, uint32_t) override { return Refuse(); }
    int32_t QueryInfoKey(RegKey, uint32_t&) override { return Refuse(); }
    int32_t EnumValue(RegKey, uint32_t, char*, uint32_t&) override { return Refuse(); }
    int32_t ConnectRegistry(const std::string&, RegKey, RegKey&) override { return Refuse(); }
    int32_t CloseKey(RegKey) override { return Refuse(); }
    uint32_t ExpandEnvironment(const std::string&, char*, uint32_t) override {
        ++calls;
        return 0;
    }

private:
    int32_t Refuse() {
        ++calls;
        return reg::kAccessDenied;
    }
};

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

using EngineFixture = BasicEngineFixture<RefusingRegistry>;
using RegistryFixture = BasicEngineFixture<RegistryDouble>;
