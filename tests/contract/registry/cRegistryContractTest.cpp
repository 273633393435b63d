// cRegistry on the registry under test: every test runs the same on the double and on advapi32.
#include "FakeEnvironment.h"
#include "RegistryFixture.h"
#include "registry/cRegistry.h"

namespace {

// Καλημέρα
const std::string kGreek = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1";
using ByteArray = std::vector<uint8_t>;

class cRegistryContract : public RegistryContract {
protected:
    cRegistry Make() {
        cRegistry c(r, utils, [] { return LocalDateTime{2026, 12, 6, 9, 15, 2}; });
        c.ClassKey(reg::kCurrentUser);
        c.SectionKey(scratch);
        return c;
    }
    // Runs f and hands back the error it raised.
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

    FakeEnvironment env;
    GlobalUtils utils{env.platform()};
};

}  // namespace

TEST_F(cRegistryContract, TextPicksExpandTypeOnlyForAPercentPair) {
    cRegistry c = Make();
    harness->SetEnvironment("ORVIKCONTRACTDIR", "C:\\Orvik Dir");
    struct Case {
        const char* text;
        int32_t asked;
        uint32_t stored;
    } cases[] = {{"plain", 1, reg::kSz},         {"100%", 1, reg::kSz},
                 {"%%", 1, reg::kSz},            {"a%%b", 2, reg::kSz},
                 {"%a%", 1, reg::kExpandSz},     {"%%x%", 1, reg::kExpandSz},
                 {"50% or 60%", 2, reg::kExpandSz}};
    for (const auto& k : cases) {
        c.SetValueByName("v", k.asked, std::string(k.text));
        uint32_t type = 0;
        ByteArray got;
        ASSERT_EQ(Raw(scratch, "v", type, got), 0) << k.text;
        EXPECT_EQ(type, k.stored) << k.text;
        EXPECT_EQ(got, Bytes(std::string(k.text) + '\0')) << k.text;
        EXPECT_EQ(c.ValueType(), k.asked) << "a write leaves ValueType alone";
    }
    // Expanded on reading; an unknown name stays as written; ValueType follows what is stored.
    c.SetValueByName("dir", 1, std::string("%ORVIKCONTRACTDIR%\\x %ORVIKNOSUCHVAR%"));
    EXPECT_EQ(c.ValueByName("dir"), Variant(std::string("C:\\Orvik Dir\\x %ORVIKNOSUCHVAR%")));
    EXPECT_EQ(c.ValueType(), 2);
    c.SetValueByName("t", 2, std::string("no pair"));
    EXPECT_EQ(c.ValueByName("t"), Variant(std::string("no pair")));
    EXPECT_EQ(c.ValueType(), 1);
}

TEST_F(cRegistryContract, GreekTextRoundTripsIntact) {
    cRegistry c = Make();
    c.SectionKey(scratch + "\\" + kGreek);
    c.SetValueByName(kGreek, 1, kGreek);
    EXPECT_EQ(c.ValueByName(kGreek), Variant(kGreek));
    uint32_t type = 0;
    ByteArray got;
    ASSERT_EQ(Raw(scratch + "\\" + kGreek, kGreek, type, got), 0);
    EXPECT_EQ(got.size(), kGreek.size() + 1);
    std::vector<std::string> names;
    int32_t count = 0;
    c.EnumerateValues(names, count);
    EXPECT_EQ(names, std::vector<std::string>{kGreek});
    c.SectionKey(scratch);
    c.EnumerateSections(names, count);
    EXPECT_EQ(names, std::vector<std::string>{kGreek});
}

TEST_F(cRegistryContract, MultiStringsKeepTheirNuls) {
    cRegistry c = Make();
    c.SetValueByName("m", 7, std::string("a\0bc", 4));
    uint32_t type = 0;
    ByteArray got;
    ASSERT_EQ(Raw(scratch, "m", type, got), 0);
    EXPECT_EQ(type, reg::kMultiSz);
    EXPECT_EQ(got, Bytes(std::string("a\0bc\0\0", 6)));
    EXPECT_EQ(c.ValueByName("m"), Variant(std::string("a\0bc\0", 5)));
    EXPECT_EQ(c.ValueType(), 7);
    // Text that already ends with its NUL gets no second one.
    c.SetValueByName("m2", 7, std::string("x\0", 2));
    ASSERT_EQ(Raw(scratch, "m2", type, got), 0);
    EXPECT_EQ(got, Bytes(std::string("x\0\0", 3)));
    // Stored sizes of 0 and 1 read as empty text.
    ASSERT_EQ(PutRaw(scratch, "one", reg::kMultiSz, {'z'}), 0);
    EXPECT_EQ(c.ValueByName("one"), Variant(std::string()));
    ASSERT_EQ(PutRaw(scratch, "two", reg::kSz, {'z', 'y'}), 0);
    EXPECT_EQ(c.ValueByName("two"), Variant(std::string("zy")));
}

