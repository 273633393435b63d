// Every hostile catalogue beside a copy of the real Orvik.exe, run with -RUN under a time limit:
// the program ends by itself with exit code 0 (no crash, no hang, no window waiting), writes
// what the table says under its own key and nothing when the catalogue is refused, and never
// writes the content of the files the catalogue points at. Its key and folder are removed after.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HostileCatalogues.h"
#include "platform/win32/common/WideText.h"

namespace {

// Long enough for the largest catalogue under a cold Wine; a hang is what it catches.
constexpr DWORD kRunLimitMs = 120000;

using win32::Narrow;
using win32::Widen;

// A Linux path as Wine shows it: the root is drive Z.
std::wstring FromLinux(const std::string& path) {
    std::wstring windows = L"Z:" + Widen(path);
    for (wchar_t& c : windows) {
        if (c == L'/') c = L'\\';
    }
    return windows;
}

// The case key below HKEY_CURRENT_USER.
const std::wstring& SubKey() {
    static const std::wstring key =
        L"Software\\OrvikHostile-" + std::to_wstring(GetCurrentProcessId());
    return key;
}

const std::vector<hostile::HostileCase>& AllCases() {
    static const std::vector<hostile::HostileCase> cases = hostile::Cases(
        Narrow(FromLinux(ORVIK_HOSTILE_CORPUS)), "HKEY_CURRENT_USER\\" + Narrow(SubKey()));
    return cases;
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::vector<uint8_t> data;  // REG_SZ as UTF-8 without its NUL
};

StoredValue Read(const std::wstring& path, const std::string& name) {
    StoredValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return value;
    }
    const std::wstring wideName = Widen(name);
    DWORD size = 0;
    if (RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, nullptr, &size) ==
        ERROR_SUCCESS) {
        std::vector<uint8_t> raw(size);
        if (RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, raw.data(), &size) ==
            ERROR_SUCCESS) {
            value.present = true;
            raw.resize(size);
            if (value.type == REG_SZ) {
                std::wstring text(reinterpret_cast<const wchar_t*>(raw.data()), size / 2);
                while (!text.empty() && text.back() == L'\0') text.pop_back();
                const std::string utf8 = Narrow(text);
                value.data.assign(utf8.begin(), utf8.end());
            } else {
                value.data = raw;
            }
        }
    }
    RegCloseKey(key);
    return value;
}

DWORD ValueCount(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return values;
}

// Whether any REG_SZ under the key holds the given text.
bool AnyTextHolds(const std::wstring& path, const std::string& part) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool found = false;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const StoredValue value = Read(path, Narrow(std::wstring(name, length)));
        const std::string text(value.data.begin(), value.data.end());
        if (value.type == REG_SZ && text.find(part) != std::string::npos) found = true;
    }
    RegCloseKey(key);
    return found;
}

class HostileRun : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"orvik-hostile-" + std::to_wstring(GetCurrentProcessId()) +
                  L"-" + std::to_wstring(GetParam());
        std::filesystem::remove_all(folder_);
        ASSERT_TRUE(std::filesystem::create_directories(folder_));
        ASSERT_TRUE(CopyFileW(FromLinux(ORVIK_EXE_PATH).c_str(), (folder_ + L"\\Orvik.exe").c_str(),
                              FALSE));
        for (const auto& [name, content] : hostile::Bait()) {
            std::ofstream(std::filesystem::path(folder_ + L"\\" + Widen(name)), std::ios::binary)
                << content;
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, SubKey().c_str());
    }

    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, SubKey().c_str());
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // Orvik.exe -RUN from another working folder; its exit code, or -1 when it had to be ended.
    int64_t RunSilently() {
        std::wstring line = L"\"" + folder_ + L"\\Orvik.exe\" -RUN";
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, temp,
                            &startup, &process)) {
            ADD_FAILURE() << "could not start Orvik.exe: " << GetLastError();
            return -2;
        }
        int64_t result = -1;
        if (WaitForSingleObject(process.hProcess, kRunLimitMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            result = code;
        } else {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 10000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return result;
    }

    std::wstring folder_;
};

TEST_P(HostileRun, EndsAppliesWhatItShouldAndLeaksNothing) {
    const hostile::HostileCase& c = AllCases()[GetParam()];
    std::ofstream(std::filesystem::path(folder_ + L"\\OrvikOptimizations.xml"), std::ios::binary)
        << c.bytes;

    const int64_t exitCode = RunSilently();
    ASSERT_NE(exitCode, -1) << "Orvik.exe -RUN did not end within " << kRunLimitMs << " ms";
    EXPECT_EQ(exitCode, 0) << "exit code 0x" << std::hex << exitCode;

    EXPECT_FALSE(AnyTextHolds(SubKey(), hostile::kSecret)) << "a file the catalogue names was read";
    const bool applied = KeyExists(SubKey());
    switch (c.windows) {
        case hostile::Outcome::Applied:
            ASSERT_TRUE(applied) << "nothing was written";
            break;
        case hostile::Outcome::Nothing:
            EXPECT_FALSE(applied) << "a refused catalogue wrote to the registry";
            return;
        case hostile::Outcome::AppliedOrNothing:
            std::printf("%s: %s\n", c.name.c_str(), applied ? "applied" : "refused");
            if (!applied) return;
            break;
    }
    for (const hostile::ValueCheck& check : c.values) {
        const std::wstring path = check.subKey.empty() ? SubKey()
                                                       : SubKey() + L"\\" + Widen(check.subKey);
        const StoredValue stored = Read(path, check.name);
        if (check.type == 0) {
            EXPECT_FALSE(stored.present) << check.name << " was written";
            continue;
        }
        ASSERT_TRUE(stored.present) << check.name << " was not written";
        EXPECT_EQ(stored.type, check.type) << check.name;
        EXPECT_TRUE(stored.data == check.data)
            << check.name << ": " << stored.data.size() << " bytes, not " << check.data.size();
    }
    if (c.valueCount != 0) {
        EXPECT_EQ(ValueCount(SubKey()), c.valueCount);
    }
}

std::string CaseName(const ::testing::TestParamInfo<size_t>& info) {
    std::string name;
    for (char c : AllCases()[info.param].name) {
        name += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileRun, ::testing::Range<size_t>(0, AllCases().size()),
                         CaseName);

}  // namespace
