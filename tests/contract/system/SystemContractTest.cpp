// The service and task contracts, held by the doubles natively and by the Service Control Manager
// and Task Scheduler 2.0 under Wine and on Windows, where each test makes a service, a driver and
// tasks of its own (never started) and deletes them after; stopping and starting take the print
// spooler, left running or not as it was found. Measured under Wine 8 and recorded
// here: its manager has no delayed start, and its IRegisteredTask::put_Enabled returns success
// and changes nothing, which only the read-back after a change shows.

#include <gtest/gtest.h>

#include <random>

#ifdef _WIN32
#include <windows.h>
#include <taskschd.h>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/services/Win32ScheduledTasks.h"
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

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

#ifdef _WIN32
using win32::Bstr, win32::ComPtr, win32::ComVariant, win32::Widen;

const bool kWindows = !GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");

// Services by CreateServiceW, tasks by ITaskFolder::RegisterTask (Wine 8 has both); an
// administrator's, so skipped where the account may not.
class Side {
public:
    Side() : manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE)) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ComVariant none[4];
        if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskService, reinterpret_cast<void**>(service_.Put()))) ||
            FAILED(service_->Connect(none[0].Get(), none[1].Get(), none[2].Get(), none[3].Get())) ||
            FAILED(service_->GetFolder(Bstr(L"\\").Get(), root_.Put())))
            root_.Reset();
    }
    ~Side() {
        if (startedSpooler_) services.Stop("Spooler");
        for (SC_HANDLE made : made_) DeleteService(made), CloseServiceHandle(made);
        if (manager_) CloseServiceHandle(manager_);
        for (const std::string& path : registered_) root_->DeleteTask(Bstr(Widen(path)).Get(), 0);
        if (!folder_.empty()) root_->DeleteFolder(Bstr(Widen(folder_)).Get(), 0);
    }
    bool AddService(const std::string& name, bool driver) {
        const std::wstring wide = Widen(name);
        made_.push_back(
            CreateServiceW(manager_, wide.c_str(), wide.c_str(), SERVICE_ALL_ACCESS,
                           driver ? SERVICE_KERNEL_DRIVER : SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                           driver ? L"system32\\drivers\\orviktest.sys" : L"C:\\orviktest.exe",
                           nullptr, nullptr, nullptr, nullptr, nullptr));
        return made_.back() != nullptr;
    }
    // Registered by its path from the root, which makes the folder.
    bool AddTask(const std::string& folder, const std::string& name, bool enabled) {
        const std::wstring xml =
            L"<Task version=\"1.2\" "
            L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
            L"<Settings><Enabled>" +
            std::wstring(enabled ? L"true" : L"false") +
            L"</Enabled></Settings><Actions><Exec><Command>C:\\orviktest.exe</Command></Exec>"
            L"</Actions></Task>";
        const std::string path = folder.empty() ? name : folder + "\\" + name;
        ComVariant none;
        ComPtr<IRegisteredTask> task;
        if (!root_ ||
            FAILED(root_->RegisterTask(Bstr(Widen(path)).Get(), Bstr(xml).Get(),
                                       TASK_CREATE_OR_UPDATE, none.Get(), none.Get(),
                                       TASK_LOGON_INTERACTIVE_TOKEN, none.Get(), task.Put())))
            return false;
        registered_.push_back(path);
        if (!folder.empty()) folder_ = folder;
        return true;
    }
    // A service of the system's own that runs: the print spooler, started where it is not (and
    // stopped again after); empty where it cannot run.
    std::string RunningService() {
        ServiceState state;
        if (services.Query("Spooler", state) != 0) return "";
        if (!state.running) {
            if (services.Start("Spooler") != 0 || !RunsWithin("Spooler")) return "";
            startedSpooler_ = true;
        }
        return "Spooler";
    }
    // StartServiceW returns once the service's process took the start, not when it runs.
    bool RunsWithin(const std::string& name) {
        ServiceState state;
        for (int i = 0; i < 100 && services.Query(name, state) == 0; ++i) {
            if (state.running) return true;
            Sleep(100);
        }
        return false;
    }
    win32::Win32ServiceControl services;
    win32::Win32ScheduledTasks tasks;
    const bool hasDelayedStart = kWindows, changesTake = kWindows;

