#pragma once
// What the registry contract needs of the side it runs on: the in-memory double natively,
// advapi32 under Wine.

#include <memory>
#include <string>

#include "platform/Registry.h"

std::unique_ptr<Registry> MakeTestRegistry();
// Sets an environment variable that the registry's expansion sees.
void SetTestEnvironment(Registry& registry, const std::string& name, const std::string& value);
// Removes a key with everything below it from the real registry; the double goes with its test.
void RemoveTestKey(RegKey root, const std::string& path);
// The 32-bit program on 64-bit Windows, where the side can be one: the double poses as it, and
// advapi32 is it in the x86 build. True when it is.
bool PoseAsWow64(Registry& registry);
