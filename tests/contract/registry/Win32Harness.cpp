#include <cstdlib>

#include "RegistryHarness.h"
#include "platform/win32/registry/Win32Registry.h"

namespace {
class Win32Harness final : public RegistryHarness {
public:
    Registry& registry() override { return registry_; }
    // The C runtime passes the variable on to the process environment that the platform's
    // expansion reads. The contract's names and values are ASCII.
    void SetEnvironment(const std::string& name, const std::string& value) override {
        _putenv_s(name.c_str(), value.c_str());
    }

private:
    Win32Registry registry_;
};
}  // namespace

std::unique_ptr<RegistryHarness> MakeRegistryHarness() { return std::make_unique<Win32Harness>(); }
