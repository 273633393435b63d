// The catalogue that ships beside Orvik.exe, read through this build's reader (pugixml natively,
// MSXML under Wine).

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "FakePolicyFolders.h"
#include "Holds.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "engine/checks/Checks.h"
#include "engine/regRunner.h"
#include "platform/XmlDocument.h"
#include "policy/PolicyDefinitions.h"

#include "TestSupport.h"  // COM for MSXML under Wine

namespace fs = std::filesystem;
using codes::UpperAscii;
using testsupport::Holds;

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

// bcdedit and Task Scheduler 2.0 came with Windows Vista: not for XP, Server 2003 or All.
void ExpectVistaOrLater(const OptimizationItem& item, const std::string& where) {
    for (int32_t older :
         {codes::kWindowsXP, codes::kWindowsServer2003, codes::kWindowsServer2003R2, codes::kAll}) {
        EXPECT_FALSE(Lists(item, older)) << where << ": " << codes::GetOSString(older);
    }
}

bool EvenQuotes(const std::string& text, char quote) {
    return std::count(text.begin(), text.end(), quote) % 2 == 0;
}

// The entry's actions, upper-cased, one a line: each registry value as KEY\VALUENAME, each
// service as SERVICE \SERVICES\NAME\ STARTTYPE and task as TASK "PATH" STATE, then the command
// lines.
std::string UpperActions(const OptimizationItem& item) {
    std::string actions;
    for (const auto& action : item.regItems) actions += action.Key + "\\" + action.ValueName + "\n";
    for (const auto& action : item.serviceItems) {
        actions += "SERVICE \\SERVICES\\" + action.Name + "\\ " + action.StartType + "\n";
    }
    for (const auto& action : item.taskItems) {
        actions += "TASK \"" + action.Path + "\" " + action.State + "\n";
    }
    for (const auto& action : item.cmdItems) actions += action.Command + "\n";
    return UpperAscii(actions);
}

// Removing apps or features, or turning off Windows Update, Search or Defender, is the
// administrator's choice, never the default.
bool Disrupts(const OptimizationItem& item) {
    const std::string actions = UpperActions(item);
    for (const char* kind :
         {"REMOVE-APPXPROVISIONEDPACKAGE", "UNINSTALL-WINDOWSFEATURE", "\\SERVICES\\WUAUSERV\\",
          "\\AU\\NOAUTOUPDATE", "\\SERVICES\\WSEARCH\\", "\\SERVICES\\WINDEFEND\\",
          "\\POLICIES\\MICROSOFT\\WINDOWS DEFENDER"}) {
        if (actions.find(kind) != std::string::npos) return true;
    }
    return false;
}

// Values and commands whose effect the administrator must know of before ticking the entry: the
// editions or versions that honour them, what Microsoft calls them or advises instead, or that no
// Microsoft source documents them. Every entry that carries one says it.
struct Caveat {
    const char* action;  // part of an upper-cased line of UpperActions
    const char* phrase;  // what the entry's description or justification holds
};
constexpr Caveat kCaveats[] = {
    {"\\WINDOWS SEARCH\\CONNECTEDSEARCHUSEWEB", "Enterprise and Education"},
    {"\\WINDOWS SEARCH\\DISABLEWEBSEARCH", "Windows Desktop Search"},
    {"\\DATACOLLECTION\\ALLOWTELEMETRY", "Diagnostic data off (not recommended)"},
    {"\\DATACOLLECTION\\ALLOWTELEMETRY", "Enterprise, Education and Server"},
    {"\\PREVIEWBUILDS\\ALLOWBUILDPREVIEW", "up to Windows 10 version 1703"},
    {"\\WINDOWS DEFENDER\\RANDOMIZESCHEDULETASKTIMES", "not configured"},
    {"\\DEVICE METADATA\\PREVENTDEVICEMETADATAFROMNETWORK",
     "Prevent automatic download of applications associated with device metadata"},
    {"UNINSTALL-WINDOWSFEATURE -NAME WINDOWS-DEFENDER", "passive mode"},
    {"\\POLICIES\\SYSTEM\\ENABLELUA", "Windows 10 and 11"},
    {"\\OPTIMALLAYOUT\\ENABLEAUTOLAYOUT", "undocumented"},
    {"\\EXPLORER\\NOLOWDISKSPACECHECKS", "undocumented"},
    {"\\SERVICES\\EMDMGMT\\", "undocumented"},
    {"\\VISUALEFFECTS\\VISUALFXSETTING", "undocumented"},
    {"POWERCFG.EXE /SETACTIVE 3 /NUMERICAL", "undocumented"},
    {"\\AU\\NOAUTOREBOOTWITHLOGGEDONUSERS", "install on a schedule"},
    {"\\AU\\NOAUTOREBOOTWITHLOGGEDONUSERS", "disconnected"},
};

