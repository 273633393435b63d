// The catalogue that ships beside Orvik.exe, read through this build's reader (pugixml natively,
// MSXML under Wine): in the writer's own layout, every entry one the editor can show and the
// runners can carry out as meant, and conservative by default.

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"
#include "platform/XmlDocument.h"

#include "TestSupport.h"  // COM for MSXML under Wine

namespace fs = std::filesystem;
using codes::UpperAscii;

namespace {

const std::string kCatalogue = std::string(ORVIK_DATA_DIR) + "/OrvikOptimizations.xml";
const std::string kPowerShell =
    "C:\\WINDOWS\\SYSTEM32\\WINDOWSPOWERSHELL\\V1.0\\POWERSHELL.EXE -NOPROFILE -NONINTERACTIVE "
    "-EXECUTIONPOLICY BYPASS -COMMAND ";

std::string Label(const OptimizationItem& item) {
    return "entry " + item.Number + " (" + item.Name + ")";
}

bool Lists(const OptimizationItem& item, int32_t version) {
    return std::count(item.osVersions.begin(), item.osVersions.end(), version) > 0;
}

bool EvenQuotes(const std::string& text, char quote) {
    return std::count(text.begin(), text.end(), quote) % 2 == 0;
}

// Removing apps or features, or turning off Windows Update, Search or Defender, is the
// administrator's choice, never the default.
bool Disrupts(const OptimizationItem& item) {
    std::string actions;
    for (const auto& action : item.regItems) actions += action.Key + "\\" + action.ValueName + "\n";
    for (const auto& action : item.cmdItems) actions += action.Command + "\n";
    actions = UpperAscii(actions);
    for (const char* kind :
         {"REMOVE-APPXPROVISIONEDPACKAGE", "UNINSTALL-WINDOWSFEATURE", "\\SERVICES\\WUAUSERV\\",
          "\\AU\\NOAUTOUPDATE", "\\SERVICES\\WSEARCH\\", "\\SERVICES\\WINDEFEND\\",
          "\\POLICIES\\MICROSOFT\\WINDOWS DEFENDER"}) {
        if (actions.find(kind) != std::string::npos) return true;
    }
    return false;
}

class ShippedCatalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        factory_ = NewXmlDocumentFactory();
        items_ = XmlReader(*factory_, ORVIK_DATA_DIR).ReadXML(kCatalogue);
    }
    static void TearDownTestSuite() {
        items_.clear();
        factory_.reset();
    }

    static std::unique_ptr<XmlDocumentFactory> factory_;
    static OptimizationList items_;
};

std::unique_ptr<XmlDocumentFactory> ShippedCatalogue::factory_;
OptimizationList ShippedCatalogue::items_;