private:
    bool startedSpooler_ = false;
    SC_HANDLE manager_;
    std::vector<SC_HANDLE> made_;
    ComPtr<ITaskService> service_;
    ComPtr<ITaskFolder> root_;
    std::string folder_;
    std::vector<std::string> registered_;
};
#else
// The doubles pose as Windows; each test then poses them as Wine too.
class Side {
public:
    bool AddService(const std::string& name, bool driver) {
        services.services[name].state.driver = driver;
        return true;
    }
    bool AddTask(const std::string& folder, const std::string& name, bool enabled) {
        tasks.tasks[(folder.empty() ? "\\" : "\\" + folder + "\\") + name].enabled = enabled;
        return true;
    }
    std::string RunningService() {
        services.services["Spooler"].state.running = true;
        return "Spooler";
    }
    bool RunsWithin(const std::string& name) { return services.services[name].state.running; }
    ServiceDouble services;
    TaskDouble tasks;
    const bool hasDelayedStart = true, changesTake = true;
};
#endif

class ServiceContract : public ::testing::Test {
protected:
    void SetUp() override {
        if (!side.AddService(service, false) || !side.AddService(driver, true))
            GTEST_SKIP() << "no service can be made here (not elevated?)";
    }
    ServiceState Read(const std::string& name) {
        ServiceState state;
        EXPECT_EQ(sc.Query(name, state), 0u) << name;
        return state;
    }

    Side side;
    ServiceControl& sc = side.services;
    const std::string service = Unique("OrvikTest-"), driver = Unique("OrvikTestDriver-");
};

TEST_F(ServiceContract, ReadsBackEveryStartTypeAndTakesBootAndSystemForDriversOnly) {
    const ServiceState state = Read(service);
    EXPECT_EQ(state.start, (ServiceStart{kManual, false}));
    EXPECT_FALSE(state.driver || state.running);
    EXPECT_TRUE(Read(driver).driver);
    for (const uint32_t type : {kAutomatic, kDisabled, kManual}) {
        EXPECT_EQ(sc.SetStart(service, {type, false}), 0u) << type;
        EXPECT_EQ(Read(service).start, (ServiceStart{type, false}));
    }
    for (const uint32_t type : {kBoot, kSystem}) {
        EXPECT_EQ(sc.SetStart(service, {type, false}), 87u) << type;  // ERROR_INVALID_PARAMETER
        EXPECT_EQ(sc.SetStart(driver, {type, false}), 0u) << type;
        EXPECT_EQ(Read(driver).start.type, type);
    }
    EXPECT_EQ(Read(Upper(service)).start.type, kManual);
    // Stopping a service that is not running is what was asked; a disabled one does not start.
    EXPECT_EQ(sc.Stop(service), 0u);
    EXPECT_EQ(sc.SetStart(service, {kDisabled, false}), 0u);
    EXPECT_EQ(sc.Start(service), kDisabledStart);
    EXPECT_FALSE(Read(service).running);
}

// Windows keeps the flag beside the type and heeds it for automatic starts only; setting it where
// the manager has none fails before anything changes.
void CheckDelayedStart(ServiceControl& sc, const std::string& name, bool hasDelayedStart) {
    ServiceState state;
    EXPECT_EQ(sc.SetStart(name, {kAutomatic, true}), hasDelayedStart ? 0u : kNoDelayedStart);
    EXPECT_EQ(sc.Query(name, state), 0u);
    EXPECT_EQ(state.start, (ServiceStart{hasDelayedStart ? kAutomatic : kManual, hasDelayedStart}));
    for (const ServiceStart start :
         {ServiceStart{kManual, true}, ServiceStart{kAutomatic, false}}) {
        EXPECT_EQ(sc.SetStart(name, start), 0u);
        EXPECT_EQ(sc.Query(name, state), 0u);
        EXPECT_EQ(state.start, (ServiceStart{start.type, false}));
    }
    EXPECT_EQ(sc.SetStart(name, {kManual, false}), 0u);
}

TEST_F(ServiceContract, DelayedStartIsTheAutomaticStartsFlagAndWineHasNone) {
    CheckDelayedStart(sc, service, side.hasDelayedStart);
#ifndef _WIN32
    side.services.noDelayedStart = true;
    CheckDelayedStart(sc, service, false);
#endif
}

