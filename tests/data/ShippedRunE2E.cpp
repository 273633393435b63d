// The real Orvik.exe applies the registry values of the shipped catalogue's enabled entries as
// written: each key, value type and value lands where the catalogue says, read back through
// advapi32. The copy beside the program keeps the registry actions only: the commands would
// start tools that Wine lacks, and a check that finds something stops a silent run with a
// message box. Every value and key that the run changes is put back afterwards.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

namespace {

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};
const auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                        nullptr, nullptr);
    return narrow;
}

// A Linux path as Wine shows it: the Linux root is drive Z.
std::wstring WinePath(const std::string& linuxPath) {
    std::wstring path = L"Z:" + Widen(linuxPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring Upper(std::wstring text) {
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

HKEY RootOf(const std::wstring& name) {
    const std::wstring upper = Upper(name);
    if (upper == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (upper == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (upper == L"HKEY_USERS") return HKEY_USERS;
    if (upper == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    return nullptr;
}

// What a catalogue value means in the registry, worked out here independently of the program.
struct Stored {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

Stored Expected(const RegistryItem& item) {
    Stored stored;
    if (item.KeyType == 1) {
        const std::wstring text = Widen(item.Value);
        const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        stored.type = REG_SZ;
        stored.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    } else if (item.KeyType == 2) {
        std::string digits = item.Value;
        digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
        stored.type = REG_BINARY;
        for (size_t i = 0; i + 1 < digits.size(); i += 2)
            stored.data.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    } else {
        const bool hex = item.Value.size() > 2 && item.Value[0] == '&';
        const uint32_t value =
            hex ? static_cast<uint32_t>(std::stoul(item.Value.substr(2), nullptr, 16))
                : static_cast<uint32_t>(std::stol(item.Value));
        const auto* bytes = reinterpret_cast<const BYTE*>(&value);
        stored.type = REG_DWORD;
        stored.data.assign(bytes, bytes + sizeof(value));
    }
    return stored;
}

class Key {
public:
    Key(HKEY root, const std::wstring& path, REGSAM access) {
        if (RegOpenKeyExW(root, path.c_str(), 0, access | KEY_WOW64_64KEY, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

    bool Read(const std::wstring& name, Stored& stored) const {
        DWORD size = 0;
        if (RegQueryValueExW(key_, name.c_str(), nullptr, &stored.type, nullptr, &size) !=
            ERROR_SUCCESS)
            return false;
        stored.data.assign(size, 0);
        return RegQueryValueExW(key_, name.c_str(), nullptr, &stored.type, stored.data.data(),
                                &size) == ERROR_SUCCESS;
    }

private:
    HKEY key_ = nullptr;
};

// One registry value the run writes, with what stood there before.
struct Target {
    HKEY root = nullptr;
    std::wstring path;
    std::wstring name;
    std::string label;
    Stored expected;
    bool hadValue = false;
    Stored before;
};

class ShippedCatalogueRun : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"orvik-shipped-run";
        CreateDirectoryW(folder_.c_str(), nullptr);
        exe_ = folder_ + L"\\Orvik.exe";
        ASSERT_TRUE(CopyFileW(WinePath(ORVIK_EXE_PATH).c_str(), exe_.c_str(), FALSE))
            << GetLastError();
    }

    void TearDown() override {
        // Values first, then the keys that did not exist before the run.
        for (const auto& target : targets_) {
            Key key(target.root, target.path, KEY_SET_VALUE);
            if (!key) continue;
            if (target.hadValue) {
                RegSetValueExW(key.get(), target.name.c_str(), 0, target.before.type,
                               target.before.data.data(),
                               static_cast<DWORD>(target.before.data.size()));
            } else {
                RegDeleteValueW(key.get(), target.name.c_str());
            }
        }
        for (const auto& [root, path] : createdKeys_) RegDeleteTreeW(root, path.c_str());
        DeleteFileW((folder_ + L"\\OrvikOptimizations.xml").c_str());
        DeleteFileW((folder_ + L"\\SarnetLog.txt").c_str());
        DeleteFileW(exe_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    // Notes the first key of the path that does not exist yet: the run creates it, and the
    // clean-up removes it with everything below.
    void NoteMissingKey(HKEY root, const std::wstring& path) {
        size_t end = 0;
        while (end != std::wstring::npos) {
            end = path.find(L'\\', end + 1);
            const std::wstring part = path.substr(0, end);
            if (Key(root, part, KEY_READ)) continue;
            for (const auto& [r, p] : createdKeys_) {
                if (r == root && Upper(part).rfind(Upper(p), 0) == 0) return;
            }
            createdKeys_.emplace_back(root, part);
            return;
        }
    }

    int64_t RunSilently() {
        std::wstring line = L"\"" + exe_ + L"\" -RUN";
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(exe_.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder_.c_str(), &startup, &process))
            return -2;
        DWORD code = static_cast<DWORD>(-1);
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return code;
    }

    std::wstring folder_;
    std::wstring exe_;
    std::vector<Target> targets_;
    std::vector<std::pair<HKEY, std::wstring>> createdKeys_;
};

TEST_F(ShippedCatalogueRun, EnabledRegistryValuesLandAsWritten) {
    auto factory = NewXmlDocumentFactory();
    const OptimizationList shipped =
        XmlReader(*factory, ORVIK_DATA_DIR).ReadXML(ORVIK_DATA_DIR "/OrvikOptimizations.xml");
    ASSERT_FALSE(shipped.empty());

    OptimizationList registryOnly;
    std::map<std::wstring, size_t> byValue;  // the last write of a value is the one that stays
    for (const auto& item : shipped) {
        if (!item->Enabled) continue;
        auto copy = std::make_shared<OptimizationItem>(*item);
        copy->cmdItems.clear();
        copy->wmiItems.clear();
        registryOnly.push_back(copy);
        for (const auto& reg : item->regItems) {
            const std::wstring key = Widen(reg.Key);
            Target target;
            target.root = RootOf(key.substr(0, key.find(L'\\')));
            ASSERT_NE(target.root, nullptr) << reg.Key;
            target.path = key.substr(key.find(L'\\') + 1);
            target.name = Widen(reg.ValueName);
            target.label = "entry " + item->Number + ": " + reg.Key + "\\" + reg.ValueName;
            target.expected = Expected(reg);
            const std::wstring id = Upper(key + L"\\\\" + target.name);
            if (byValue.count(id)) {
                targets_[byValue[id]].expected = target.expected;
                continue;
            }
            Key existing(target.root, target.path, KEY_READ);
            if (existing) {
                target.hadValue = existing.Read(target.name, target.before);
            } else {
                NoteMissingKey(target.root, target.path);
            }
            byValue[id] = targets_.size();
            targets_.push_back(target);
        }
    }
    ASSERT_GT(targets_.size(), 40u);
    ASSERT_TRUE(XmlWriter(*factory, Narrow(folder_)).WriteXMLFile(registryOnly));

    ASSERT_EQ(RunSilently(), 0);

    for (const auto& target : targets_) {
        Key key(target.root, target.path, KEY_READ);
        ASSERT_TRUE(key) << target.label << ": key missing";
        Stored stored;
        ASSERT_TRUE(key.Read(target.name, stored)) << target.label << ": value missing";
        EXPECT_EQ(stored.type, target.expected.type) << target.label;
        EXPECT_EQ(stored.data, target.expected.data) << target.label;
    }
    // Registry actions write nothing to the log.
    EXPECT_EQ(GetFileAttributesW((folder_ + L"\\SarnetLog.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
