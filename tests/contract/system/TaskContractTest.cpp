// The task contract, held by the double natively and by Task Scheduler 2.0 under Wine and on
// Windows, where each test registers two tasks of its own in a folder of its own and one in the
// root folder (ITaskFolder::RegisterTask, which Wine 8 supports) and deletes them after: the
// enabled flag read, paths with and without folders, absent tasks and folders, impossible paths,
// and what a change does: it takes on Windows; Wine's put_Enabled returns success and changes
// nothing, which only the read-back shows.

#include <gtest/gtest.h>

#include <random>

#ifdef _WIN32
#include <windows.h>
#include <taskschd.h>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/services/Win32ScheduledTasks.h"
#else
#include "SystemDoubles.h"
#endif

namespace {

std::string Unique(const char* prefix) {
    static std::mt19937_64 random(std::random_device{}());
    return std::string(prefix).append(std::to_string(random() % 1000000000));
}

#ifdef _WIN32
using win32::Bstr, win32::ComPtr, win32::ComVariant, win32::Widen;

std::wstring TaskXml(bool enabled) {
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Task version=\"1.2\" "
           L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Settings><Enabled>" +
           std::wstring(enabled ? L"true" : L"false") +
           L"</Enabled></Settings><Actions><Exec><Command>C:\\orviktest.exe</Command></Exec>"
           L"</Actions></Task>";
}

class Side {
public:
    Side() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ComVariant none[4];
        if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskService, reinterpret_cast<void**>(service_.Put()))) ||
            FAILED(service_->Connect(none[0].Get(), none[1].Get(), none[2].Get(), none[3].Get())) ||
            FAILED(service_->GetFolder(Bstr(L"\\").Get(), root_.Put())))
            root_.Reset();
    }
    ~Side() {
        for (const auto& [folder, name] : made_) folder->DeleteTask(Bstr(Widen(name)).Get(), 0);
        made_.clear();
        for (const std::string& folder : folders_) root_->DeleteFolder(Bstr(Widen(folder)).Get(), 0);
    }
    // folder: "" for the root, else one below it, made with its first task.
    bool Add(const std::string& folder, const std::string& name, bool enabled) {
        if (!root_) return false;
        ComPtr<ITaskFolder> where = root_;
        ComVariant none;
        if (!folder.empty() &&
            FAILED(service_->GetFolder(Bstr(Widen("\\" + folder)).Get(), where.Put()))) {
            if (FAILED(root_->CreateFolder(Bstr(Widen(folder)).Get(), none.Get(), where.Put())))
                return false;
            folders_.push_back(folder);
        }
        ComPtr<IRegisteredTask> task;
        if (FAILED(where->RegisterTask(Bstr(Widen(name)).Get(), Bstr(TaskXml(enabled)).Get(),
                                       TASK_CREATE_OR_UPDATE, none.Get(), none.Get(),
                                       TASK_LOGON_INTERACTIVE_TOKEN, none.Get(), task.Put())))
            return false;
        made_.push_back({where, name});
        return true;
    }
    ScheduledTasks& tasks() { return tasks_; }
    // Measured: Wine 8's IRegisteredTask::put_Enabled returns S_OK and changes nothing.
    bool ChangesTake() const {
        return !GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    }

private:
    ComPtr<ITaskService> service_;
    ComPtr<ITaskFolder> root_;
    std::vector<std::pair<ComPtr<ITaskFolder>, std::string>> made_;
    std::vector<std::string> folders_;
    win32::Win32ScheduledTasks tasks_;
};
#else
class Side {
public:
    bool Add(const std::string& folder, const std::string& name, bool enabled) {
        double_.tasks[(folder.empty() ? "\\" : "\\" + folder + "\\") + name].enabled = enabled;
        return true;
    }
    ScheduledTasks& tasks() { return double_; }
    bool ChangesTake() const { return true; }
    TaskDouble double_;
};
#endif

class TaskContract : public ::testing::Test {
protected:
    void SetUp() override {
        if (!side.Add(folder, "On", true) || !side.Add(folder, "Off", false) ||
            !side.Add("", folder + "-Root", true))
            GTEST_SKIP() << "no task can be registered here (not elevated?)";
    }
    int32_t Read(const std::string& path, bool& enabled) {
        return side.tasks().IsEnabled(path, enabled);
    }

    Side side;
    ScheduledTasks& ts = side.tasks();
    const std::string folder = Unique("OrvikTest-");
    const std::string on = "\\" + folder + "\\On";
};

TEST_F(TaskContract, ReadsTheFlagWithOrWithoutFoldersAndLeadingBackslash) {
    bool enabled = false;
    std::string upper = on;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& path : {on, on.substr(1), upper, "\\" + folder + "-Root",
                                    folder + "-Root"}) {
        enabled = false;
        EXPECT_EQ(Read(path, enabled), 0) << path;
        EXPECT_TRUE(enabled) << path;
    }
    EXPECT_EQ(Read("\\" + folder + "\\Off", enabled), 0);
    EXPECT_FALSE(enabled);
}

TEST_F(TaskContract, AbsentTasksAndFoldersAreAbsentAndImpossiblePathsRefused) {
    bool enabled = true;
    const std::string other = Unique("\\OrvikNo-");
    for (const std::string& path : {"\\" + folder + "\\Missing", other + "\\On", other}) {
        EXPECT_TRUE(tasks::Absent(Read(path, enabled))) << path;
        EXPECT_FALSE(enabled);
        EXPECT_TRUE(tasks::Absent(ts.SetEnabled(path, false))) << path;
    }
    // Wine's scheduler reads several of these as other folders ("\A\.." as "\A").
    for (const std::string& path : {std::string(), std::string("\\"), "\\" + folder + "\\",
                                    "\\" + folder + "\\\\On", "\\" + folder + "\\..\\On",
                                    "\\.\\" + folder + "\\On", folder + "/On", on + "/"}) {
        EXPECT_EQ(Read(path, enabled), tasks::kInvalidPath) << path;
        EXPECT_EQ(ts.SetEnabled(path, false), tasks::kInvalidPath) << path;
    }
}

// What a change does, seen by a new read: Windows takes it; Wine 8 returns success and keeps
// the task as it was, so a caller that trusted the result would report a change never made.
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
    CheckChanges(ts, on, side.ChangesTake());
#ifndef _WIN32
    side.double_.tasks[on].ignores = true;  // as Wine's scheduler
    CheckChanges(ts, on, false);
#endif
}

}  // namespace
