// The editor's commands: Save, Run, Export and Exit, by button and by menu.

#include "EditorTestSupport.h"

namespace {

class SaveTest : public EditorTest {
protected:
    void SetUp() override {
        SetCatalogue({Entry("1", "XP only", {kWindowsXP}, true, "Low"),
                      Entry("2", "Seven low", {kWindows7}, false, "Low"),
                      Entry("3", "All high", {kAll}, true, "High"),
                      Entry("4", "XP off", {kWindowsXP}, false, "High"),
                      Entry("5", "Seven low too", {kWindows7}, true, "low")});
        Open();
    }
    std::vector<bool> FileFlags() {
        std::vector<bool> flags;
        for (const auto& e : File()) flags.push_back(e->Enabled);
        return flags;
    }
    std::string Temporary() { return Catalogue() + ".saving"; }
};

}  // namespace

TEST_F(SaveTest, SaveWritesTheWholeCatalogueWithTheEditorsTicks) {
    File()[0]->Description = "kept as it is";
    List().UserTick(0, true);
    List().UserTick(1, false);
    Button("imgSave");
    EXPECT_EQ(Messages(), Strings({"Saved"}));
    EXPECT_EQ(Numbers(File()), Strings({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(FileFlags(), Flags({true, true, false, false, true}));
    EXPECT_EQ(File()[0]->Description, "kept as it is");
    EXPECT_EQ(File()[3]->Name, "XP off");
    // Through a temporary file beside the catalogue that then takes its place.
    EXPECT_EQ(services.writes, Strings({Temporary()}));
    EXPECT_EQ(shell.replaces, Strings({Temporary() + ">" + Catalogue()}));
    EXPECT_FALSE(disk.Exists(Temporary()));
    // Save leaves the editor as it was.
    EXPECT_EQ(Ticks(), Flags({true, false, true}));

    // File > Save is the same command.
    List().UserTick(2, true);
    Menu("mnuSave");
    EXPECT_EQ(Messages(), Strings({"Saved", "Saved"}));
    EXPECT_EQ(FileFlags(), Flags({true, true, false, false, true}));
}

TEST_F(SaveTest, SaveAfterASelectionStoresTheOthersDisabledAndKeepsOtherVersions) {
    Menu("mnuLow");
    Button("imgSave");
    EXPECT_EQ(Numbers(File()), Strings({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(FileFlags(), Flags({true, false, false, false, true}));
}

TEST_F(SaveTest, SaveKeepsEntriesAddedToTheFileMeanwhileAndEntriesThatVanished) {
    File().insert(File().begin() + 2, Entry("9", "New", {kWindows7}, true));
    File().erase(File().begin() + 5);  // "Seven low too" removed by someone else
    Button("imgUnselectAll");
    Button("imgSave");
    EXPECT_EQ(Numbers(File()), Strings({"1", "2", "9", "3", "4", "5"}));
    EXPECT_EQ(FileFlags(), Flags({true, false, true, false, false, false}));
}

TEST_F(SaveTest, SaveFallsBackOnTheLoadedCatalogueWhenTheFileHasBecomeUnreadable) {
    File().clear();
    List().UserTick(1, false);
    Button("imgSave");
    EXPECT_EQ(Messages(), Strings({"Saved"}));
    EXPECT_EQ(Numbers(File()), Strings({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(FileFlags(), Flags({true, false, false, false, true}));
}

TEST_F(SaveTest, AFailedWriteLeavesTheCatalogueWholeAndSaysWhy) {
    const Flags before = FileFlags();
    Button("imgSelectAll");

    services.failWrites = true;  // a folder the user may not write to
    shell.probeResult = 5;
    Button("imgSave");
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].style, MessageStyle::Error);
    EXPECT_NE(toolkit.messages[0].text.find(Catalogue()), std::string::npos);
    EXPECT_NE(toolkit.messages[0].text.find("error 5"), std::string::npos);
    EXPECT_EQ(shell.probes, Strings({Temporary()}));

    services.failWrites = false;
    services.truncateWrites = true;  // the disk filled up part-way
    Button("imgSave");
    services.truncateWrites = false;
    shell.replaceResult = 32;  // the catalogue is open in another program
    Menu("mnuSave");
    ASSERT_EQ(toolkit.messages.size(), 3u);
    EXPECT_NE(toolkit.messages[2].text.find("error 32"), std::string::npos);
    for (const auto& m : toolkit.messages) EXPECT_NE(m.text, "Saved");

    EXPECT_EQ(FileFlags(), before);
    EXPECT_EQ(File().size(), 5u);
    EXPECT_FALSE(disk.Exists(Temporary()));
}

TEST_F(EditorTest, RunAppliesTheTickedEntriesOnlyAfterYes) {
    SetCatalogue({Entry("1", "A", {kAll}, true), Entry("2", "B", {kAll}, false),
                  Entry("3", "XP", {kWindowsXP}, true)});
    Open();
    // No, and the close box, leave the machine alone and say nothing.
    AnswerWarning("Label4");
    Button("imgRun");
    toolkit.onModal = nullptr;
    Menu("mnuRun");
    EXPECT_TRUE(services.runs.empty());
    EXPECT_TRUE(toolkit.messages.empty());

    AnswerWarning("Label3");
    Button("imgRun");
    ASSERT_EQ(services.runs.size(), 1u);
    EXPECT_EQ(services.runs[0], Strings({"1"}));  // the other version's entry is not in Settings
    EXPECT_EQ(Messages(), Strings({"Optimization Completed"}));
    // The warning was modal and gone before the runner started.
    EXPECT_EQ(toolkit.log[toolkit.log.size() - 3], "modal frmWarning");
    EXPECT_EQ(toolkit.log[toolkit.log.size() - 2], "unload frmWarning");

    Button("imgUnselectAll");
    Menu("mnuRun");
    ASSERT_EQ(services.runs.size(), 2u);
    EXPECT_TRUE(services.runs[1].empty());
    EXPECT_EQ(Messages(), Strings({"Optimization Completed", "Optimization Completed"}));
}

TEST_F(EditorTest, ExportShowsTheCatalogueThroughWhateverViewerThereIs) {
    SetCatalogue({Entry("1", "A", {kAll})});
    Open();
    const std::string ie = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
    const std::string xsl = "C:\\Orvik\\OrvikOptimizations.xsl";
    const std::string html = "C:\\Temp\\OrvikOptimizations.html";

    disk.files.insert(ie);
    Button("imgExport");
    EXPECT_EQ(shell.started, Strings({ie + " C:\\Orvik\\OrvikOptimizations.xml"}));
    EXPECT_TRUE(shell.opened.empty());

    // No Internet Explorer: the report is made here and opened in the default browser.
    disk.files.erase(ie);
    disk.files.insert(xsl);
    Button("imgExport");
    EXPECT_EQ(shell.transforms, Strings({Catalogue() + "|" + xsl + "|" + html}));
    EXPECT_EQ(shell.opened, Strings({html}));

    // Without a stylesheet, or when it fails, the catalogue itself is opened.
    shell.transformResult = 5;
    Button("imgExport");
    EXPECT_EQ(shell.opened.back(), Catalogue());
    EXPECT_EQ(shell.started.size(), 1u);
    EXPECT_TRUE(toolkit.messages.empty());

    // Nothing can show it: one clear message.
    shell.openResult = 1155;
    Button("imgExport");
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].style, MessageStyle::Error);
    EXPECT_NE(toolkit.messages[0].text.find(Catalogue()), std::string::npos);
    EXPECT_NE(toolkit.messages[0].text.find("error 1155"), std::string::npos);

    // Export does not save first.
    EXPECT_TRUE(services.writes.empty());
}

TEST_F(EditorTest, ExportOfAMissingCatalogueSaysSo) {
    Open();
    Button("imgExport");
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_NE(toolkit.messages[0].text.find("does not exist"), std::string::npos);
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(EditorTest, ExitEndsTheProgramFromButtonAndMenu) {
    Open();
    Button("imgExit");
    EXPECT_TRUE(toolkit.ended);
    toolkit.ended = false;
    Menu("mnuExit");
    EXPECT_TRUE(toolkit.ended);
    EXPECT_TRUE(toolkit.messages.empty());
}
