#pragma once
// What the registry contract needs of the side it runs on: the registry under test, and a way to
// set an environment variable that the registry's expansion sees.

#include <memory>
#include <string>

#include "platform/Registry.h"

class RegistryHarness {
public:
    virtual ~RegistryHarness() = default;
    virtual Registry& registry() = 0;
    virtual void SetEnvironment(const std::string& name, const std::string& value) = 0;
};

std::unique_ptr<RegistryHarness> MakeRegistryHarness();
