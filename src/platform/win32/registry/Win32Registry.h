#pragma once
// The Registry interface on advapi32's wide-character calls. Text crosses as UTF-8 and reaches
// the registry as UTF-16 exactly, whatever the machine's ANSI code page; text that is not valid
// UTF-8 is refused (1113, ERROR_NO_UNICODE_TRANSLATION) rather than stored mangled.

#include <chrono>
#include <functional>

#include "platform/Registry.h"

namespace win32 {

class Win32Registry final : public Registry {
public:
    // RegConnectRegistry as a call of its own, so that its waiting can be bounded.
    using ConnectCall =
        std::function<int32_t(const std::string& machine, RegKey root, RegKey& key)>;
    // Time a connection may take before it counts as failed (WAIT_TIMEOUT, 258); an unreachable
    // machine can keep the caller waiting much longer, and the editor calls on its window's
    // thread.
    static constexpr std::chrono::milliseconds kConnectBound{5000};

    explicit Win32Registry(std::chrono::milliseconds connectBound = kConnectBound,
                           ConnectCall connect = {});

    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) override;
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override;
    int32_t QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                       uint32_t& size) override;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t DeleteValue(RegKey key, const std::string& name) override;
    int32_t DeleteKey(RegKey root, const std::string& subKey, uint32_t view) override;
    int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) override;
    int32_t QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) override;
    int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) override;
    int32_t ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) override;
    int32_t CloseKey(RegKey key) override;
    uint32_t ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) override;
    int32_t QueryStored(RegKey key, const std::string& name, uint32_t& type,
                        std::vector<uint8_t>& data) override;
    int32_t SetStored(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override;

private:
    std::chrono::milliseconds connectBound_;
    ConnectCall connect_;
};

}  // namespace win32