TEST_F(cRegistryContract, DwordsAreMachineOrderAndBigEndianReadsReversed) {
    cRegistry c = Make();
    uint32_t type = 0;
    ByteArray got;
    c.SetValueByName("d", 4, int32_t{-2});
    ASSERT_EQ(Raw(scratch, "d", type, got), 0);
    EXPECT_EQ(type, reg::kDword);
    EXPECT_EQ(got, (ByteArray{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(c.ValueByName("d"), Variant(int32_t{-2}));
    c.SetValueByName("s", 4, int16_t{-1});  // sign-extended
    ASSERT_EQ(Raw(scratch, "s", type, got), 0);
    EXPECT_EQ(got, (ByteArray{0xFF, 0xFF, 0xFF, 0xFF}));
    c.SetValueByName("be", 5, int32_t{258});  // stored as a plain DWORD
    ASSERT_EQ(Raw(scratch, "be", type, got), 0);
    EXPECT_EQ(type, reg::kDword);
    EXPECT_EQ(got, (ByteArray{0x02, 0x01, 0x00, 0x00}));
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
    EXPECT_EQ(Raw(scratch, "text", type, got), reg::kFileNotFound);
}

TEST_F(cRegistryContract, BinaryAndOtherTypesReadAsBytes) {
    cRegistry c = Make();
    c.SetValueByName("b", 3, ByteArray{0x01, 0x02, 0xFF});
    uint32_t type = 0;
    ByteArray got;
    ASSERT_EQ(Raw(scratch, "b", type, got), 0);
    EXPECT_EQ(type, reg::kBinary);
    EXPECT_EQ(got, (ByteArray{0x01, 0x02, 0xFF}));
    EXPECT_EQ(c.ValueByName("b"), Variant(ByteArray{0x01, 0x02, 0xFF}));
    ASSERT_EQ(PutRaw(scratch, "none", reg::kNone, {}), 0);
    EXPECT_EQ(c.ValueByName("none"), Variant(ByteArray{}));
    EXPECT_EQ(c.ValueType(), 0);
    ASSERT_EQ(PutRaw(scratch, "q", 11, {1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(c.ValueByName("q"), Variant(ByteArray{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(c.ValueType(), 11);
}

TEST_F(cRegistryContract, WriteFailuresRaiseTheirNumbers) {
    cRegistry c = Make();
    ErrorRecord e = Raised([&] { c.SetValueByName("b", 3, std::string("01")); });
    EXPECT_EQ(e.Number, 26001);
    e = Raised([&] { c.SetValueByName("b", 3, ByteArray{}); });
    EXPECT_EQ(e.Number, 9);
    EXPECT_EQ(e.Source, "Orvik");
    for (int32_t type : {0, 6, 8, -1}) {
        c.SectionKey(scratch + "\\T" + std::to_string(type));
        e = Raised([&] { c.SetValueByName("x", type, int32_t{5}); });
        EXPECT_EQ(e.Number, -2147194455) << type;
        EXPECT_EQ(e.Source, "Orvik.cRegistry");
        EXPECT_EQ(e.Description, "Failed to set registry value Key: '-2147483647',Section: '" +
                                     scratch + "\\T" + std::to_string(type) +
                                     "',Key: 'x' to value: '5'");
        EXPECT_TRUE(c.KeyExists()) << "the key is created before the type is looked at";
    }
    uint32_t type = 0;
    ByteArray got;
    EXPECT_EQ(Raw(scratch, "b", type, got), reg::kFileNotFound);
    // No root: nothing can be created.
    c.ClassKey(0);
    c.SectionKey("Software\\Example");
    e = Raised([&] { c.SetValueByName("Size", 4, int32_t{0}); });
    EXPECT_EQ(e.Number, 26001);
    EXPECT_EQ(e.Description,
              "Failed to set registry value Key: '0',Section: 'Software\\Example',Key: 'Size' to "
              "value: '0'");
    e = Raised([&] { c.CreateKey(); });
    EXPECT_EQ(e.Number, 26001);
    EXPECT_EQ(e.Description, "Failed to create registry Key: 'Software\\Example");
    e = Raised([&] { c.DeleteValue(); });
    EXPECT_EQ(e.Description,
              "Failed to open key '0',Section: 'Software\\Example' for delete access");
    EXPECT_FALSE(c.KeyExists());
    EXPECT_FALSE(c.CanCreateSubKey("Software"));
    EXPECT_EQ(c.SectionKey(), "Software\\TESTKEY-20261206091502");
}

TEST_F(cRegistryContract, EmptyTextDeletesTheValue) {
    cRegistry c = Make();
    c.SetValueByName("gone", 1, std::string("x"));
    c.SetValueByName("gone", 1, std::string());
    uint32_t type = 0;
    ByteArray got;
    EXPECT_EQ(Raw(scratch, "gone", type, got), reg::kFileNotFound);
    c.SetValueByName("gone", 7, Variant{});  // nothing there: still no error
    c.SectionKey(scratch + "\\New");
    c.SetValueByName("x", 1, std::string());
    EXPECT_TRUE(c.KeyExists()) << "the key is created even so";
    EXPECT_TRUE(c.CreateKey());
    c.ValueKey("x");
    EXPECT_FALSE(c.DeleteValue());
}

TEST_F(cRegistryContract, ReadsFallBackToDefault) {
    cRegistry c = Make();
    EXPECT_EQ(c.ValueByName("missing"), Variant{});
    EXPECT_EQ(c.ValueByName("missing", std::string("dflt")), Variant(std::string("dflt")));
    EXPECT_EQ(c.ValueByName("missing"), Variant(std::string("dflt"))) << "Default is kept";
    EXPECT_EQ(c.ValueKey(), "missing");
    c.ValueType(3);
    c.SectionKey(scratch + "\\nokey");
    EXPECT_EQ(c.ValueByName("v", int16_t{7}), Variant(int16_t{7}));
    EXPECT_EQ(c.ValueType(), 3) << "a failed read leaves ValueType";
    EXPECT_TRUE(c.CanReadValue());
    c.SectionKey(scratch);
    c.SetValueByName("d", 4, int32_t{1});
    c.ValueType(0);
    EXPECT_TRUE(c.CanReadValue());
    EXPECT_EQ(c.ValueType(), 4);
}

TEST_F(cRegistryContract, DeleteSectionRemovesTheTreeDeepestFirst) {
    cRegistry c = Make();
    for (const char* path : {"\\K\\A\\B", "\\K\\A\\C", "\\K\\D"}) {
        c.SectionKey(scratch + path);
        c.SetValueByName("v", 1, std::string("x"));
    }
    c.SectionKey(scratch + "\\K");
    EXPECT_TRUE(c.DeleteSection());
    EXPECT_EQ(c.SectionKey(), scratch + "\\K");
    EXPECT_FALSE(Exists(kHkcu, scratch + "\\K"));
    EXPECT_TRUE(Exists(kHkcu, scratch));
    EXPECT_FALSE(c.DeleteSection()) << "a missing key";
    // A trailing backslash names the same key.
    c.SectionKey(scratch + "\\T\\U");
    c.CreateKey();
    c.SectionKey(scratch + "\\T\\");
    EXPECT_TRUE(c.DeleteSection());
    EXPECT_FALSE(Exists(kHkcu, scratch + "\\T"));
}

TEST_F(cRegistryContract, DeleteSectionRefusesToAddressTheRootItself) {
    cRegistry c = Make();
    c.SectionKey(scratch + "\\Child");
    c.CreateKey();
    // The scratch key's own handle as the root: a refusal that failed would empty only it.
    c.ClassKey(static_cast<int32_t>(static_cast<intptr_t>(scratchKey)));
    for (const char* section : {"", "\\", "\\\\"}) {
        c.SectionKey(section);
        const ErrorRecord e = Raised([&] { c.DeleteSection(); });
        EXPECT_EQ(e.Number, 26001) << section;
        EXPECT_EQ(e.Source, "Orvik.cRegistry");
        EXPECT_NE(e.Description.find("root key"), std::string::npos) << e.Description;
        EXPECT_TRUE(Exists(kHkcu, scratch + "\\Child")) << section;
    }
    // Relative to that root, ordinary sections work.
    c.SectionKey("Child");
    EXPECT_TRUE(c.DeleteSection());
    EXPECT_FALSE(Exists(kHkcu, scratch + "\\Child"));
}

TEST_F(cRegistryContract, EnumerationsStartAfreshAndListInRegistryOrder) {
    cRegistry c = Make();
    std::vector<std::string> names{"stale"};
    int32_t count = 42;
    c.SectionKey(scratch + "\\missing");
    EXPECT_TRUE(c.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
    names = {"stale"};
    EXPECT_TRUE(c.EnumerateSections(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());

    c.SectionKey(scratch);
    c.SetValueByName("x", 4, int32_t{1});
    c.SetValueByName("y", 4, int32_t{2});
    EXPECT_TRUE(c.EnumerateValues(names, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(names, (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(c.EnumerateSections(names, count));
    EXPECT_EQ(count, 0);
    // Key names of the greatest length, in a script of two bytes per letter, come through whole.
    std::string longest;
    for (int i = 0; i < 255; ++i) longest += "\xCE\xB1";
    for (const std::string& sub : {std::string("b"), longest, std::string("A")}) {
        c.SectionKey(scratch + "\\" + sub);
        c.CreateKey();
    }
    c.SectionKey(scratch);
    EXPECT_TRUE(c.EnumerateSections(names, count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", longest}));
    c.SectionKey(scratch + "\\" + longest);
    EXPECT_TRUE(c.DeleteSection());
}

TEST_F(cRegistryContract, CanCreateSubKeyProbesWithATimestampedKey) {
    cRegistry c = Make();
    EXPECT_TRUE(c.CanCreateSubKey(scratch + "\\Probe"));
    EXPECT_EQ(c.SectionKey(), scratch + "\\Probe\\TESTKEY-20261206091502");
    EXPECT_FALSE(Exists(kHkcu, c.SectionKey()));
    EXPECT_TRUE(Exists(kHkcu, scratch + "\\Probe")) << "only the probe key goes";
}

TEST_F(cRegistryContract, CreateExeAssociationWritesFiveDefaultValues) {
    const std::string ext = UniqueName("orviktest");
    const std::string cls = UniqueName("OrvikTest.Doc");
    cRegistry c = Make();
    struct Cleanup {
        Registry& r;
        std::string ext, cls;
        ~Cleanup() {
            DeleteTree(r, kHkcr, "." + ext);
            DeleteTree(r, kHkcr, cls);
        }
    } cleanup{r, ext, cls};
    auto read = [&](const std::string& path) {
        c.ClassKey(reg::kClassesRoot);
        c.SectionKey(path);
        return c.ValueByName("");
    };
    c.ValueType(1);
    c.CreateEXEAssociation("C:\\Tools\\view.exe", cls, "View document", ext, 0);
    EXPECT_EQ(c.ClassKey(), reg::kClassesRoot);
    EXPECT_EQ(c.SectionKey(), cls + "\\DefaultIcon");
    EXPECT_EQ(c.ValueKey(), "");
    const Variant command(std::string("C:\\Tools\\view.exe \"%1\""));
    EXPECT_EQ(read("." + ext), Variant(cls));
    EXPECT_EQ(read("." + ext + "\\shell\\open\\command"), command);
    EXPECT_EQ(c.ValueType(), 1) << "one \"%\" is no pair";
    EXPECT_EQ(read(cls), Variant(std::string("View document")));
    EXPECT_EQ(read(cls + "\\shell\\open\\command"), command);
    EXPECT_EQ(read(cls + "\\DefaultIcon"), Variant(std::string("C:\\Tools\\view.exe,0")));

    // Without an icon index there is no DefaultIcon key.
    DeleteTree(r, kHkcr, cls);
    c.ValueType(1);
    c.CreateEXEAssociation("C:\\Tools\\view.exe", cls, "View document", ext);
    EXPECT_EQ(c.SectionKey(), cls + "\\shell\\open\\command");
    EXPECT_TRUE(Exists(kHkcr, cls));
    EXPECT_FALSE(Exists(kHkcr, cls + "\\DefaultIcon"));

    // A fresh object has ValueType 0: the first write fails after creating the key.
    DeleteTree(r, kHkcr, "." + ext);
    cRegistry fresh(r, utils);
    const ErrorRecord e = Raised([&] {
        fresh.CreateEXEAssociation("C:\\Tools\\view.exe", cls, "View document", ext, 0);
    });
    EXPECT_EQ(e.Number, -2147194455);
    EXPECT_TRUE(Exists(kHkcr, "." + ext));
    EXPECT_FALSE(Exists(kHkcr, "." + ext + "\\shell"));
    fresh.SectionKey("." + ext);
    EXPECT_EQ(fresh.ValueByName(""), Variant{});
}
