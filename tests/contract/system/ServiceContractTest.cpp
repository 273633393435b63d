// The service contract, held by the double natively and by the Service Control Manager under
// Wine and on Windows, where each test makes a service and a driver of its own (never started)
// and deletes them after: every start type read back as set, Boot and System for drivers only,
// the delayed start as the automatic start's flag, absent services and impossible names.

#include <gtest/gtest.h>

#include <random>

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/common/WideText.h"
#include "platform/win32/services/Win32ServiceControl.h"
#else
#include "SystemDoubles.h"
#endif

namespace {

using namespace services;

std::string Unique(const char* prefix) {
    static std::mt19937_64 random(std::random_device{}());
    return std::string(prefix).append(std::to_string(random() % 1000000000));
}

#ifdef _WIN32
// Made with CreateServiceW (an administrator's), deleted with DeleteService.
class Side {
public:
    Side() : manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE)) {}
    ~Side() {
        for (SC_HANDLE made : made_) DeleteService(made), CloseServiceHandle(made);
        if (manager_) CloseServiceHandle(manager_);
    }
    bool Add(const std::string& name, bool driver) {
        const std::wstring wide = win32::Widen(name);
        const wchar_t* path = driver ? L"system32\\drivers\\orviktest.sys" : L"C:\\orviktest.exe";
        SC_HANDLE made = CreateServiceW(
            manager_, wide.c_str(), wide.c_str(), SERVICE_ALL_ACCESS,
            driver ? SERVICE_KERNEL_DRIVER : SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
            SERVICE_ERROR_IGNORE, path, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (made) made_.push_back(made);
        return made != nullptr;
    }
    ServiceControl& control() { return control_; }
    // Measured: Wine 8's manager answers the delayed start's level with ERROR_INVALID_LEVEL.
    bool HasDelayedStart() const {
        return !GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    }

private:
    SC_HANDLE manager_;
    std::vector<SC_HANDLE> made_;
    win32::Win32ServiceControl control_;
};
#else
class Side {
public:
    bool Add(const std::string& name, bool driver) {
        double_.services[name].state.driver = driver;
        return true;
    }
    ServiceControl& control() { return double_; }
    bool HasDelayedStart() const { return !double_.noDelayedStart; }
    ServiceDouble double_;
};
#endif

class ServiceContract : public ::testing::Test {
protected:
    void SetUp() override {
        if (!side.Add(service, false) || !side.Add(driver, true))
            GTEST_SKIP() << "no service can be made here (not elevated?)";
    }
    ServiceState Read(const std::string& name) {
        ServiceState state;
        EXPECT_EQ(sc.Query(name, state), 0u) << name;
        return state;
    }

    Side side;
    ServiceControl& sc = side.control();
    const std::string service = Unique("OrvikTest-"), driver = Unique("OrvikTestDriver-");
};

TEST_F(ServiceContract, ReadsBackEveryStartTypeAndTakesBootAndSystemForDriversOnly) {
    ServiceState state = Read(service);
    EXPECT_EQ(state.start, (ServiceStart{kManual, false}));
    EXPECT_FALSE(state.driver);
    EXPECT_FALSE(state.running);
    EXPECT_TRUE(Read(driver).driver);
    for (const uint32_t type : {kAutomatic, kDisabled, kManual}) {
        EXPECT_EQ(sc.SetStart(service, {type, false}), 0u) << type;
        EXPECT_EQ(Read(service).start, (ServiceStart{type, false}));
    }
    for (const uint32_t type : {kBoot, kSystem}) {
        EXPECT_EQ(sc.SetStart(service, {type, false}), 87u) << type;  // ERROR_INVALID_PARAMETER
        EXPECT_EQ(Read(service).start.type, kManual);
    }
    for (const uint32_t type : {kSystem, kBoot, kManual}) {
        EXPECT_EQ(sc.SetStart(driver, {type, false}), 0u) << type;
        EXPECT_EQ(Read(driver).start.type, type);
    }
    // Names are the manager's, whatever their letter case.
    std::string upper = service;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Read(upper).start.type, kManual);
}

// Windows keeps the flag beside the type and heeds it for automatic starts only; Wine 8 has no
// delayed start, and setting one fails there before anything changes.
void CheckDelayedStart(ServiceControl& sc, const std::string& name, bool hasDelayedStart) {
    ServiceState state;
    const uint32_t delayed = sc.SetStart(name, {kAutomatic, true});
    ASSERT_EQ(sc.Query(name, state), 0u);
    if (hasDelayedStart) {
        EXPECT_EQ(delayed, 0u);
        EXPECT_EQ(state.start, (ServiceStart{kAutomatic, true}));
    } else {
        EXPECT_EQ(delayed, kNoDelayedStart);
        EXPECT_EQ(state.start, (ServiceStart{kManual, false}));
    }
    EXPECT_EQ(sc.SetStart(name, {kManual, true}), 0u);
    ASSERT_EQ(sc.Query(name, state), 0u);
    EXPECT_EQ(state.start, (ServiceStart{kManual, false}));
    EXPECT_EQ(sc.SetStart(name, {kAutomatic, false}), 0u);
    ASSERT_EQ(sc.Query(name, state), 0u);
    EXPECT_EQ(state.start, (ServiceStart{kAutomatic, false}));
}

TEST_F(ServiceContract, DelayedStartIsTheAutomaticStartsFlagAndWineHasNone) {
    CheckDelayedStart(sc, service, side.HasDelayedStart());
#ifndef _WIN32
    side.double_.noDelayedStart = true;  // as Wine's manager
    ASSERT_EQ(sc.SetStart(service, {kManual, false}), 0u);
    CheckDelayedStart(sc, service, false);
#endif
}

TEST_F(ServiceContract, AbsentServicesAndImpossibleNamesChangeNothing) {
    ServiceState state;
    const std::string absent = Unique("OrvikAbsent-");
    EXPECT_EQ(sc.Query(absent, state), kNotFound);
    EXPECT_EQ(sc.SetStart(absent, {kDisabled, false}), kNotFound);
    for (const std::string& name : {std::string(), std::string("Orvik\\Test"), std::string("Orvik/Test"), service + "\\"}) {
        EXPECT_EQ(sc.Query(name, state), kInvalidName) << name;
        EXPECT_EQ(sc.SetStart(name, {kDisabled, false}), kInvalidName) << name;
    }
    EXPECT_EQ(Read(service).start.type, kManual);
}

}  // namespace
