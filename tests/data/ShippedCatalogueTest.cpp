// The catalogue that ships beside Orvik.exe, read through this build's reader (pugixml natively,
// MSXML under Wine): in the writer's own layout, and every entry one the runners can apply.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CatalogueRules.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"
#include "platform/XmlDocument.h"

#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace shipped;

namespace {

const std::string kCatalogue = std::string(ORVIK_DATA_DIR) + "/OrvikOptimizations.xml";

std::string FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Label(const OptimizationItem& item) {
    return "entry " + item.Number + " (" + item.Name + ")";
}

class ShippedCatalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        factory_ = NewXmlDocumentFactory();
        const auto bytes = factory_->ReadFileBytes(kCatalogue);
        ASSERT_TRUE(bytes.has_value()) << "cannot read " << kCatalogue;
        bytes_ = *bytes;
        items_ = XmlReader(*factory_, ORVIK_DATA_DIR).ReadXML(kCatalogue);
    }
    static void TearDownTestSuite() {
        items_.clear();
        factory_.reset();
    }

    static std::unique_ptr<XmlDocumentFactory> factory_;
    static std::string bytes_;
    static OptimizationList items_;
};

std::unique_ptr<XmlDocumentFactory> ShippedCatalogue::factory_;
std::string ShippedCatalogue::bytes_;
OptimizationList ShippedCatalogue::items_;

// What the reader would take silently as a default (a misspelt, doubled or misplaced element, an
// unknown key type, version or mode name, an Enabled other than True or False) is caught by
// saving the catalogue unchanged: the writer puts out each known field once, in its order, with
// the names it knows, so the records must hold the file's text exactly. The tests after this one
// look at the records alone.
TEST_F(ShippedCatalogue, SavingItUnchangedWritesTheSameBytes) {
    EXPECT_TRUE(catalogue::IsAcceptableFile(bytes_));
    ASSERT_GE(items_.size(), 60u);
    const fs::path folder = fs::temp_directory_path() / "orvik-shipped-catalogue";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const auto copy = (folder / "OrvikOptimizations.xml").string();

    ASSERT_TRUE(XmlWriter(*factory_, folder.string()).WriteXMLFile(items_, copy));
    const std::string written = FileBytes(copy);
    fs::remove_all(folder);

    // Save in the editor then changes only the ticks that the user changed.
    ASSERT_EQ(written.size(), bytes_.size());
    EXPECT_TRUE(written == bytes_) << "the file is not in the writer's layout";
}

TEST_F(ShippedCatalogue, NumbersArePlainUniqueAndFitTheEditor) {
    std::set<std::string> seen;
    for (const auto& item : items_) {
        EXPECT_TRUE(IsPlainNumber(item->Number)) << "number '" << item->Number << "'";
        EXPECT_TRUE(seen.insert(item->Number).second) << "number " << item->Number << " twice";
    }
}

TEST_F(ShippedCatalogue, EveryEntryHasItsTextsAndCodes) {
    std::set<std::string> names;
    for (const auto& entry : items_) {
        const auto& item = *entry;
        const std::string label = Label(item);
        EXPECT_FALSE(item.Name.empty()) << label;
        EXPECT_TRUE(names.insert(item.Name).second) << label << ": name used twice";
        EXPECT_NE(item.Description.find_first_not_of(" \t\r\n"), std::string::npos) << label;
        EXPECT_NE(item.Justification.find_first_not_of(" \t\r\n"), std::string::npos) << label;
        // One marker: a second one would end up inside the justification.
        EXPECT_EQ(item.Justification.find("Justification:"), std::string::npos) << label;
        EXPECT_TRUE(item.Category == "STORAGE" || item.Category == "USER EXPERIENCE" ||
                    item.Category == "CPU AND MEMORY")
            << label << ": category " << item.Category;
        EXPECT_TRUE(item.Impact == "LOW" || item.Impact == "MEDIUM" || item.Impact == "HIGH")
            << label << ": impact " << item.Impact;
        EXPECT_FALSE(item.osVersions.empty()) << label;
        EXPECT_FALSE(item.regItems.empty() && item.cmdItems.empty() && item.wmiItems.empty())
            << label << ": no action";
        if (item.Impact == "HIGH") {
            EXPECT_FALSE(item.Enabled) << label << ": HIGH ships enabled";
        }
        // Removing apps or features, or turning off Windows Update, Search or Defender, is the
        // administrator's choice, never the default.
        EXPECT_FALSE(item.Enabled && !Disruption(item).empty()) << label << " " << Disruption(item);
    }
}

// An unknown version name would read as Windows 2000; the byte comparison above catches that.
// What it cannot catch: a version named twice, or "All" beside others.
TEST_F(ShippedCatalogue, VersionsAreDistinctAndAllStandsAlone) {
    for (const auto& item : items_) {
        const std::set<int32_t> distinct(item->osVersions.begin(), item->osVersions.end());
        EXPECT_EQ(distinct.size(), item->osVersions.size()) << "entry " << item->Number;
        if (distinct.count(codes::kAll)) {
            EXPECT_EQ(distinct.size(), 1u) << "entry " << item->Number;
        }
    }
}