// Stop waits until the service has stopped; a second stop and a second start are what was asked.
TEST_F(ServiceContract, ARunningServiceStopsAndStartsAgain) {
    const std::string running = side.RunningService();
    if (running.empty()) GTEST_SKIP() << "no service of the system's own runs here";
    EXPECT_EQ(sc.Stop(running), 0u);
    EXPECT_FALSE(Read(running).running);
    EXPECT_EQ(sc.Stop(running), 0u);
    EXPECT_EQ(sc.Start(running), 0u);
    EXPECT_TRUE(side.RunsWithin(running));
    EXPECT_EQ(sc.Start(running), 0u);
}

TEST_F(ServiceContract, AbsentServicesAndImpossibleNamesChangeNothing) {
    ServiceState state;
    const std::string absent = Unique("OrvikAbsent-");
    EXPECT_EQ(sc.Query(absent, state), kNotFound);
    EXPECT_EQ(sc.SetStart(absent, {kDisabled, false}), kNotFound);
    EXPECT_EQ(sc.Stop(absent), kNotFound);
    EXPECT_EQ(sc.Start(absent), kNotFound);
    for (const std::string& name :
         {std::string(), std::string("Orvik\\Test"), std::string("Orvik/Test"), service + "\\"}) {
        EXPECT_EQ(sc.Query(name, state), kInvalidName) << name;
        EXPECT_EQ(sc.SetStart(name, {kDisabled, false}), kInvalidName) << name;
        EXPECT_EQ(sc.Stop(name), kInvalidName) << name;
    }
    EXPECT_EQ(Read(service).start.type, kManual);
}

class TaskContract : public ::testing::Test {
protected:
    void SetUp() override {
        if (!side.AddTask(folder, "On", true) || !side.AddTask(folder, "Off", false) ||
            !side.AddTask("", folder + "-Root", true))
            GTEST_SKIP() << "no task can be registered here (not elevated?)";
    }

    Side side;
    ScheduledTasks& ts = side.tasks;
    const std::string folder = Unique("OrvikTest-"), on = "\\" + folder + "\\On";
};

TEST_F(TaskContract, ReadsTheFlagWithOrWithoutFoldersAndLeadingBackslash) {
    bool enabled = false;
    for (const std::string& path :
         {on, on.substr(1), Upper(on), "\\" + folder + "-Root", folder + "-Root"}) {
        EXPECT_EQ(ts.IsEnabled(path, enabled = false), 0) << path;
        EXPECT_TRUE(enabled) << path;
    }
    EXPECT_EQ(ts.IsEnabled("\\" + folder + "\\Off", enabled), 0);
    EXPECT_FALSE(enabled);
}

TEST_F(TaskContract, AbsentTasksAndFoldersAreAbsentAndImpossiblePathsRefused) {
    bool enabled = true;
    const std::string other = Unique("\\OrvikNo-");
    for (const std::string& path : {"\\" + folder + "\\Missing", other + "\\On", other}) {
        EXPECT_TRUE(tasks::Absent(ts.IsEnabled(path, enabled))) << path;
        EXPECT_FALSE(enabled);
        EXPECT_TRUE(tasks::Absent(ts.SetEnabled(path, false))) << path;
    }
    // Wine's scheduler reads several of these as other folders ("\A\.." as "\A").
    for (const std::string& path :
         {std::string(), std::string("\\"), "\\" + folder + "\\", "\\" + folder + "\\\\On",
          "\\" + folder + "\\..\\On", "\\.\\" + folder + "\\On", folder + "/On", on + "/"}) {
        EXPECT_EQ(ts.IsEnabled(path, enabled), tasks::kInvalidPath) << path;
        EXPECT_EQ(ts.SetEnabled(path, false), tasks::kInvalidPath) << path;
    }
}

// A change seen by a new read: Windows takes it; Wine returns success and keeps the task as it was.
void CheckChanges(ScheduledTasks& ts, const std::string& path, bool take) {
    bool enabled = !take;
    EXPECT_EQ(ts.SetEnabled(path, false), 0);
    EXPECT_EQ(ts.IsEnabled(path, enabled), 0);
    EXPECT_EQ(enabled, !take);
    EXPECT_EQ(ts.SetEnabled(path, true), 0);
    EXPECT_EQ(ts.IsEnabled(path, enabled), 0);
    EXPECT_TRUE(enabled);
}

TEST_F(TaskContract, ChangesTakeOnWindowsButWinesPutEnabledIsAStubOnlyTheReadBackCatches) {
    CheckChanges(ts, on, side.changesTake);
#ifndef _WIN32
    side.tasks.tasks[on].ignores = true;
    CheckChanges(ts, on, false);
#endif
}

}  // namespace
