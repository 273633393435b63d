// What the contract cannot reach on the platform at hand: the 64-bit view on a WOW64 machine,
// failures part way, handle hygiene on every path, remote machines, the wall clock.
#include <gtest/gtest.h>

#include <regex>

#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "registry/cRegistry.h"

namespace {

using ByteArray = std::vector<uint8_t>;
constexpr int32_t kHkcu = reg::kCurrentUser;
constexpr int32_t kHklm = reg::kLocalMachine;

LocalDateTime FixedTime() { return {2027, 1, 2, 3, 4, 5}; }

class cRegistryUnit : public ::testing::Test {
protected:
    explicit cRegistryUnit(bool wow64 = false) : registry(wow64) { env.system.wow64 = wow64; }

    cRegistry Make(int32_t root = kHkcu, const std::string& section = "Software\\Orvik") {
        cRegistry c(registry, utils, FixedTime);
        c.ClassKey(root);
        c.SectionKey(section);
        return c;
    }
    template <class F>
    ErrorRecord Raised(F f) {
        try {
            f();
        } catch (const ErrorRecord& e) {
            return e;
        }
        ADD_FAILURE() << "no error raised";
        return ErrorRecord(0, "", "");
    }
    // The access asked for by the last call of operation.
    uint32_t LastAccess(const std::string& operation) {
        for (auto it = registry.calls.rbegin(); it != registry.calls.rend(); ++it) {
            if (it->operation == operation) return it->access;
        }
        ADD_FAILURE() << "no " << operation;
        return 0xFFFFFFFF;
    }

    FakeEnvironment env;
    GlobalUtils utils{env.platform()};
    RegistryDouble registry;
};

class cRegistryOnWow64 : public cRegistryUnit {
protected:
    cRegistryOnWow64() : cRegistryUnit(true) {}
};

}  // namespace

TEST_F(cRegistryUnit, NativeProgramsAskForNoViewFlag) {
    cRegistry c = Make();
    c.SetValueByName("v", 4, int32_t{1});
    EXPECT_EQ(LastAccess("CreateKey"), 0x003Fu);
    c.Value();
    EXPECT_EQ(LastAccess("OpenKey"), 0x0001u);
    c.KeyExists();
    EXPECT_EQ(LastAccess("OpenKey"), 0x0001u);
}

TEST_F(cRegistryOnWow64, ValueKeyExistsAndCreateKeyUseTheSixtyFourBitView) {
    cRegistry c = Make(kHklm, "Software\\Orvik");
    c.SetValueByName("v", 4, int32_t{7});
    EXPECT_EQ(LastAccess("CreateKey"), 0x013Fu);
    EXPECT_TRUE(registry.Stored("HKEY_LOCAL_MACHINE\\Software\\Orvik", "v"));
    EXPECT_FALSE(registry.HasKey("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Orvik"));
    EXPECT_EQ(c.ValueByName("v"), Variant(int32_t{7}));
    EXPECT_EQ(LastAccess("OpenKey"), 0x0101u);
    EXPECT_TRUE(c.KeyExists());
    EXPECT_EQ(LastAccess("OpenKey"), 0x0101u);
    EXPECT_TRUE(c.CreateKey());
    EXPECT_EQ(LastAccess("CreateKey"), 0x013Fu);

    // The others stay in the program's default view, here the 32-bit one.
    std::vector<std::string> names;
    int32_t count = 0;
    c.EnumerateValues(names, count);
    EXPECT_EQ(LastAccess("OpenKey"), 0x0001u);
    EXPECT_EQ(count, 0) << "the 32-bit view has no such key";
    c.EnumerateSections(names, count);
    EXPECT_EQ(LastAccess("OpenKey"), 0x0008u);
    EXPECT_EQ(Raised([&] { c.DeleteValue(); }).Number, 26001);
    EXPECT_EQ(LastAccess("OpenKey"), 0x003Fu);
    // So a write of empty text, which deletes through DeleteValue, leaves the 64-bit value.
    c.SetValueByName("v", 1, std::string());
    EXPECT_TRUE(registry.Stored("HKEY_LOCAL_MACHINE\\Software\\Orvik", "v"));
}

TEST_F(cRegistryOnWow64, ProbeKeyInARedirectedPathStaysBehindUnseen) {
    cRegistry c = Make(kHklm);
    EXPECT_TRUE(c.CanCreateSubKey("Software\\Orvik"));
    EXPECT_EQ(c.SectionKey(), "Software\\Orvik\\TESTKEY-20270102030405");
    EXPECT_TRUE(registry.HasKey("HKEY_LOCAL_MACHINE\\Software\\Orvik\\TESTKEY-20270102030405"));
    // Outside the redirected part both views are one, and the probe goes again.
    c.ClassKey(kHkcu);
    EXPECT_TRUE(c.CanCreateSubKey("Software\\Orvik"));
    EXPECT_FALSE(registry.HasKey("HKEY_CURRENT_USER\\Software\\Orvik\\TESTKEY-20270102030405"));
    EXPECT_TRUE(registry.HasKey("HKEY_CURRENT_USER\\Software\\Orvik"));
}

