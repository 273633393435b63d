#include "RegistryDouble.h"
#include "RegistryHarness.h"

std::unique_ptr<Registry> MakeTestRegistry() { return std::make_unique<RegistryDouble>(); }

void SetTestEnvironment(Registry& registry, const std::string& name, const std::string& value) {
    static_cast<RegistryDouble&>(registry).SetEnvironment(name, value);
}

void RemoveTestKey(RegKey, const std::string&) {}

bool PoseAsWow64(Registry& registry) {
    return static_cast<RegistryDouble&>(registry).wow64Process = true;
}
