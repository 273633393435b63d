// Every hostile catalogue through the native reader and the silent run over the registry double:
// the run ends, throws nothing, applies what the table says and nothing else, and no record ever
// holds the content of a file the catalogue points at.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "HostileCatalogues.h"
#include "RegistryDouble.h"
#include "app/StartUp.h"
#include "catalogue/XmlReader.h"
#include "engine/EnginePlatform.h"
#include "platform/Registry.h"
#include "platform/XmlDocument.h"

namespace fs = std::filesystem;

namespace {

const std::string& Key() {
    static const std::string key =
        "HKEY_CURRENT_USER\\Software\\OrvikHostile-" + std::to_string(getpid());
    return key;
}

const std::vector<hostile::HostileCase>& AllCases() {
    static const std::vector<hostile::HostileCase> cases =
        hostile::Cases(ORVIK_HOSTILE_CORPUS, Key());
    return cases;
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool AnyFieldHolds(const OptimizationList& records, const std::string& part) {
    for (const auto& item : records) {
        for (const std::string* text : {&item->Name, &item->Number, &item->Description,
                                        &item->Justification, &item->Category, &item->Impact}) {
            if (Holds(*text, part)) return true;
        }
        for (const auto& reg : item->regItems) {
            if (Holds(reg.Key, part) || Holds(reg.ValueName, part) || Holds(reg.Value, part)) {
                return true;
            }
        }
        for (const auto& cmd : item->cmdItems) {
            if (Holds(cmd.Command, part)) return true;
        }
        for (const auto& wmi : item->wmiItems) {
            if (Holds(wmi.Command, part)) return true;
        }
    }
    return false;
}

class HostileCatalogue : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("orvik-hostile-" + std::to_string(getpid()) + "-" + std::to_string(GetParam()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        for (const auto& [name, content] : hostile::Bait()) {
            std::ofstream(folder_ / name, std::ios::binary) << content;
        }
        env_.system.executablePath = folder_.string() + "\\Orvik.exe";
        processes_.redirectionProbe = &env_.system.redirectionOff;
    }
    void TearDown() override { fs::remove_all(folder_); }

    EnginePlatform Platform() { return {env_.platform(), registry_, processes_, wmi_, boxes_}; }

    std::string Path(const std::string& subKey) const {
        return subKey.empty() ? Key() : Key() + "\\" + subKey;
    }

    // The values stored right under the case's key.
    uint32_t ValueCount() {
        RegKey key = 0;
        if (registry_.OpenKey(reg::RootKey(reg::kCurrentUser), Key().substr(18),
                              reg::kQueryValue, key) != reg::kSuccess) {
            return 0;
        }
        uint32_t count = 0;
        char name[1024];
        for (uint32_t length = sizeof name; registry_.EnumValue(key, count, name, length) ==
                                            reg::kSuccess;
             length = sizeof name) {
            ++count;
        }
        registry_.CloseKey(key);
        return count;
    }

    fs::path folder_;
    FakeEnvironment env_;
    RegistryDouble registry_;
    RecordingProcessLauncher processes_;
    ScriptedWmi wmi_;
    RecordingMessageBoxes boxes_;
    std::unique_ptr<XmlDocumentFactory> xml_ = NewXmlDocumentFactory();
};

TEST_P(HostileCatalogue, EndsAppliesWhatItShouldAndLeaksNothing) {
    const hostile::HostileCase& c = AllCases()[GetParam()];
    std::ofstream(folder_ / "OrvikOptimizations.xml", std::ios::binary) << c.bytes;

    const OptimizationList read = XmlReader(*xml_, folder_.string()).ReadXML();
    EXPECT_FALSE(AnyFieldHolds(read, hostile::kSecret)) << "a file the catalogue names was read";
    SilentRun(*xml_, Platform());

    // No case starts a command, and none may warn: a message box would halt a real run.
    EXPECT_TRUE(processes_.tried.empty());
    EXPECT_TRUE(boxes_.shown.empty());

    const bool applied = registry_.HasKey(Key());
    switch (c.host) {
        case hostile::Outcome::Applied:
            ASSERT_TRUE(applied) << "nothing was written";
            break;
        case hostile::Outcome::Nothing:
            EXPECT_TRUE(read.empty()) << read.size() << " items read";
            EXPECT_FALSE(applied) << "a refused catalogue wrote to the registry";
            return;
        case hostile::Outcome::AppliedOrNothing:
            std::printf("%s: %s\n", c.name.c_str(), applied ? "applied" : "refused");
            if (!applied) {
                EXPECT_TRUE(read.empty());
                return;
            }
            break;
    }
    if (c.items >= 0) {
        EXPECT_EQ(read.size(), static_cast<size_t>(c.items));
    }
    for (const hostile::ValueCheck& check : c.values) {
        const auto stored = registry_.Stored(Path(check.subKey), check.name);
        if (check.type == 0) {
            EXPECT_FALSE(stored.has_value()) << check.name << " was written";
            continue;
        }
        ASSERT_TRUE(stored.has_value()) << check.name << " was not written";
        EXPECT_EQ(stored->type, check.type) << check.name;
        std::vector<uint8_t> data = stored->data;
        if (check.type == reg::kSz && !data.empty() && data.back() == 0) data.pop_back();
        EXPECT_TRUE(data == check.data) << check.name << ": " << data.size() << " bytes, not "
                                        << check.data.size();
    }
    if (c.valueCount != 0) {
        EXPECT_EQ(ValueCount(), c.valueCount);
    }
}

std::string CaseName(const ::testing::TestParamInfo<size_t>& info) {
    std::string name;
    for (char c : AllCases()[info.param].name) {
        name += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileCatalogue,
                         ::testing::Range<size_t>(0, AllCases().size()), CaseName);

}  // namespace