TEST_F(cRegistryUnit, EveryMemberClosesItsHandlesAlsoWhenItFails) {
    cRegistry c = Make();
    auto quietly = [](auto f) {
        try {
            f();
        } catch (const ErrorRecord&) {
        }
    };
    std::vector<std::string> names;
    int32_t count = 0;
    c.SetValueByName("s", 1, std::string("x"));
    quietly([&] { c.SetValueByName("b", 3, std::string("not bytes")); });
    quietly([&] { c.SetValueByName("b", 3, ByteArray{}); });
    quietly([&] { c.SetValueByName("n", 0, int32_t{1}); });
    c.SetValueByName("s", 1, std::string());
    c.ValueByName("s");
    c.SetValueByName("e", 2, std::string("%PATH%"));
    c.ValueByName("e");
    c.CanReadValue();
    c.KeyExists();
    c.CanCreateSubKey("Software\\Orvik");
    c.SectionKey("Software\\Orvik");
    c.EnumerateValues(names, count);
    c.EnumerateSections(names, count);
    registry.FailOn("SetValue", "HKEY_CURRENT_USER\\Software\\Orvik", 5);
    quietly([&] { c.SetValueByName("s", 1, std::string("y")); });
    registry.FailOn("DeleteKey", "HKEY_CURRENT_USER\\Software\\Orvik\\A", 5);
    c.SectionKey("Software\\Orvik\\A\\B");
    c.CreateKey();
    c.SectionKey("Software\\Orvik");
    quietly([&] { c.DeleteSection(); });
    c.ValueType(1);
    c.CreateEXEAssociation("C:\\x.exe", "XDoc", "X", "xd", 1);
    registry.remoteMachines.insert("server1");
    const int32_t remote = c.lConnectRegHKLM("server1");
    EXPECT_EQ(registry.OpenHandleCount(), 1u) << "only the connection the caller owns";
    registry.CloseKey(static_cast<RegKey>(static_cast<intptr_t>(remote)));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(cRegistryUnit, MessagesQuoteThePositionAndTheValue) {
    registry.FailOn("CreateKey", "HKEY_CURRENT_USER\\Software\\Example", 5);
    cRegistry c = Make(kHkcu, "Software\\Example");
    ErrorRecord e = Raised([&] { c.SetValueByName("Size", 4, int32_t{0}); });
    EXPECT_EQ(e.Number, 26001);
    EXPECT_EQ(e.Source, "Orvik.cRegistry");
    EXPECT_EQ(e.Description, "Failed to set registry value Key: '-2147483647',Section: "
                             "'Software\\Example',Key: 'Size' to value: '0'");
    c.SectionKey("Software\\Other");
    e = Raised([&] { c.SetValueByName("Bytes", 6, ByteArray{0x01, 0x02, 0xFF}); });
    EXPECT_EQ(e.Number, static_cast<int32_t>(0x800469A9u));
    EXPECT_EQ(e.Description, "Failed to set registry value Key: '-2147483647',Section: "
                             "'Software\\Other',Key: 'Bytes' to value: '01,02,FF'");
    e = Raised([&] { c.SetValueByName("Small", 8, int16_t{-5}); });
    EXPECT_NE(e.Description.find("to value: '-5'"), std::string::npos);
    // A refused write of the data itself.
    registry.FailOn("SetValue", "HKEY_CURRENT_USER\\Software\\Other", 5);
    e = Raised([&] { c.SetValueByName("Text", 1, std::string("abc")); });
    EXPECT_EQ(e.Number, -2147194455);
    EXPECT_EQ(e.Description, "Failed to set registry value Key: '-2147483647',Section: "
                             "'Software\\Other',Key: 'Text' to value: 'abc'");
    // The source follows the executable's name, whatever its extension's case.
    env.system.executablePath = "D:\\Apps\\Tuner.v2.EXE";
    e = Raised([&] { c.SetValueByName("b", 3, ByteArray{}); });
    EXPECT_EQ(e.Number, 9);
    EXPECT_EQ(e.Source, "Tuner.v2");
    EXPECT_EQ(Raised([&] { c.SetValueByName("b", 3, int32_t{1}); }).Source, "Tuner.v2.cRegistry");
}

TEST_F(cRegistryUnit, DeleteSectionStopsAtAKeyItCannotDeleteKeepingTheRest) {
    cRegistry c = Make();
    for (const char* sub : {"\\K\\A\\X", "\\K\\B\\Y", "\\K\\C"}) {
        c.SectionKey(std::string("Software") + sub);
        c.CreateKey();
    }
    registry.FailOn("DeleteKey", "HKEY_CURRENT_USER\\Software\\K\\B", 5);
    c.SectionKey("Software\\K");
    const ErrorRecord e = Raised([&] { c.DeleteSection(); });
    EXPECT_EQ(e.Number, 26001);
    EXPECT_EQ(e.Description,
              "Failed to delete registry Key: '-2147483647',Section: 'Software\\K\\B'");
    EXPECT_EQ(c.SectionKey(), "Software\\K\\B");
    EXPECT_FALSE(registry.HasKey("HKEY_CURRENT_USER\\Software\\K\\A"));
    EXPECT_FALSE(registry.HasKey("HKEY_CURRENT_USER\\Software\\K\\B\\Y"));
    EXPECT_TRUE(registry.HasKey("HKEY_CURRENT_USER\\Software\\K\\B"));
    EXPECT_TRUE(registry.HasKey("HKEY_CURRENT_USER\\Software\\K\\C"));
}

TEST_F(cRegistryUnit, ProbeDeletionFailureStillCountsAsCreatable) {
    registry.FailOn("DeleteKey", "HKEY_CURRENT_USER\\Software\\Orvik\\TESTKEY-20270102030405", 5);
    cRegistry c = Make();
    EXPECT_TRUE(c.CanCreateSubKey("Software\\Orvik"));
    EXPECT_TRUE(registry.HasKey("HKEY_CURRENT_USER\\Software\\Orvik\\TESTKEY-20270102030405"));
    registry.FailOn("CreateKey", "HKEY_CURRENT_USER\\Software\\Orvik", 5);
    EXPECT_FALSE(c.CanCreateSubKey("Software\\Orvik\\Deeper"));
}

TEST_F(cRegistryUnit, ProbeNameFromTheWallClock) {
    cRegistry c(registry, utils);
    c.ClassKey(kHkcu);
    EXPECT_TRUE(c.CanCreateSubKey("Software\\Orvik"));
    const std::regex probe(R"(Software\\Orvik\\TESTKEY-20\d{2}(0[1-9]|1[0-2]))"
                           R"((0[1-9]|[12]\d|3[01])([01]\d|2[0-3])[0-5]\d[0-6]\d)");
    EXPECT_TRUE(std::regex_match(c.SectionKey(), probe)) << c.SectionKey();
}

TEST_F(cRegistryUnit, ConnectNamesTheMachineWithTwoBackslashes) {
    cRegistry c = Make();
    EXPECT_EQ(c.lConnectRegHKLM("server1"), 0);
    EXPECT_EQ(registry.calls.back().path, "\\\\server1");
    registry.remoteMachines.insert("server1");
    const int32_t remote = c.lConnectRegHKLM("SERVER1");
    ASSERT_NE(remote, 0);
    // The handle serves as ClassKey and reaches that machine's registry, not this one's.
    c.ClassKey(remote);
    c.SectionKey("Software\\Remote");
    c.SetValueByName("v", 1, std::string("there"));
    EXPECT_EQ(c.ValueByName("v"), Variant(std::string("there")));
    EXPECT_FALSE(registry.HasKey("HKEY_LOCAL_MACHINE\\Software\\Remote"));
    // This machine by name is its own HKEY_LOCAL_MACHINE.
    EXPECT_EQ(c.lConnectRegHKLM("OrvikHost"), reg::kLocalMachine);
    registry.CloseKey(static_cast<RegKey>(static_cast<intptr_t>(remote)));
    // A handle that does not fit into 32 bits is closed, not handed out cut short.
    if constexpr (sizeof(RegKey) > 4) {
        registry.IssueHandlesFrom(static_cast<RegKey>(uint64_t{1} << 32));
        EXPECT_EQ(c.lConnectRegHKLM("server1"), 0);
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
    }
}

TEST_F(cRegistryUnit, EnumerationsKeepWhatTheyGatheredBeforeAFailure) {
    cRegistry c = Make();
    c.SetValueByName("x", 4, int32_t{1});
    registry.FailOn("QueryInfoKey", "HKEY_CURRENT_USER\\Software\\Orvik", 5);
    std::vector<std::string> names{"stale"};
    int32_t count = 9;
    EXPECT_TRUE(c.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
    c.SectionKey("Software\\Orvik\\Sub");
    c.CreateKey();
    c.SectionKey("Software\\Orvik");
    registry.FailOn("EnumKey", "HKEY_CURRENT_USER\\Software\\Orvik", 5);
    names = {"stale"};
    EXPECT_TRUE(c.EnumerateSections(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
}
