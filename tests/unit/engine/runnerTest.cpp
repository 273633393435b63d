// The runner: enabled entries in list order, each entry's registry edits, then command lines,
// then queries; a failing action kind never stops the rest.

#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "engine/runner.h"

namespace {

// Passes every call on to the in-memory registry and notes each value written in the journal,
// so that registry writes line up with process starts and queries.
class JournalingRegistry final : public Registry {
public:
    RegistryDouble inner;
    Journal* journal = nullptr;

    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override {
        if (journal) journal->push_back("set:" + name);
        return inner.SetValue(key, name, type, data, size);
    }
    int32_t OpenKey(RegKey r, const std::string& s, uint32_t a, RegKey& k) override {
        return inner.OpenKey(r, s, a, k);
    }
    int32_t CreateKey(RegKey r, const std::string& s, uint32_t a, RegKey& k) override {
        return inner.CreateKey(r, s, a, k);
    }
    int32_t QueryValue(RegKey k, const std::string& n, uint32_t& t, uint8_t* d,
                       uint32_t& s) override {
        return inner.QueryValue(k, n, t, d, s);
    }
    int32_t DeleteValue(RegKey k, const std::string& n) override { return inner.DeleteValue(k, n); }
    int32_t DeleteKey(RegKey r, const std::string& s) override { return inner.DeleteKey(r, s); }
    int32_t EnumKey(RegKey k, uint32_t i, char* n, uint32_t s) override {
        return inner.EnumKey(k, i, n, s);
    }
    int32_t QueryInfoKey(RegKey k, uint32_t& m) override { return inner.QueryInfoKey(k, m); }
    int32_t EnumValue(RegKey k, uint32_t i, char* n, uint32_t& l) override {
        return inner.EnumValue(k, i, n, l);
    }
    int32_t ConnectRegistry(const std::string& m, RegKey r, RegKey& k) override {
        return inner.ConnectRegistry(m, r, k);
    }
    int32_t CloseKey(RegKey k) override { return inner.CloseKey(k); }
    uint32_t ExpandEnvironment(const std::string& s, char* b, uint32_t n) override {
        return inner.ExpandEnvironment(s, b, n);
    }
};

struct RunnerFixture : BasicEngineFixture<JournalingRegistry> {
    Journal journal;
    RunnerFixture() {
        registry.journal = &journal;
        processes.journal = &journal;
        wmi.journal = &journal;
        boxes.journal = &journal;
    }
};

OptimizationItemPtr Entry(bool enabled, const std::string& tag, const std::string& key) {
    auto entry = std::make_shared<OptimizationItem>();
    entry->Enabled = enabled;
    entry->Name = tag;
    RegistryItem value;
    value.KeyType = 1;
    value.Key = key;
    value.ValueName = tag + "-reg";
    value.Value = tag;
    entry->regItems.push_back(value);
    entry->cmdItems.push_back(cmdItem{tag + "-cmd"});
    entry->wmiItems.push_back(wmiItem{tag + "-wmi", 0});
    // Versions play no part in a run.
    entry->osVersions = {codes::kWindowsServer2003R2};
    return entry;
}

const std::string kKey = "HKEY_CURRENT_USER\\Software\\OrvikTest";

TEST(runner, EnabledEntriesInOrderEachActionKindInTurn) {
    RunnerFixture f;
    f.env.system.wow64 = true;
    const OptimizationItemPtr a = Entry(true, "a", kKey);
    const OptimizationItemPtr off = Entry(false, "off", kKey);
    const OptimizationItemPtr empty = std::make_shared<OptimizationItem>();
    empty->Enabled = true;
    const OptimizationItemPtr b = Entry(true, "b", kKey);
    OptimizationList settings = {a, off, empty, b, a};  // a stands twice: applied twice

    runner(f.platform()).RunOptimizations(settings);

    const Journal once = {"set:a-reg", "start:a-cmd", "connect", "query:a-wmi", "count:a-wmi",
                          "box:a-wmi Was more then or equal to 0"};
    Journal expected = once;
    expected.insert(expected.end(), {"set:b-reg", "start:b-cmd", "connect", "query:b-wmi",
                                     "count:b-wmi", "box:b-wmi Was more then or equal to 0"});
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(f.journal, expected);
    // The run changes no record.
    EXPECT_TRUE(a->Enabled);
    EXPECT_FALSE(off->Enabled);
    EXPECT_EQ(settings.size(), 5u);
    EXPECT_TRUE(f.env.files.files.empty());
}

TEST(runner, FailuresOfOneKindLeaveTheOthersAndLaterEntriesRunning) {
    RunnerFixture f;
    const OptimizationItemPtr broken = Entry(true, "x", "HKCU\\Software\\OrvikTest");
    broken->cmdItems.insert(broken->cmdItems.begin(), cmdItem{"missing.exe"});
    broken->wmiItems.insert(broken->wmiItems.begin(), wmiItem{"bad query", 9999});
    f.processes.failures["missing.exe"] = 2;
    f.wmi.answers["bad query"] = {static_cast<int32_t>(0x80041017u), 0, 0};
    const OptimizationItemPtr next = Entry(true, "n", kKey);

    runner(f.platform()).RunOptimizations({broken, next});

    EXPECT_EQ(f.journal, (Journal{"start:missing.exe", "connect", "query:bad query", "set:n-reg",
                                  "start:n-cmd", "connect", "query:n-wmi", "count:n-wmi",
                                  "box:n-wmi Was more then or equal to 0"}));
    const std::vector<std::string> lines = f.LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Trace: Command: missing.exe"), std::string::npos);
    EXPECT_NE(lines[1].find("Trace:  Command:bad query"), std::string::npos);
    EXPECT_TRUE(f.registry.inner.Stored(kKey, "n-reg").has_value());
}

TEST(runner, NothingToApply) {
    RunnerFixture f;
    f.env.system.wow64 = true;
    runner(f.platform()).RunOptimizations({});
    runner(f.platform()).RunOptimizations({nullptr, Entry(false, "off", kKey)});
    EXPECT_TRUE(f.journal.empty());
    EXPECT_TRUE(f.registry.inner.calls.empty());
    EXPECT_TRUE(f.env.system.redirectionCalls.empty());
    EXPECT_TRUE(f.env.files.files.empty());
}

}  // namespace
