#pragma once
// WMI through COM behind WmiConnector: IWbemLocator on ROOT\CIMV2, WQL queries, counted with a
// time bound. The caller's thread must have COM initialised.

#include <chrono>

#include "platform/WmiService.h"

namespace win32 {

class Win32WmiConnector final : public WmiConnector {
public:
    // An unattended run must never hang on a query that does not answer: counting one set gives
    // up after this long. Generous, since some classes take minutes on a busy machine.
    static constexpr std::chrono::milliseconds kDefaultQueryBound{std::chrono::minutes(5)};

    // batch: how many objects each wait may bring; the bound is checked between waits.
    explicit Win32WmiConnector(std::chrono::milliseconds queryBound = kDefaultQueryBound,
                               unsigned batch = 64)
        : queryBound_(queryBound), batch_(batch < 1    ? 1
                                          : batch > 64 ? 64
                                                       : batch) {}

    int32_t Connect(std::unique_ptr<WmiService>& service) override;
    std::string ErrorText(int32_t hresult) override;

private:
    std::chrono::milliseconds queryBound_;
    unsigned batch_;
};

}  // namespace win32