TEST_F(ShippedCatalogue, RegistryActionsNameFullKeysAndConvertibleValues) {
    for (const auto& item : items_) {
        for (const auto& action : item->regItems) {
            const std::string& key = action.Key;
            const std::string& name = action.ValueName;
            const std::string& value = action.Value;
            const int32_t type = action.KeyType;
            const std::string where = Label(*item) + ": " + key + "\\" + name;
            EXPECT_FALSE(RootOf(key).empty()) << where;
            EXPECT_GT(key.size(), RootOf(key).size() + 1) << where << ": no key below the root";
            EXPECT_EQ(key.find("\\\\"), std::string::npos) << where;
            EXPECT_NE(key.back(), '\\') << where;
            EXPECT_FALSE(name.empty()) << where;
            // The registry runner's own conversions must take every value as it stands.
            EXPECT_NE(regRunner::ParseClassKey(key), 0) << where;
            // A per-user value lands only in the profile of the account that runs the tool, which
            // the administrator must read before ticking the entry.
            if (RootOf(key) == "HKEY_CURRENT_USER") {
                const std::string& text = item->Description;
                EXPECT_NE(text.find("the account that runs the tool"), std::string::npos) << where;
                EXPECT_NE(text.find("default user profile"), std::string::npos) << where;
            }
            // The runner's conversion takes more forms than these; the catalogue keeps to the
            // plain ones, a decimal that reads back as written or an "&H" pattern.
            if (type == 0) {
                try {
                    const int32_t number = regRunner::ToDword(value);
                    EXPECT_TRUE(value.rfind("&H", 0) == 0 || std::to_string(number) == value)
                        << where << " = " << value;
                } catch (const ErrorRecord& error) {
                    ADD_FAILURE() << where << " = " << value << ": " << error.Description;
                }
            }
            if (type == 2) {
                // Upper-case digits only: the digit rule of the runner's conversion is defined
                // for those alone.
                EXPECT_TRUE(IsBinaryText(value)) << where << " = " << value;
                std::string digits = value;
                digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
                try {
                    EXPECT_EQ(regRunner::HexStringToByteArray(digits).size(), digits.size() / 2)
                        << where;
                } catch (const ErrorRecord& error) {
                    ADD_FAILURE() << where << " = " << value << ": " << error.Description;
                }
            }
            // An empty STRING would delete the value instead of writing it.
            if (type == 1) {
                EXPECT_FALSE(value.empty()) << where;
            }
        }
    }
}

TEST_F(ShippedCatalogue, CommandsNameTheirProgramByItsFullPath) {
    const std::set<std::string> systemTools = {"bcdedit.exe", "fsutil.exe", "powercfg.exe",
                                               "sc.exe", "schtasks.exe", "reg.exe", "dism.exe"};
    for (const auto& item : items_) {
        const bool windows2000 = std::count(item->osVersions.begin(), item->osVersions.end(),
                                            codes::kWindows2000) > 0;
        for (const auto& command : item->cmdItems) {
            const std::string where = "entry " + item->Number + ": " + command.Command;
            const std::string program = ProgramOf(command.Command);
            EXPECT_TRUE(IsFullProgramPath(program)) << where;
            EXPECT_EQ(std::count(command.Command.begin(), command.Command.end(), '"') % 2, 0)
                << where;
            // Started without a command interpreter, so chaining, pipes and redirection only
            // work inside the documented PowerShell form.
            EXPECT_FALSE(NeedsInterpreter(command.Command)) << where;
            EXPECT_FALSE(IsOddPowerShell(command.Command)) << where;
            const std::string file = codes::UpperAscii(program.substr(program.rfind('\\') + 1));
            for (const auto& tool : systemTools) {
                if (file != codes::UpperAscii(tool)) continue;
                EXPECT_EQ(codes::UpperAscii(program),
                          codes::UpperAscii("C:\\Windows\\System32\\" + tool))
                    << where;
            }
            // Windows 2000 lives in C:\WINNT, where none of these paths exist.
            EXPECT_FALSE(windows2000) << where;
            // bcdedit and the task switches of schtasks came with Windows Vista.
            const bool vistaTool = file == "BCDEDIT.EXE" ||
                                   (file == "SCHTASKS.EXE" &&
                                    codes::UpperAscii(command.Command).find(" /DISABLE") !=
                                        std::string::npos);
            if (!vistaTool) continue;
            for (int32_t older : {codes::kWindows2000, codes::kWindowsXP, codes::kWindowsServer2003,
                                  codes::kWindowsServer2003R2, codes::kAll}) {
                EXPECT_EQ(std::count(item->osVersions.begin(), item->osVersions.end(), older), 0)
                    << where << ": not on " << codes::GetOSString(older);
            }
        }
    }
}

