#include "RegistryDouble.h"
#include "RegistryHarness.h"

namespace {
class DoubleHarness final : public RegistryHarness {
public:
    Registry& registry() override { return registry_; }
    void SetEnvironment(const std::string& name, const std::string& value) override {
        registry_.SetEnvironment(name, value);
    }

private:
    RegistryDouble registry_;
};
}  // namespace

std::unique_ptr<RegistryHarness> MakeRegistryHarness() { return std::make_unique<DoubleHarness>(); }
