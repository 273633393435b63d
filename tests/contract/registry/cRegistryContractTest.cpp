// cRegistry on the registry under test: every test runs the same on the double and on advapi32.
#include "FakeEnvironment.h"
#include "RegistryFixture.h"
#include "registry/cRegistry.h"

namespace {

using ByteArray = std::vector<uint8_t>;

class cRegistryContract : public RegistryContract {
protected:
    cRegistry Make() {
        cRegistry c(r, utils, [] { return LocalDateTime{2026, 12, 6, 9, 15, 2}; });
        c.ClassKey(reg::kCurrentUser);
        c.SectionKey(scratch);
        return c;
    }
    // What is stored, type and bytes; type 0 and no bytes when nothing is.
    std::pair<uint32_t, ByteArray> Stored(const std::string& name) {
        std::pair<uint32_t, ByteArray> stored;
        if (Raw(scratch, name, stored.first, stored.second) != 0) stored = {};
        return stored;
    }
    // The error that a call raised.
    template <class F>
    static ErrorRecord Raised(F call) {
        try {
            call();
        } catch (const ErrorRecord& e) {
            return e;
        }
        return ErrorRecord(0, "nothing raised", "");
    }

    FakeEnvironment env;
    GlobalUtils utils{env.platform()};
};

}  // namespace

TEST_F(cRegistryContract, TextPicksExpandTypeOnlyForAPercentPairAndExpandsOnReading) {
    cRegistry c = Make();
    SetTestEnvironment(r, "ORVIKCONTRACTDIR", "C:\\Orvik Dir");
    // Text, the type asked, the type stored.
    const std::tuple<std::string, int32_t, uint32_t> cases[] = {
        {"plain", 1, reg::kSz},     {"100%", 1, reg::kSz},
        {"%%", 1, reg::kSz},        {"a%%b", 2, reg::kSz},
        {"%a%", 1, reg::kExpandSz}, {"%%x%", 1, reg::kExpandSz},
        {kGreek, 1, reg::kSz},      {"50% or 60%", 2, reg::kExpandSz}};
    for (const auto& [text, asked, stored] : cases) {
        c.SetValueByName("v", asked, text);
        EXPECT_EQ(Stored("v"), std::make_pair(stored, Bytes(text + '\0'))) << text;
        EXPECT_EQ(c.ValueType(), asked) << "a write leaves ValueType alone";
    }
    // Expanded on reading; an unknown name stays as written; ValueType follows what is stored.
    c.SetValueByName(kGreek, 1, std::string("%ORVIKCONTRACTDIR%\\x %ORVIKNOSUCHVAR%"));
    EXPECT_EQ(c.ValueByName(kGreek), Variant(std::string("C:\\Orvik Dir\\x %ORVIKNOSUCHVAR%")));
    EXPECT_EQ(c.ValueType(), 2);
    c.SetValueByName("t", 2, std::string("no pair"));
    EXPECT_EQ(c.ValueByName("t"), Variant(std::string("no pair")));
    EXPECT_EQ(c.ValueType(), 1);
}

TEST_F(cRegistryContract, MultiStringsKeepTheirNulsAndShortTextReadsEmpty) {
    cRegistry c = Make();
    c.SetValueByName("m", 7, std::string("a\0bc", 4));
    EXPECT_EQ(Stored("m"), std::make_pair(reg::kMultiSz, Bytes(std::string("a\0bc\0\0", 6))));
    EXPECT_EQ(c.ValueByName("m"), Variant(std::string("a\0bc\0", 5)));
    EXPECT_EQ(c.ValueType(), 7);
    // Text that already ends with its NUL gets no second one.
    c.SetValueByName("m2", 7, std::string("x\0", 2));
    EXPECT_EQ(Stored("m2").second, Bytes(std::string("x\0\0", 3)));
    // Stored sizes of 0 and 1 read as empty text; text without its NUL reads whole.
    ASSERT_EQ(PutRaw(scratch, "one", reg::kMultiSz, {'z'}), 0);
    EXPECT_EQ(c.ValueByName("one"), Variant(std::string()));
    ASSERT_EQ(PutRaw(scratch, "two", reg::kSz, {'z', 'y'}), 0);
    EXPECT_EQ(c.ValueByName("two"), Variant(std::string("zy")));
}