// Values that do not act on every version their entry is offered on, each with the value that acts
// there: a policy that Windows 10 reads only up to version 1703, and a policy that Windows 11
// version 24H2 reads in user scope only.
struct Companion {
    const char* written;
    const char* needed;
};
constexpr Companion kCompanions[] = {
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\POLICIES\\MICROSOFT\\WINDOWS\\PREVIEWBUILDS\\ALLOWBUILDPREVIEW",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\POLICIES\\MICROSOFT\\WINDOWS\\WINDOWSUPDATE\\"
     "MANAGEPREVIEWBUILDSPOLICYVALUE"},
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\POLICIES\\MICROSOFT\\WINDOWS\\WINDOWSAI\\DISABLEAIDATAANALYSIS",
     "HKEY_CURRENT_USER\\SOFTWARE\\POLICIES\\MICROSOFT\\WINDOWS\\WINDOWSAI\\DISABLEAIDATAANALYSIS"},
};

// Policies whose administrative templates support them from Windows 8.1 and Server 2012 R2 or
// earlier.
constexpr const char* kPoliciesOf81[] = {"\\ADVERTISINGINFO\\DISABLEDBYGROUPPOLICY",
                                         "\\SETTINGSYNC\\DISABLESETTINGSYNC",
                                         "\\DEVICE METADATA\\PREVENTDEVICEMETADATAFROMNETWORK",
                                         "\\V6TRANSITION\\TEREDO_STATE",
                                         "\\APPCOMPAT\\DISABLEINVENTORY",
                                         "\\APPCOMPAT\\DISABLEUAR",
                                         "\\WINDOWSSTORE\\AUTODOWNLOAD",
                                         "\\ONEDRIVE\\DISABLEFILESYNCNGSC"};

// Services that Windows Server installs only with the Desktop Experience, as Microsoft's service
// guidance for Windows Server 2016 lists them, separated by blanks.
constexpr const char* kDesktopExperienceServices =
    "AXINSTSV BTHSERV CDPUSERSVC CSCSERVICE DMWAPPUSHSERVICE FDRESPUB ICSSVC LFSVC "
    "MAPSBROKER ONESYNCSVC PCASVC PHONESVC PIMINDEXMAINTENANCESVC QWAVE RMSVC "
    "SENSORDATASERVICE SENSORSERVICE SENSRSVC SHELLHWDETECTION SSDPSRV STISVC "
    "TABLETINPUTSERVICE THEMES TRKWKS UNISTORESVC UPNPHOST USERDATASVC WALLETSERVICE WIARPC "
    "WSEARCH XBLAUTHMANAGER XBLGAMESAVE";

// What Windows 10 and 11 no longer have: the HomeGroup services (removed in Windows 10 version
// 1803), the Action Center icon's policy, and scheduled tasks that Windows 10 does not install.
constexpr const char* kRemovedIn10[] = {
    "\\SERVICES\\HOMEGROUPLISTENER\\", "\\SERVICES\\HOMEGROUPPROVIDER\\",
    "\\EXPLORER\\HIDESCAHEALTH\n", "\\APPLICATION EXPERIENCE\\AITAGENT\"",
    "\\CUSTOMER EXPERIENCE IMPROVEMENT PROGRAM\\KERNELCEIPTASK\""};

