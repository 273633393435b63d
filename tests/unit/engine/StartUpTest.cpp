// Start-up: the argument text as Windows hands it over, the choice of run mode, the silent run
// from the catalogue beside the executable.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "EngineFixture.h"
#include "app/StartUp.h"
#include "platform/host/xml/PugiXmlDocument.h"

namespace {

TEST(StartUp, ArgumentTextFollowsTheProgramName) {
    EXPECT_EQ(ArgumentText("Orvik.exe -RUN"), "-RUN");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Orvik\\Orvik.exe\" -RUN"), "-RUN");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Orvik\\Orvik.exe\"-RUN"), "-RUN");
    EXPECT_EQ(ArgumentText("C:\\Orvik.exe \t  -run"), "-run");
    // The rest stays verbatim: inner and trailing blanks, quotes, a second argument.
    EXPECT_EQ(ArgumentText("Orvik.exe -RUN "), "-RUN ");
    EXPECT_EQ(ArgumentText("Orvik.exe -RUN  extra"), "-RUN  extra");
    EXPECT_EQ(ArgumentText("Orvik.exe \"-RUN\""), "\"-RUN\"");
    EXPECT_EQ(ArgumentText("Orvik.exe"), "");
    EXPECT_EQ(ArgumentText("\"C:\\Orvik.exe\""), "");
    EXPECT_EQ(ArgumentText("\"C:\\unclosed -RUN"), "");
    EXPECT_EQ(ArgumentText(""), "");
    // Only the closing quote ends a quoted name; control characters separate like blanks.
    EXPECT_EQ(ArgumentText("\"C:\\a\"b -RUN"), "b -RUN");
    EXPECT_EQ(ArgumentText("Orvik.exe\r\n-RUN"), "-RUN");
}

TEST(StartUp, OnlyTheWholeTextMinusRunInAnyCaseRunsSilently) {
    for (const char* run : {"-RUN", "-run", "-Run", "-rUn"}) {
        EXPECT_EQ(ChooseStart(run).mode, StartMode::SilentRun) << run;
    }
    for (const char* other : {"", "-RUN ", " -RUN", "/RUN", "-RUN extra", "RUN", "-RUNS",
                              "\"-RUN\"", "-EDIT", "-edit", "-EDIT "}) {
        EXPECT_EQ(ChooseStart(other).mode, StartMode::Editor) << "'" << other << "'";
    }
    EXPECT_TRUE(ChooseStart("-edit").editRequested);
    EXPECT_FALSE(ChooseStart("-EDIT ").editRequested);
    EXPECT_FALSE(ChooseStart("-RUN").editRequested);
}

class SilentRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
        folder_ = std::filesystem::temp_directory_path() /
                  ("orvik-silent-" + std::to_string(unit.random_seed()) + "-" +
                   unit.current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        f.env.system.executablePath = folder_.string() + "\\Orvik.exe";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void WriteCatalogue(const std::string& text) {
        std::ofstream(folder_ / "OrvikOptimizations.xml", std::ios::binary) << text;
    }

    RegistryFixture f;
    PugiXmlDocumentFactory xml;
    std::filesystem::path folder_;
};

TEST_F(SilentRunTest, AppliesEveryEnabledEntryWhateverItsVersion) {
    WriteCatalogue(R"(<?xml version="1.0" encoding="UTF-8"?>
<Optimizations>
  <Item><Name>one</Name><OSVersion>WindowsXP</OSVersion><Enabled>True</Enabled>
    <RegistryEntries><RegistryEntry><Key>HKEY_CURRENT_USER\Software\OrvikTest</Key>
      <ValueName>one</ValueName><KeyType>DWORD</KeyType><Value>&amp;H10</Value></RegistryEntry>
    </RegistryEntries>
    <CommandLines><CommandLine><Command>one.exe /q</Command></CommandLine></CommandLines>
    <WMIQueries><WMIQuery><Command>SELECT * FROM Win32_Process</Command>
      <WarningLevel>9999</WarningLevel></WMIQuery></WMIQueries></Item>
  <Item><Name>two</Name><Enabled>False</Enabled>
    <CommandLines><CommandLine><Command>two.exe</Command></CommandLine></CommandLines></Item>
  <Item><Name>three</Name><OSVersion>WindowsServer2012</OSVersion><Enabled>true</Enabled>
    <CommandLines><CommandLine><Command>three.exe</Command></CommandLine></CommandLines></Item>
</Optimizations>)");

    SilentRun(xml, f.platform());

    const auto stored = f.registry.Stored("HKEY_CURRENT_USER\\Software\\OrvikTest", "one");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->data, (std::vector<uint8_t>{0x10, 0, 0, 0}));
    EXPECT_EQ(f.processes.tried, (std::vector<std::string>{"one.exe /q", "three.exe"}));
    EXPECT_EQ(f.wmi.executed, (std::vector<std::string>{"1:SELECT * FROM Win32_Process"}));
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST_F(SilentRunTest, MissingOrBrokenCatalogueAppliesNothing) {
    SilentRun(xml, f.platform());
    WriteCatalogue("<Optimizations><Item><Enabled>True</Enabled><CommandLines><CommandLine>"
                   "<Command>x.exe</Command></CommandLine></CommandLines></Item>");
    SilentRun(xml, f.platform());
    EXPECT_TRUE(f.processes.tried.empty());
    EXPECT_TRUE(f.registry.calls.empty());
    EXPECT_TRUE(f.env.files.files.empty());
}

}  // namespace
