#pragma once
// What the engine's session stands on besides the runners' doubles: programs found by name,
// files held in memory (a write can be made to fail), hive files as keys of the registry double,
// and a machine of them all with helpers to put values in and read them back.

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "EngineMachine.h"
#include "engine/session/Session.h"
#include "platform/ConsoleFiles.h"
#include "platform/ProgramSearch.h"
#include "platform/UserHives.h"
#include "platform/XmlDocument.h"

class FakePrograms final : public ProgramSearch {
public:
    std::set<std::string> files;
    std::vector<std::string> SearchFolders() override {
        return {"C:\\Tools", "C:\\Work", "C:\\Windows\\System32\\", "C:\\Windows\\System",
                "C:\\Windows"};
    }
    bool IsFile(const std::string& path) override { return files.count(path) != 0; }
};

class FakeFiles final : public ConsoleFiles {
public:
    std::map<std::string, std::string> files;
    int writesBeforeFailure = -1;  // then every write fails with 112, a full disk
    std::unique_ptr<OutputFile> Create(const std::string& path, bool replace,
                                       uint32_t& error) override {
        error = !replace && files.count(path) != 0 ? 80 : 0;
        if (error != 0) return nullptr;
        files[path].clear();
        return std::make_unique<File>(files[path], writesBeforeFailure);
    }
    std::optional<std::string> Read(const std::string& path, uint32_t& error) override {
        error = files.count(path) == 0 ? 2 : 0;
        if (error != 0) return std::nullopt;
        return files[path];
    }
    uint32_t MakeFolder(const std::string&) override { return 0; }
    void Remove(const std::string& path) override { files.erase(path); }
    std::string ErrorText(uint32_t code) override { return "system text " + std::to_string(code); }

private:
    struct File final : OutputFile {
        File(std::string& bytes, int& writes) : bytes(bytes), writes(writes) {}
        uint32_t Write(const std::string& more) override {
            if (writes >= 0 && writes-- == 0) return 112;
            return bytes += more, 0;
        }
        uint32_t Flush() override { return 0; }
        std::string& bytes;
        int& writes;
    };
};

// A hive file is a key "FILE\<path>" of the registry double until it is loaded. Calls that
// change the token or wait are recorded with the loads and unloads, in order.
class FakeHives final : public UserHives {
public:
    explicit FakeHives(RegistryDouble& registry) : registry_(registry) {}
    int32_t privileges = 0;
    int32_t unloadFailure = 0;
    int failingUnloads = -1;  // how many unloads fail with unloadFailure; -1: all
    std::string profileFolder = "C:\\Users\\Default";  // empty: the system cannot say
    std::set<std::string> missing;                     // hive files that are not there
    std::function<void()> cleanup;
    std::vector<std::string> calls;

    int32_t EnablePrivileges() override { return calls.push_back("enable"), privileges; }
    void DropPrivileges() override { calls.push_back("drop"); }
    std::string DefaultProfileFolder(int32_t& error) override {
        error = profileFolder.empty() ? 1 : 0;
        return profileFolder;
    }
    int32_t FindFile(const std::string& file) override { return missing.count(file) ? 2 : 0; }
    void Pause(std::chrono::milliseconds) override { calls.push_back("pause"); }
    int32_t Load(const std::string& name, const std::string& file) override {
        calls.push_back("load " + file);
        loaded_[name] = file;
        return registry_.MoveTree("FILE\\" + file, "HKEY_USERS\\" + name) ? 0 : 2;
    }
    int32_t Unload(const std::string& name) override {
        calls.push_back("unload");
        if (unloadFailure != 0 && failingUnloads != 0) {
            if (failingUnloads > 0) --failingUnloads;
            return unloadFailure;
        }
        return registry_.MoveTree("HKEY_USERS\\" + name, "FILE\\" + loaded_[name]) ? 0 : 87;
    }
    void WhenInterrupted(std::function<void()> call) override { cleanup = std::move(call); }
    std::string ErrorText(int32_t code) override { return "system text " + std::to_string(code); }

private:
    RegistryDouble& registry_;
    std::map<std::string, std::string> loaded_;
};

struct SessionMachine : EngineMachine {
    FakePrograms programs;
    FakeFiles files;
    FakeHives hives{registry};
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();

    engine::SessionPlatform Platform(bool withHives = true) {
        return {Engine(), *xml, programs, files, withHives ? &hives : nullptr};
    }
    void Preset(const std::string& name, uint32_t type, const std::string& data,
                const std::string& path = "HKEY_CURRENT_USER\\Software\\OrvikCli") {
        RegKey key = 0;
        const size_t root = path.find('\\');
        const int32_t named = reg::RootByName(path.substr(0, root));
        registry.CreateKey(reg::RootKey(named ? named : reg::kUsers), path.substr(root + 1),
                           reg::kAllSpecificRights, key);
        registry.SetValue(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                          static_cast<uint32_t>(data.size()));
        registry.CloseKey(key);
    }
    // A value's data as stored, "-" when absent.
    std::string Stored(const std::string& key, const std::string& name) const {
        const auto value = registry.Stored(key, name);
        return value ? std::string(value->data.begin(), value->data.end()) : "-";
    }
};
