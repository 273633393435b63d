#include "platform/win32/services/Win32ScheduledTasks.h"

#include <windows.h>
#include <taskschd.h>

#include <cstdio>
#include <utility>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/ComStart.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

namespace {

// CoCreateInstance(CLSID_TaskScheduler): Windows Vista; before it REGDB_E_CLASSNOTREG.
// ITaskService::Connect as the caller, no privilege needed; E_ACCESSDENIED, or
// SCHED_E_SERVICE_NOT_RUNNING when the Schedule service is stopped or disabled. The first
// connection of a process under Wine starts its scheduler (about 1.2 s), each one after it
// costs about 16 ms there.
HRESULT Connect(ComPtr<ITaskService>& service) {
    NeedCom();
    HRESULT hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskService, reinterpret_cast<void**>(service.Put()));
    if (FAILED(hr)) return hr;
    ComVariant none[4];
    hr = service->Connect(none[0].Get(), none[1].Get(), none[2].Get(), none[3].Get());
    if (FAILED(hr)) service.Reset();
    return hr;
}

// The scheduler went away under a kept connection (restarted, or stopped since).
bool Disconnected(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED) || hr == RPC_E_DISCONNECTED;
}

// GetFolder and GetTask: Windows Vista. A folder or task whose security does not let the caller
// read it gives E_ACCESSDENIED (some of Microsoft's own without elevation).
HRESULT Find(ITaskService& service, const std::string& folderPath, const std::string& name,
             ComPtr<IRegisteredTask>& task) {
    Bstr folderName(Widen(folderPath));
    Bstr taskName(Widen(name));
    ComPtr<ITaskFolder> folder;
    HRESULT hr = service.GetFolder(folderName.Get(), folder.Put());
    if (FAILED(hr)) return hr;
    if (!folder) return tasks::kPathNotFound;
    hr = folder->GetTask(taskName.Get(), task.Put());
    if (SUCCEEDED(hr) && !task) return tasks::kNotFound;
    return hr;
}

// This thread's kept connection, or a new one, kept when none is.
HRESULT Service(Win32ScheduledTasks::Connection& kept, ComPtr<ITaskService>& service) {
    const DWORD thread = GetCurrentThreadId();
    std::unique_lock<std::mutex> hold(kept.lock);
    if (kept.service && kept.thread == thread) {
        kept.service->AddRef();
        *service.Put() = kept.service;
        return S_OK;
    }
    hold.unlock();
    const HRESULT hr = Connect(service);
    hold.lock();
    if (SUCCEEDED(hr) && !kept.service) {
        kept.service = service.Get();
        kept.thread = thread;
        kept.service->AddRef();
    }
    return hr;
}

// The registered task at path; a kept connection the scheduler dropped is made anew once.
HRESULT OpenTask(Win32ScheduledTasks::Connection& kept, const std::string& path,
                 ComPtr<IRegisteredTask>& task) {
    std::string folder, name;
    if (!tasks::SplitPath(path, folder, name)) return tasks::kInvalidPath;
    ComPtr<ITaskService> service;
    HRESULT hr = Service(kept, service);
    if (FAILED(hr)) return hr;
    hr = Find(*service.Get(), folder, name, task);
    {
        const std::lock_guard<std::mutex> hold(kept.lock);
        if (!Disconnected(hr) || kept.service != service.Get()) return hr;
        std::exchange(kept.service, nullptr)->Release();
    }
    hr = Service(kept, service);
    return FAILED(hr) ? hr : Find(*service.Get(), folder, name, task);
}

}  // namespace

// Released on its own thread only: on another it would cross apartments, so it is left.
Win32ScheduledTasks::~Win32ScheduledTasks() {
    if (connection_.service && connection_.thread == GetCurrentThreadId())
        connection_.service->Release();
}

int32_t Win32ScheduledTasks::IsEnabled(const std::string& path, bool& enabled) {
    enabled = false;
    ComPtr<IRegisteredTask> task;
    HRESULT hr = OpenTask(connection_, path, task);
    if (FAILED(hr)) return hr;
    VARIANT_BOOL state = VARIANT_FALSE;
    hr = task->get_Enabled(&state);
    if (FAILED(hr)) return hr;
    enabled = state != VARIANT_FALSE;
    return S_OK;
}

// put_Enabled: Windows Vista; E_ACCESSDENIED without the right to change the task (without
// elevation for the system's tasks). Wine 8's returns S_OK and changes nothing.
int32_t Win32ScheduledTasks::SetEnabled(const std::string& path, bool enabled) {
    ComPtr<IRegisteredTask> task;
    const HRESULT hr = OpenTask(connection_, path, task);
    if (FAILED(hr)) return hr;
    return task->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE);
}

std::string Win32ScheduledTasks::ErrorText(int32_t hresult) {
    if (hresult == tasks::kUnavailable) return "Task Scheduler 2.0 is not available.";
    std::string text = SystemErrorText(static_cast<uint32_t>(hresult));
    if (!text.empty()) return text;
    // The scheduler's own codes have their words in taskschd.dll, not the system's table.
    if (hresult == SCHED_E_SERVICE_NOT_RUNNING) return "The Task Scheduler service is not running.";
    char code[40];
    std::snprintf(code, sizeof(code), "Task Scheduler error 0x%08lX",
                  static_cast<unsigned long>(static_cast<uint32_t>(hresult)));
    return code;
}

}  // namespace win32