bool OfferedOnServer(const OptimizationItem& item) {
    for (int32_t server :
         {codes::kWindowsServer2008, codes::kWindowsServer2008R2, codes::kWindowsServer2012,
          codes::kWindowsServer2012R2, codes::kWindowsServer2016, codes::kWindowsServer2019,
          codes::kWindowsServer2022, codes::kWindowsServer2025}) {
        if (codes::IsOffered(item.osVersions, server)) return true;
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

    static inline std::unique_ptr<XmlDocumentFactory> factory_;
    static inline OptimizationList items_;
};

// What the reader would take silently as a default (a misspelt, doubled or misplaced element, an
// unknown name) shows as a difference: the writer puts out each known field once, in its order.
// After a hand edit, the saved copy it names is the catalogue in the writer's layout.
TEST_F(ShippedCatalogue, SavingItUnchangedWritesTheSameBytes) {
    const auto bytes = factory_->ReadFileBytes(kCatalogue);
    ASSERT_TRUE(bytes.has_value()) << "cannot read " << kCatalogue;
    ASSERT_GE(items_.size(), 60u);
    const fs::path copy = fs::temp_directory_path() / "OrvikOptimizations-saved.xml";
    ASSERT_TRUE(XmlWriter(*factory_, "").WriteXMLFile(items_, copy.string()));
    std::ifstream in(copy, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    in.close();
    ASSERT_TRUE(written == *bytes) << "the file is not in the writer's layout: see " << copy;
    fs::remove(copy);
}

// The Start values left are a protected service's or a per-user service template's.
TEST_F(ShippedCatalogue, ValidateFindsNoErrorAndNoServiceStartLeftAsAValue) {
    engine::CatalogueCheck check;
    check.CheckRecords(XmlReader(*factory_, ORVIK_DATA_DIR, &check).ReadXML(kCatalogue));
    for (const engine::Problem& problem : check.Problems()) {
        EXPECT_TRUE(problem.severity == engine::Problem::Severity::Warning &&
                    problem.code != "service-start-as-value")
            << problem.line << ": " << problem.code << ": " << problem.message;
    }
}

TEST_F(ShippedCatalogue, EveryEntryHasItsNumberTextsAndCodesAndHighOrDisruptiveOnesShipUnticked) {
    std::set<std::string> numbers, names;
    int enabled = 0;
    for (const auto& entry : items_) {
        const OptimizationItem& item = *entry;
        const std::string label = Label(item);
        // The editor ties rows to records through the number's plain decimal text.
        int16_t number = 0;
        const auto parsed =
            std::from_chars(item.Number.data(), item.Number.data() + item.Number.size(), number);
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
        EXPECT_FALSE(item.regItems.empty() && item.serviceItems.empty() && item.taskItems.empty() &&
                     item.cmdItems.empty() && item.wmiItems.empty())
            << label << ": no action";
        EXPECT_FALSE(item.Enabled && (item.Impact == "HIGH" || Disrupts(item))) << label;
        enabled += item.Enabled ? 1 : 0;
    }
    // Conservative by default, yet a plain run still does something.
    EXPECT_GT(enabled, 0);
    EXPECT_LT(enabled, static_cast<int>(items_.size()));
}

// Each action as the command-line runner starts it (no command interpreter, no search path, no
// environment references) and as the WMI runner counts it; the values' conversions are validate's.
TEST_F(ShippedCatalogue, EveryActionIsOneTheRunnersCarryOutAsMeant) {
    for (const auto& item : items_) {
        for (const auto& action : item->regItems) {
            const std::string where = Label(*item) + ": " + action.Key + "\\" + action.ValueName;
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
                          std::string::npos)
                    << where;
                EXPECT_NE(item->Description.find("default user profile"), std::string::npos)
                    << where;
            }
        }
        for (const auto& action : item->cmdItems) {
            const std::string& command = action.Command;
            const std::string where = Label(*item) + ": " + command;
            const std::string upper = UpperAscii(command);
            const std::string program = command.starts_with("\"")
                                            ? upper.substr(1, upper.find('"', 1) - 1)
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
            // schtasks /Run and Start-ScheduledTask return as soon as the task has started: a
            // command that starts a task waits for its end, so that OrvikCli apply ends after the
            // task.
            EXPECT_FALSE(program.ends_with("\\SCHTASKS.EXE") && Holds(upper, " /RUN ")) << where;
            if (Holds(upper, "START-SCHEDULEDTASK")) {
                EXPECT_TRUE(Holds(upper, "GET-SCHEDULEDTASK") && Holds(upper, "'RUNNING'"))
                    << where;
            }
            // A task is disabled, and a start type set or a service stopped, through a task or
            // service action (sc stop fails where the service is stopped already).
            EXPECT_FALSE(Holds(upper, "DISABLE-SCHEDULEDTASK") || Holds(upper, " /DISABLE") ||
                         Holds(upper, "SC.EXE CONFIG") || Holds(upper, "SC.EXE STOP"))
                << where;
            if (program.ends_with("\\BCDEDIT.EXE")) ExpectVistaOrLater(*item, where);
        }
        for (const auto& action : item->serviceItems) {
            const std::string where = Label(*item) + ": " + action.Name;
            const auto start = codes::ServiceStartByName(action.StartType);
            EXPECT_TRUE(start && codes::StartTypeName(*start) == action.StartType) << where;
            // A service stopped but left to start again would be running after the next start.
            EXPECT_TRUE(!action.Stop || action.StartType == "Disabled") << where;
            // Each entry that says it stops its services asks it of every one.
            EXPECT_EQ(action.Stop, Holds(UpperAscii(item->Description), "STOP")) << where;
        }
        for (const auto& action : item->taskItems) {
            const std::string where = Label(*item) + ": " + action.Path;
            EXPECT_TRUE(action.State == "Enabled" || action.State == "Disabled") << where;
            ExpectVistaOrLater(*item, where);
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

TEST_F(ShippedCatalogue, EveryEntrySaysWhatItsValuesDependOnAndWritesWhatTheyNeed) {
    for (const auto& item : items_) {
        const std::string actions = UpperActions(*item);
        const std::string text = item->Description + item->Justification;
        for (const Caveat& caveat : kCaveats) {
            if (Holds(actions, caveat.action)) {
                EXPECT_TRUE(Holds(text, caveat.phrase)) << Label(*item) << ": " << caveat.phrase;
            }
        }
        for (const Companion& pair : kCompanions) {
            if (Holds(actions, std::string(pair.written) + "\n")) {
                EXPECT_TRUE(Holds(actions, std::string(pair.needed) + "\n"))
                    << Label(*item) << ": " << pair.needed;
            }
        }
    }
}

// Offered where Microsoft's templates say the policy applies, the versions between Windows 8 and
// Windows 10 included; and honest about Server Core, where a service entry only leaves a stray key.
TEST_F(ShippedCatalogue, EveryEntryIsOfferedWhereItsPolicyAppliesAndSaysWhereItsServiceIsMissing) {
    for (const auto& item : items_) {
        const std::string actions = UpperActions(*item);
        const auto offered = [&item](int32_t machine) {
            return codes::IsOffered(item->osVersions, machine);
        };
        for (const char* policy : kPoliciesOf81) {
            if (!Holds(actions, policy)) continue;
            EXPECT_TRUE(!offered(codes::kWindows10) || offered(codes::kWindows81))
                << Label(*item) << ": Windows 8.1";
            const bool laterServer =
                offered(codes::kWindowsServer2016) || offered(codes::kWindowsServer2019) ||
                offered(codes::kWindowsServer2022) || offered(codes::kWindowsServer2025);
            EXPECT_TRUE(!laterServer || offered(codes::kWindowsServer2012R2))
                << Label(*item) << ": Windows Server 2012 R2";
        }
        // A version between two that the entry is offered on is one it was meant for too.
        EXPECT_TRUE(!offered(codes::kWindows8) || !offered(codes::kWindows10) ||
                    offered(codes::kWindows81))
            << Label(*item) << ": Windows 8.1";
        if (!OfferedOnServer(*item)) continue;
        std::istringstream services(kDesktopExperienceServices);
        for (std::string service; services >> service;) {
            if (Holds(actions, std::string("\\SERVICES\\") + service + "\\")) {
                EXPECT_TRUE(Holds(item->Description, "Server Core"))
                    << Label(*item) << ": " << service;
            }
        }
    }
}

TEST_F(ShippedCatalogue, NoEntryOfferedOn10Or11ActsOnWhatTheyRemoved) {
    for (int32_t machine : {codes::kWindows10, codes::kWindows11}) {
        size_t offered = 0;
        for (const auto& item : items_) {
            if (!codes::IsOffered(item->osVersions, machine)) continue;
            ++offered;
            const std::string actions = UpperActions(*item);
            for (const char* removed : kRemovedIn10) {
                EXPECT_FALSE(Holds(actions, removed))
                    << Label(*item) << " on " << codes::GetOSString(machine) << ": " << removed;
            }
        }
        EXPECT_GT(offered, items_.size() / 2);
    }
}

// Against Microsoft's templates (tests/data/PolicyDefinitions): an entry whose policy is for
// clients only is offered on no server.
TEST_F(ShippedCatalogue, NoClientOnlyPolicyEntryIsOfferedOnAServer) {
    FakePolicyFolders folders;
    for (const auto& file : fs::recursive_directory_iterator(ORVIK_POLICY_DIR)) {
        const std::string name = fs::relative(file.path(), ORVIK_POLICY_DIR).string();
        if (file.path().extension() != ".admx" && file.path().extension() != ".adml") continue;
        std::ifstream in(file.path(), std::ios::binary);
        folders.files[std::string("C:\\Windows\\PolicyDefinitions\\") +
                      (name[0] == 'e' ? "en-US\\" : "") + file.path().filename().string()] =
            std::string((std::istreambuf_iterator<char>(in)), {});
    }
    // Every file read as Windows' own editor reads it, texts included (Search.admx is UTF-16
    // declared 'unicode', WindowsDefender.adml's namespace holds a blank).
    policy::PolicyLibrary library(folders, *factory_);
    ASSERT_TRUE(library.Load(folders.DefaultFolder()));
    for (size_t i = 0; i < library.Read().policies.size(); ++i) library.DisplayName(i);
    ASSERT_TRUE(library.Problems().empty())
        << library.Problems().front().path << ": " << library.Problems().front().reason;
    const policy::Definitions& read = library.Read();
    EXPECT_EQ(library.DisplayName(
                  read.values
                      .at(policy::Definitions::Lookup(
                          "Software\\Policies\\Microsoft\\Windows Defender", "DisableAntiSpyware"))
                      .front()
                      .policy),
              "Turn off Microsoft Defender Antivirus");
    EXPECT_TRUE(read.values.count(policy::Definitions::Lookup(
        "SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search", "AllowCortana")));
    for (const auto& item : items_) {
        for (const auto& value : item->regItems) {
            const auto found = read.values.find(policy::Definitions::Lookup(
                regRunner::ParseSectionKey(value.Key), value.ValueName));
            if (found == read.values.end()) continue;
            const std::string& support = read.policies[found->second.front().policy].supportedOn;
            EXPECT_TRUE(!Holds(support, "_NOSERVER") || !OfferedOnServer(*item))
                << Label(*item) << ": " << value.ValueName << " is " << support;
        }
    }
}

}  // namespace
