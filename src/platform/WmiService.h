#pragma once
// WMI on the local machine, default namespace, as the query actions need it: run a query, count
// what it found. Results are HRESULTs (0 success, negative failure); text is UTF-8.

#include <cstdint>
#include <memory>
#include <string>

// The objects one query found, counted on demand.
class WmiResultSet {
public:
    virtual ~WmiResultSet() = default;
    // Counts every object of the set. A set that does not finish within the service's time
    // bound is a failure (WBEM_E_TIMED_OUT), never a partial count.
    virtual int32_t Count(int32_t& count) = 0;
};

// One connection to the local default namespace.
class WmiService {
public:
    virtual ~WmiService() = default;
    // Runs a WQL query; on success result holds its set.
    virtual int32_t ExecQuery(const std::string& query, std::unique_ptr<WmiResultSet>& result) = 0;
};

// Hands out connections; each query action asks for a fresh one.
class WmiConnector {
public:
    virtual ~WmiConnector() = default;
    virtual int32_t Connect(std::unique_ptr<WmiService>& service) = 0;
    // A readable message for an HRESULT, without a final line break.
    virtual std::string ErrorText(int32_t hresult) = 0;
};

namespace wmi {
// The HRESULT of a call that failed without saying why (E_FAIL).
inline constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);
// The HRESULT a set reports when it did not finish in time (WBEM_E_TIMED_OUT).
inline constexpr int32_t kTimedOut = static_cast<int32_t>(0x80041069u);
}  // namespace wmi
