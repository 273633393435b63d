// Every hostile catalogue beside a copy of the real Orvik.exe, run with -RUN under a time limit:
// it ends by itself (no crash, hang or window waiting), writes what the table says and never
// the content of the files the catalogue points at.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

#include "Harness.h"
#include "HostileCatalogues.h"

namespace {

using namespace harness;
using hostile::Outcome;

const ScratchKey& Key() {
    static const ScratchKey key("hostile");
    return key;
}

const std::vector<hostile::HostileCase>& AllCases() {
    static const auto cases = hostile::Cases(Utf8(FromBuild(ORVIK_HOSTILE_CORPUS)), Key().Name());
    return cases;
}

class HostileRun : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override { Key().Clear(); }
    void TearDown() override { Key().Clear(); }
};

TEST_P(HostileRun, EndsAppliesWhatItShouldAndLeaksNothing) {
    const hostile::HostileCase& c = AllCases()[GetParam()];
    Scratch folder("hostile");
    folder.Write("OrvikOptimizations.xml", c.bytes);
    for (const auto& [name, content] : hostile::Bait()) folder.Write(name, content);

    // Long enough for the largest catalogue under a cold Wine; a hang is what it catches.
    const auto exitCode = Process(folder.CopyOrvik(), "-RUN").Wait(120s);
    ASSERT_TRUE(exitCode) << "Orvik.exe -RUN did not end in time";
    EXPECT_LE(*exitCode, 2u) << "exit code 0x" << std::hex << *exitCode;

    const std::vector<StoredValue> values = Key().Values();
    for (const StoredValue& value : values) {
        const std::string text(value.data.begin(), value.data.end());
        EXPECT_EQ(text.find(hostile::kSecret), std::string::npos) << "a file named was read";
    }
    const bool applied = Key().Exists();
    EXPECT_TRUE(!applied || *exitCode != 2u) << "a refused catalogue was applied";
    if (c.outcome == Outcome::AppliedOrNothing) {
        std::printf("%s: %s\n", c.name.c_str(), applied ? "applied" : "refused");
    }
    if (c.outcome == Outcome::Nothing || (c.outcome == Outcome::AppliedOrNothing && !applied)) {
        EXPECT_FALSE(applied) << "a refused catalogue wrote to the registry";
        return;
    }
    ASSERT_TRUE(applied) << "nothing was written";
    for (const hostile::ValueCheck& check : c.values) {
        const auto stored = Key().Read(check.subKey, check.name);
        if (check.type == 0) {
            EXPECT_FALSE(stored) << check.name << " was written";
        } else if (!stored) {
            ADD_FAILURE() << check.name << " was not written";
        } else {
            EXPECT_EQ(stored->type, check.type) << check.name;
            EXPECT_TRUE(stored->data == check.data)
                << check.name << ": " << ::testing::PrintToString(stored->data).substr(0, 80);
        }
    }
    if (c.valueCount != 0) {
        EXPECT_EQ(values.size(), c.valueCount);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileRun, ::testing::Range<size_t>(0, AllCases().size()),
                         [](const auto& info) {
                             std::string name = AllCases()[info.param].name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