TEST_F(cRegistryContract, DwordsAreMachineOrderAndBigEndianReadsReversed) {
    cRegistry c = Make();
    c.SetValueByName("d", 4, int32_t{-2});
    EXPECT_EQ(Stored("d"), std::make_pair(reg::kDword, ByteArray{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(c.ValueByName("d"), Variant(int32_t{-2}));
    c.SetValueByName("s", 4, int16_t{-1});  // sign-extended
    EXPECT_EQ(Stored("s").second, (ByteArray{0xFF, 0xFF, 0xFF, 0xFF}));
    c.SetValueByName("be", 5, int32_t{258});  // stored as a plain DWORD
    EXPECT_EQ(Stored("be"), std::make_pair(reg::kDword, ByteArray{0x02, 0x01, 0x00, 0x00}));
    ASSERT_EQ(PutRaw(scratch, "raw", reg::kDwordBigEndian, {0x00, 0x00, 0x01, 0x02}), 0);
    EXPECT_EQ(c.ValueByName("raw"), Variant(int32_t{258}));
    EXPECT_EQ(c.ValueType(), 5);
    // Missing bytes count as 0; extra bytes are not read.
    ASSERT_EQ(PutRaw(scratch, "short", reg::kDword, {0x34, 0x12}), 0);
    EXPECT_EQ(c.ValueByName("short"), Variant(int32_t{0x1234}));
    ASSERT_EQ(PutRaw(scratch, "long", reg::kDword, {1, 0, 0, 0, 9, 9, 9, 9}), 0);
    EXPECT_EQ(c.ValueByName("long"), Variant(int32_t{1}));
    // Something else than an integer writes nothing and reports nothing.
    c.SetValueByName("text", 4, std::string("12"));
    EXPECT_EQ(Stored("text").first, 0u);
}

TEST_F(cRegistryContract, BinaryAndOtherTypesReadAsBytes) {
    cRegistry c = Make();
    c.SetValueByName("b", 3, ByteArray{0x01, 0x02, 0xFF});
    EXPECT_EQ(Stored("b"), std::make_pair(reg::kBinary, ByteArray{0x01, 0x02, 0xFF}));
    EXPECT_EQ(c.ValueByName("b"), Variant(ByteArray{0x01, 0x02, 0xFF}));
    ASSERT_EQ(PutRaw(scratch, "none", reg::kNone, {}), 0);
    EXPECT_EQ(c.ValueByName("none"), Variant(ByteArray{}));
    ASSERT_EQ(PutRaw(scratch, "q", 11, {1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(c.ValueByName("q"), Variant(ByteArray{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(c.ValueType(), 11);
}

TEST_F(cRegistryContract, ExactWritesKeepTheirTypeAndAQwordTakesEightBytes) {
    cRegistry c = Make();
    c.SetExactValueByName("e", 2, std::string("no pair"));
    EXPECT_EQ(Stored("e"), std::make_pair(reg::kExpandSz, Bytes("no pair" + std::string(1, 0))));
    c.SetExactValueByName("s", 1, std::string("%a%"));
    EXPECT_EQ(Stored("s").first, reg::kSz);
    c.SetValueByName("after", 2, std::string("plain"));  // the old rule again
    EXPECT_EQ(Stored("after").first, reg::kSz);
    c.SetExactValueByName("q", 11, ByteArray{1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(Stored("q"), std::make_pair(reg::kQword, ByteArray{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Raised([&] { c.SetExactValueByName("q7", 11, ByteArray(7)); }).Number, 26001);
    EXPECT_EQ(Stored("q7").first, 0u);
    c.SetExactValueByName("gone", 2, std::string());  // empty text deletes, as ever
    EXPECT_EQ(Stored("e").first, reg::kExpandSz);
    c.SetExactValueByName("e", 2, std::string());
    EXPECT_EQ(Stored("e").first, 0u);
}

TEST_F(cRegistryContract, WriteFailuresRaiseTheirNumbersAfterCreatingTheKey) {
    cRegistry c = Make();
    EXPECT_EQ(Raised([&] { c.SetValueByName("b", 3, std::string("01")); }).Number, 26001);
    const ErrorRecord empty = Raised([&] { c.SetValueByName("b", 3, ByteArray{}); });
    EXPECT_EQ(empty.Number, 9);
    EXPECT_EQ(empty.Source, "Orvik");
    for (int32_t type : {0, 6, 8, -1}) {
        c.SectionKey(scratch + "\\T" + std::to_string(type));
        const ErrorRecord e = Raised([&] { c.SetValueByName("x", type, int32_t{5}); });
        EXPECT_EQ(e.Number, -2147194455) << type;
        EXPECT_EQ(e.Source, "Orvik.cRegistry");
        EXPECT_EQ(e.Description, "Failed to set registry value Key: '-2147483647',Section: '" +
                                     scratch + "\\T" + std::to_string(type) +
                                     "',Key: 'x' to value: '5'");
        EXPECT_TRUE(c.KeyExists()) << "the key is created before the type is looked at";
    }
    EXPECT_EQ(Stored("b").first, 0u);
    c.ClassKey(0);  // no root: nothing can be created
    const ErrorRecord none = Raised([&] { c.SetValueByName("Size", 4, int32_t{0}); });
    EXPECT_EQ(none.Number, 26001);
    EXPECT_EQ(none.Description, "Failed to set registry value Key: '0',Section: '" + scratch +
                                    "\\T-1',Key: 'Size' to value: '0'");
}

TEST_F(cRegistryContract, EmptyTextDeletesTheValueButCreatesTheKey) {
    cRegistry c = Make();
    c.SetValueByName("gone", 1, std::string("x"));
    c.SetValueByName("gone", 1, std::string());
    EXPECT_EQ(Stored("gone").first, 0u);
    c.SetValueByName("gone", 7, Variant{});  // nothing there: still no error
    c.SectionKey(scratch + "\\New");
    c.SetValueByName("x", 1, std::string());
    EXPECT_TRUE(c.KeyExists());
}

// Held writes share one open key; a key deleted meanwhile is made afresh for the next write.
TEST_F(cRegistryContract, HeldWritesMakeADeletedKeyAfresh) {
    cRegistry c = Make();
    c.SectionKey(scratch + "\\Held");
    {
        cRegistry::HeldWrites held(c);
        c.SetValueByName("a", 4, int32_t{1});
        // Another program deletes the key.
        ASSERT_EQ(r.DeleteKey(kHkcu, scratch + "\\Held", 0), reg::kSuccess);
        c.SetValueByName("b", 4, int32_t{2});
    }
    uint32_t type = 0;
    ByteArray got;
    EXPECT_EQ(Raw(scratch + "\\Held", "a", type, got), reg::kFileNotFound);
    ASSERT_EQ(Raw(scratch + "\\Held", "b", type, got), reg::kSuccess);
    EXPECT_EQ(got, (ByteArray{2, 0, 0, 0}));
}

TEST_F(cRegistryContract, ReadsFallBackToDefault) {
    cRegistry c = Make();
    EXPECT_EQ(c.ValueByName("missing"), Variant{});
    EXPECT_EQ(c.ValueByName("missing", std::string("dflt")), Variant(std::string("dflt")));
    EXPECT_EQ(c.ValueByName("missing"), Variant(std::string("dflt"))) << "Default is kept";
    c.ValueType(3);
    c.SectionKey(scratch + "\\nokey");
    EXPECT_EQ(c.ValueByName("v", int16_t{7}), Variant(int16_t{7}));
    EXPECT_EQ(c.ValueType(), 3) << "a failed read leaves ValueType";
}

// The probes: any value reads as text and tells its type; a sub key can be created where a
// probe key named by the time can, which goes again. Another machine's registry is not reached.
TEST_F(cRegistryContract, ProbesAndAConnectionThatFails) {
    cRegistry c = Make();
    const std::pair<uint32_t, ByteArray> stored[] = {
        {reg::kSz, Bytes(std::string("x\0", 2))}, {reg::kDword, {1, 0, 0, 0}}, {reg::kNone, {}}};
    c.ValueKey("v");
    for (const auto& [type, bytes] : stored) {
        ASSERT_EQ(PutRaw(scratch, "v", type, bytes), 0);
        EXPECT_TRUE(c.CanReadValue()) << type;
        EXPECT_EQ(c.ValueType(), static_cast<int32_t>(type));
    }
    for (const auto& [root, created] : {std::pair{reg::kCurrentUser, true}, std::pair{0, false}}) {
        c.ClassKey(root);
        EXPECT_EQ(c.CanCreateSubKey(scratch + "\\Probe"), created) << root;
        EXPECT_EQ(c.SectionKey(), scratch + "\\Probe\\TESTKEY-20261206091502");
        EXPECT_FALSE(Exists(kHkcu, c.SectionKey()));
    }
    EXPECT_TRUE(Exists(kHkcu, scratch + "\\Probe")) << "only the probe key goes";
    EXPECT_EQ(c.lConnectRegHKLM("orvik-no-such-host"), 0);
}

TEST_F(cRegistryContract, EnumerationsStartAfreshAndListNamesAsWritten) {
    cRegistry c = Make();
    // A key name of the greatest length, in a script of two bytes a letter, comes through whole.
    std::string longest;
    for (int i = 0; i < 255; ++i) longest += "\xCE\xB1";
    c.SetValueByName("x", 4, int32_t{1});
    c.SetValueByName("Y", 4, int32_t{2});
    for (const std::string& sub : {std::string("b"), longest, std::string("A")}) {
        c.SectionKey(scratch + "\\" + sub);
        c.CreateKey();
    }
    using Names = std::vector<std::string>;
    const std::tuple<std::string, Names, Names> cases[] = {
        {"\\missing", {}, {}}, {"", {"x", "Y"}, {"A", "b", longest}}, {"\\A", {}, {}}};
    for (const auto& [section, values, sections] : cases) {
        c.SectionKey(scratch + section);
        Names names{"stale"};
        int32_t count = 42;
        EXPECT_TRUE(c.EnumerateValues(names, count));
        EXPECT_EQ(names, values) << section;
        EXPECT_EQ(count, static_cast<int32_t>(values.size()));
        names = {"stale"};
        EXPECT_TRUE(c.EnumerateSections(names, count));
        EXPECT_EQ(names, sections) << section;
        EXPECT_EQ(count, static_cast<int32_t>(sections.size()));
    }
}

TEST_F(cRegistryContract, DeleteSectionRemovesTreesAndRefusesTheRootItself) {
    cRegistry c = Make();
    for (const char* path : {"\\K\\A\\B", "\\K\\A\\C", "\\K\\D", "\\T\\U", "\\Child"}) {
        c.SectionKey(scratch + path);
        c.CreateKey();
    }
    // A missing key is no error; a trailing backslash names the same key.
    const std::pair<const char*, bool> deletions[] = {
        {"\\K", true}, {"\\K", false}, {"\\T\\", true}};
    for (const auto& [section, deleted] : deletions) {
        c.SectionKey(scratch + section);
        EXPECT_EQ(c.DeleteSection(), deleted) << section;
        EXPECT_EQ(c.SectionKey(), scratch + section);
        EXPECT_FALSE(Exists(kHkcu, scratch + section));
    }
    // The scratch key's own handle as the root: a refusal that failed would empty only it.
    RegKey own = 0;
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kAllSpecificRights, own), 0);
    c.ClassKey(static_cast<int32_t>(static_cast<intptr_t>(own)));
    for (const char* section : {"", "\\", "\\\\"}) {
        c.SectionKey(section);
        const ErrorRecord e = Raised([&] { c.DeleteSection(); });
        EXPECT_EQ(e.Number, 26001) << section;
        EXPECT_EQ(e.Source, "Orvik.cRegistry");
        EXPECT_TRUE(Exists(kHkcu, scratch + "\\Child")) << section;
    }
    c.SectionKey("Child");
    EXPECT_TRUE(c.DeleteSection());
    EXPECT_FALSE(Exists(kHkcu, scratch + "\\Child"));
    r.CloseKey(own);
}

// The machine's Software key is one view for every call (writes, deletes by empty text,
// enumerations, deleted sections): the 64-bit one, also for the 32-bit program on 64-bit
// Windows, whose own view's key of the same name is left alone.
TEST_F(cRegistryContract, MachineSoftwareIsTheSixtyFourBitViewForEveryCall) {
    env.system.wow64 = PoseAsWow64(r);
    const RegKey hklm = reg::RootKey(reg::kLocalMachine);
    const std::string section = UniqueName("Software\\OrvikView-");
    RegKey twin = 0;
    ASSERT_EQ(
        r.CreateKey(hklm, section + "\\Sub32", reg::kAllSpecificRights | reg::kWow64_32Key, twin),
        0);
    r.CloseKey(twin);
    ASSERT_EQ(r.CreateKey(hklm, section, reg::kAllSpecificRights | reg::kWow64_32Key, twin), 0);
    ASSERT_EQ(r.SetValue(twin, "gone", reg::kSz, Bytes(std::string("x\0", 2)).data(), 2), 0);
    cRegistry c(r, utils);
    c.ClassKey(reg::kLocalMachine);
    c.SectionKey(section + "\\Sub64");
    c.CreateKey();
    c.SectionKey(section);
    c.SetValueByName("gone", 1, std::string("y"));
    c.SetValueByName("kept", 4, int32_t{1});
    c.SetValueByName("gone", 1, std::string());
    std::vector<std::string> names;
    int32_t count = 0;
    c.EnumerateValues(names, count);
    EXPECT_EQ(names, std::vector<std::string>{"kept"});
    c.EnumerateSections(names, count);
    EXPECT_EQ(names, std::vector<std::string>{"Sub64"});
    EXPECT_TRUE(c.DeleteSection());
    EXPECT_FALSE(c.KeyExists());
    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(r.QueryValue(twin, "gone", type, nullptr, size), 0) << "the 32-bit view's value";
    r.CloseKey(twin);
    EXPECT_EQ(r.DeleteKey(hklm, section + "\\Sub32", reg::kWow64_32Key), 0);
    EXPECT_EQ(r.DeleteKey(hklm, section, reg::kWow64_32Key), 0);
}

// Each case under names of its own below HKEY_CLASSES_ROOT: the extension and the class, each
// with its command, and the icon where an index is given; a fresh object's ValueType 0 fails
// the first write after creating its key.
TEST_F(cRegistryContract, CreateExeAssociationWritesDefaultValues) {
    const std::string exe = "C:\\Tools\\view.exe", command = exe + " \"%1\"";
    struct Case {
        int32_t valueType, icon, error;
        std::string last;  // the SectionKey it leaves, after the class name
    };
    const Case cases[] = {{1, 0, 0, "\\DefaultIcon"},
                          {1, -1, 0, "\\shell\\open\\command"},
                          {0, 0, cRegistry::kErrSetValue, ""}};
    for (const Case& k : cases) {
        const std::string ext = UniqueName("orviktest"), cls = UniqueName("OrvikTest.Doc");
        cRegistry c = Make();
        c.ValueType(k.valueType);
        const ErrorRecord e =
            Raised([&] { c.CreateEXEAssociation(exe, cls, "View document", ext, k.icon); });
        cRegistry reader(r, utils);
        reader.ClassKey(reg::kClassesRoot);
        auto at = [&](const std::string& path) -> cRegistry& {
            reader.SectionKey(path);
            return reader;
        };
        auto read = [&](const std::string& path) { return at(path).ValueByName(""); };
        const bool written = k.error == 0;
        auto text = [&](const std::string& t) { return written ? Variant(t) : Variant{}; };
        EXPECT_EQ(e.Number, k.error);
        EXPECT_EQ(c.ClassKey(), reg::kClassesRoot);
        EXPECT_EQ(c.SectionKey(), written ? cls + k.last : "." + ext);
        EXPECT_EQ(read("." + ext), text(cls));
        EXPECT_EQ(read("." + ext + "\\shell\\open\\command"), text(command));
        EXPECT_EQ(read(cls), text("View document"));
        EXPECT_EQ(read(cls + "\\shell\\open\\command"), text(command));
        EXPECT_EQ(read(cls + "\\DefaultIcon"), k.icon < 0 ? Variant{} : text(exe + ",0"));
        EXPECT_TRUE(at("." + ext).KeyExists());
        EXPECT_EQ(at(cls).KeyExists(), written);
        RemoveTestKey(reg::RootKey(reg::kClassesRoot), "." + ext);
        RemoveTestKey(reg::RootKey(reg::kClassesRoot), cls);
    }
}
