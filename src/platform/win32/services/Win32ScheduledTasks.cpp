#include "platform/win32/services/Win32ScheduledTasks.h"

#include <windows.h>
#include <taskschd.h>

#include <cstdio>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/ComStart.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

namespace {

// The registered task at path: the service connected to this machine as the caller, the folder
// before the last backslash, the task after it.
HRESULT OpenTask(const std::string& path, ComPtr<IRegisteredTask>& task) {
    NeedCom();
    ComPtr<ITaskService> service;
    HRESULT hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskService, reinterpret_cast<void**>(service.Put()));
    if (FAILED(hr)) return hr;
    ComVariant none[4];
    hr = service->Connect(none[0].Get(), none[1].Get(), none[2].Get(), none[3].Get());
    if (FAILED(hr)) return hr;
    const std::wstring wide = Widen(path);
    const size_t split = wide.find_last_of(L'\\');
    if (split == std::wstring::npos || split + 1 == wide.size()) return tasks::kNotFound;
    Bstr folderPath(split == 0 ? std::wstring(L"\\") : wide.substr(0, split));
    Bstr name(wide.substr(split + 1));
    ComPtr<ITaskFolder> folder;
    hr = service->GetFolder(folderPath.Get(), folder.Put());
    if (FAILED(hr)) return hr;
    if (!folder) return tasks::kPathNotFound;
    hr = folder->GetTask(name.Get(), task.Put());
    if (SUCCEEDED(hr) && !task) return tasks::kNotFound;
    return hr;
}

}  // namespace

int32_t Win32ScheduledTasks::IsEnabled(const std::string& path, bool& enabled) {
    enabled = false;
    ComPtr<IRegisteredTask> task;
    HRESULT hr = OpenTask(path, task);
    if (FAILED(hr)) return hr;
    VARIANT_BOOL state = VARIANT_FALSE;
    hr = task->get_Enabled(&state);
    if (FAILED(hr)) return hr;
    enabled = state != VARIANT_FALSE;
    return S_OK;
}

int32_t Win32ScheduledTasks::SetEnabled(const std::string& path, bool enabled) {
    ComPtr<IRegisteredTask> task;
    const HRESULT hr = OpenTask(path, task);
    if (FAILED(hr)) return hr;
    return task->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE);
}

std::string Win32ScheduledTasks::ErrorText(int32_t hresult) {
    if (hresult == tasks::kUnavailable) return "Task Scheduler 2.0 is not available.";
    std::string text = SystemErrorText(static_cast<uint32_t>(hresult));
    if (!text.empty()) return text;
    char code[40];
    std::snprintf(code, sizeof(code), "Task Scheduler error 0x%08lX",
                  static_cast<unsigned long>(static_cast<uint32_t>(hresult)));
    return code;
}

}  // namespace win32
