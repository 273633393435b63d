#include "platform/win32/env/Win32Environment.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/Token.h"
#include "platform/win32/common/WideText.h"

namespace win32 {
namespace {

// Functions that older Windows lacks are looked up at run time.
template <typename Fn>
Fn SystemFunction(const char* module, const char* name) {
    HMODULE handle = GetModuleHandleA(module);
    if (handle == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

template <typename Fn>
Fn Kernel32Function(const char* name) {
    return SystemFunction<Fn>("kernel32", name);
}

}  // namespace

OsVersionInfo Win32SystemInfo::QueryVersion() {
    // GetVersionEx would report what the manifest declares support for, not the machine.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = SystemFunction<RtlGetVersionFn>("ntdll", "RtlGetVersion");
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return {};
    OsVersionInfo version{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                          info.wProductType, 0};
    // Windows Vista and later name the edition; earlier Windows has no GetProductInfo.
    using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    const auto getProductInfo = Kernel32Function<GetProductInfoFn>("GetProductInfo");
    DWORD edition = 0;
    if (getProductInfo != nullptr &&
        getProductInfo(info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor,
                       info.wServicePackMinor, &edition)) {
        version.edition = edition;
    }
    return version;
}

bool Win32SystemInfo::IsWow64Process() {
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = Kernel32Function<Fn>("IsWow64Process");
    if (isWow64Process == nullptr) return false;
    BOOL wow64 = FALSE;
    isWow64Process(GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
}

void* Win32SystemInfo::DisableFsRedirection() {
    using Fn = BOOL(WINAPI*)(PVOID*);
    const auto disable = Kernel32Function<Fn>("Wow64DisableWow64FsRedirection");
    void* saved = nullptr;
    if (disable != nullptr) disable(&saved);
    return saved;
}

void Win32SystemInfo::RevertFsRedirection(void* saved) {
    using Fn = BOOL(WINAPI*)(PVOID);
    const auto revert = Kernel32Function<Fn>("Wow64RevertWow64FsRedirection");
    if (revert != nullptr) revert(saved);
}

std::string Win32SystemInfo::ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return Narrow(buffer.data(), length);
        buffer.resize(buffer.size() * 2);  // truncated: long path
    }
}

std::string Win32SystemInfo::ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? Narrow(name, length) : std::string{};
}

bool Win32SystemInfo::IsElevated() { return ProcessIsElevated(); }

bool Win32SystemInfo::RunsAsSystem() { return ProcessRunsAsSystem(); }

bool Win32SystemInfo::HasVisibleDesktop() {
    // The window station, not the session: on XP and Server 2003 the console user shares
    // session 0 with the services. Windows 2000 and later; no rights beyond the own station's.
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    // A station that cannot be asked counts as invisible: a box there might never be seen.
    if (station == nullptr ||
        !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) {
        return false;
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

std::string Win32SystemInfo::ErrorText(uint32_t code) { return SystemErrorText(code); }

std::string Win32Clock::UtcTimestamp() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::string Win32Clock::ShortDate() {
    wchar_t text[128];
    const int length =
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 128);
    return length > 0 ? Narrow(text, static_cast<size_t>(length - 1)) : std::string{};
}

std::string Win32Clock::TimeOfDay() {
    wchar_t text[128];
    const int length = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, 128);
    return length > 0 ? Narrow(text, static_cast<size_t>(length - 1)) : std::string{};
}

bool Win32FileSystem::Append(const std::string& path, const std::string& bytes) {
    // Others may read the file meanwhile; it is closed again at once.
    const UniqueHandle file(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::string Win32FileSystem::ToSystemCodePage(const std::string& utf8) {
    const std::wstring wide = Widen(utf8);
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int needed =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, result.data(), needed, nullptr, nullptr);
    return result;
}

}  // namespace win32