TEST_F(ShippedCatalogue, QueriesAreWqlSelectsThatWarnOnlyWhenTheyFindSomething) {
    for (const auto& item : items_) {
        for (const auto& action : item->wmiItems) {
            const std::string& query = action.Command;
            const std::string where = Label(*item) + ": " + query;
            EXPECT_EQ(codes::UpperAscii(query.substr(0, 7)), "SELECT ") << where;
            EXPECT_NE(codes::UpperAscii(query).find(" FROM WIN32_"), std::string::npos) << where;
            EXPECT_EQ(std::count(query.begin(), query.end(), '\'') % 2, 0) << where;
            // A level of 0 or below would stop every run with a message box.
            EXPECT_GE(action.WarningLevel, 1) << where;
        }
    }
}

TEST_F(ShippedCatalogue, CoversEveryCategoryImpactModeAndVersion) {
    std::set<std::string> categories, impacts;
    std::set<int32_t> modes, versions;
    int enabled = 0;
    for (const auto& item : items_) {
        categories.insert(item->Category);
        impacts.insert(item->Impact);
        modes.insert(item->mode);
        versions.insert(item->osVersions.begin(), item->osVersions.end());
        enabled += item->Enabled ? 1 : 0;
    }
    EXPECT_EQ(categories, (std::set<std::string>{"STORAGE", "USER EXPERIENCE", "CPU AND MEMORY"}));
    EXPECT_EQ(impacts, (std::set<std::string>{"LOW", "MEDIUM", "HIGH"}));
    EXPECT_EQ(modes, (std::set<int32_t>{codes::kModeHiDef, codes::kModeNormal, codes::kModeBasic}));
    for (int32_t code = 0; code < codes::kVersionCount; ++code)
        EXPECT_TRUE(versions.count(code)) << "no entry for " << codes::GetOSString(code);
    // Conservative by default, yet a plain run still does something.
    EXPECT_GT(enabled, 0);
    EXPECT_LT(enabled, static_cast<int>(items_.size()));
}

// The checks above are only as good as these rules: each must refuse what it is there to catch.
TEST(CatalogueRules, TellWellFormedValuesFromMalformedOnes) {
    for (const char* ok : {"0", "32767", "-32768"}) EXPECT_TRUE(IsPlainNumber(ok)) << ok;
    for (const char* bad : {"32768", "07", " 7", "+7", "-0", ""})
        EXPECT_FALSE(IsPlainNumber(bad)) << bad;
    for (const char* ok : {"90,12,03,80", "0102FF"}) EXPECT_TRUE(IsBinaryText(ok)) << ok;
    for (const char* bad : {"0A0", "01,2", "0,102", "01,,02", "01,", "ff", "01 02", ""})
        EXPECT_FALSE(IsBinaryText(bad)) << bad;
    EXPECT_EQ(RootOf("HKEY_USERS\\.DEFAULT\\Control Panel"), "HKEY_USERS");
    EXPECT_EQ(RootOf("HKLM\\SOFTWARE"), "");
    EXPECT_EQ(RootOf("hkey_current_user\\Software"), "");
    EXPECT_EQ(ProgramOf("\"C:\\Program Files\\A b\\t.exe\" /x"), "C:\\Program Files\\A b\\t.exe");
    EXPECT_TRUE(IsFullProgramPath("C:\\Windows\\System32\\powercfg.exe"));
    for (const char* bad : {"powercfg.exe", "%SystemRoot%\\System32\\sc.exe",
                            "C:\\Windows\\System32\\cleanup.cmd"})
        EXPECT_FALSE(IsFullProgramPath(bad)) << bad;

    const std::string shell = "C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe ";
    const std::string powerShell =
        shell + "-NoProfile -NonInteractive -ExecutionPolicy Bypass -Command \"Get-Item | Sort\"";
    EXPECT_FALSE(NeedsInterpreter(powerShell));
    EXPECT_FALSE(IsOddPowerShell(powerShell));
    EXPECT_TRUE(IsOddPowerShell(shell + "-Command Get-Service"));
    for (const char* bad : {"C:\\Windows\\System32\\sc.exe stop A && sc.exe stop B",
                            "C:\\Windows\\System32\\wevtutil.exe el > C:\\logs.txt"})
        EXPECT_TRUE(NeedsInterpreter(bad)) << bad;

    const std::string services = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
    OptimizationItem item;
    item.regItems.push_back({0, services + "WSearch", "Start", "4"});
    EXPECT_FALSE(Disruption(item).empty());
    item.regItems.back().Key = services + "WSearchIdx";
    EXPECT_TRUE(Disruption(item).empty());
    item.cmdItems.push_back({powerShell + "; Remove-AppxProvisionedPackage -Online"});
    EXPECT_FALSE(Disruption(item).empty());
}

}  // namespace