// What the reader would take silently as a default (a misspelt, doubled or misplaced element, an
// unknown key type, version or mode name, an Enabled other than True or False) is caught by
// saving the catalogue unchanged: the writer puts out each known field once, in its order, with
// the names it knows, so the records must hold the file's text exactly. Save in the editor then
// changes only the ticks that the user changed. After a hand edit, the saved copy it names is
// the catalogue in the writer's layout.
TEST_F(ShippedCatalogue, SavingItUnchangedWritesTheSameBytes) {
    const auto bytes = factory_->ReadFileBytes(kCatalogue);
    ASSERT_TRUE(bytes.has_value()) << "cannot read " << kCatalogue;
    EXPECT_TRUE(catalogue::IsAcceptableFile(*bytes));
    ASSERT_GE(items_.size(), 60u);
    const fs::path copy = fs::temp_directory_path() / "OrvikOptimizations-saved.xml";
    ASSERT_TRUE(XmlWriter(*factory_, "").WriteXMLFile(items_, copy.string()));
    std::ifstream in(copy, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    in.close();
    ASSERT_TRUE(written == *bytes) << "the file is not in the writer's layout: see " << copy;
    fs::remove(copy);
}

TEST_F(ShippedCatalogue, EveryEntryHasItsNumberTextsAndCodesAndHighOrDisruptiveOnesShipUnticked) {
    std::set<std::string> numbers, names;
    int enabled = 0;
    for (const auto& entry : items_) {
        const OptimizationItem& item = *entry;
        const std::string label = Label(item);
        // The editor ties rows to records through the number's plain decimal text.
        int16_t number = 0;
        const auto parsed = std::from_chars(item.Number.data(),
                                            item.Number.data() + item.Number.size(), number);
        EXPECT_TRUE(parsed.ec == std::errc() && std::to_string(number) == item.Number) << label;
        EXPECT_TRUE(numbers.insert(item.Number).second) << label << ": number used twice";
        EXPECT_TRUE(!item.Name.empty() && names.insert(item.Name).second) << label;
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
        EXPECT_FALSE(item.Enabled && (item.Impact == "HIGH" || Disrupts(item))) << label;
        enabled += item.Enabled ? 1 : 0;
    }
    // Conservative by default, yet a plain run still does something.
    EXPECT_GT(enabled, 0);
    EXPECT_LT(enabled, static_cast<int>(items_.size()));
}

// Each action through the registry runner's own conversions, as the command-line runner starts
// it (no command interpreter, no search path, no environment references) and as the WMI runner
// counts it.
TEST_F(ShippedCatalogue, EveryActionIsOneTheRunnersCarryOutAsMeant) {
    for (const auto& item : items_) {
        for (const auto& action : item->regItems) {
            const std::string where = Label(*item) + ": " + action.Key + "\\" + action.ValueName;
            try {
                EXPECT_NE(regRunner::ParseClassKey(action.Key), 0) << where;
                if (action.KeyType == 0) regRunner::ToDword(action.Value);
                std::string digits = action.Value;
                std::erase(digits, ',');
                if (action.KeyType == 2) {
                    EXPECT_FALSE(regRunner::HexStringToByteArray(digits).empty()) << where;
                }
            } catch (const ErrorRecord& error) {
                ADD_FAILURE() << where << " = " << action.Value << ": " << error.Description;
            }
            EXPECT_FALSE(regRunner::ParseSectionKey(action.Key).empty()) << where;
            EXPECT_EQ(action.Key.find("\\\\"), std::string::npos) << where;
            EXPECT_NE(action.Key.back(), '\\') << where;
            EXPECT_FALSE(action.ValueName.empty()) << where;
            // An empty STRING would delete the value instead of writing it.
            EXPECT_FALSE(action.KeyType == 1 && action.Value.empty()) << where;
            // A per-user value lands only in the profile of the account that runs the tool, which
            // the administrator must read before ticking the entry.
            if (UpperAscii(action.Key).starts_with("HKEY_CURRENT_USER\\")) {
                EXPECT_NE(item->Description.find("the account that runs the tool"),
                          std::string::npos) << where;
                EXPECT_NE(item->Description.find("default user profile"), std::string::npos)
                    << where;
            }
        }
        for (const auto& action : item->cmdItems) {
            const std::string& command = action.Command;
            const std::string where = Label(*item) + ": " + command;
            const std::string upper = UpperAscii(command);
            const std::string program =
                command.starts_with("\"") ? upper.substr(1, upper.find('"', 1) - 1)
                                          : upper.substr(0, upper.find(' '));
            EXPECT_TRUE(program.size() > 7 && program[1] == ':' && program[2] == '\\' &&
                        program.ends_with(".EXE") && program.find('%') == std::string::npos)
                << where;
            EXPECT_TRUE(EvenQuotes(command, '"')) << where;
            // Chaining, pipes and redirection work only inside the documented PowerShell form.
            if (upper.find("POWERSHELL") != std::string::npos) {
                EXPECT_TRUE(upper.starts_with(kPowerShell)) << where;
            } else {
                EXPECT_EQ(command.find_first_of("&|<>"), std::string::npos) << where;
            }
            // Windows 2000 lives in C:\WINNT, where none of these paths exist.
            EXPECT_FALSE(Lists(*item, codes::kWindows2000)) << where;
            // bcdedit and the task switches of schtasks came with Windows Vista.
            const bool vistaTool = program.ends_with("\\BCDEDIT.EXE") ||
                                   (program.ends_with("\\SCHTASKS.EXE") &&
                                    upper.find(" /DISABLE") != std::string::npos);
            if (vistaTool) {
                for (int32_t older : {codes::kWindowsXP, codes::kWindowsServer2003,
                                      codes::kWindowsServer2003R2, codes::kAll}) {
                    EXPECT_FALSE(Lists(*item, older)) << where << ": " << codes::GetOSString(older);
                }
            }
        }
        for (const auto& action : item->wmiItems) {
            const std::string where = Label(*item) + ": " + action.Command;
            const std::string upper = UpperAscii(action.Command);
            EXPECT_TRUE(upper.starts_with("SELECT ") &&
                        upper.find(" FROM WIN32_") != std::string::npos && EvenQuotes(upper, '\''))
                << where;
            // A level of 0 or below would stop every run with a message box.
            EXPECT_GE(action.WarningLevel, 1) << where;
        }
    }
}

}  // namespace
