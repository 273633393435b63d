// The editor over the recording toolkit: what the real program's tests cannot reach cheaply.

#include <gtest/gtest.h>

#include "CheckListScenario.h"
#include "FakeMachine.h"
#include "RecordingToolkit.h"
#include "catalogue/Codes.h"
#include "ui/frmAdvanced.h"

namespace {

using Strings = std::vector<std::string>;
using Flags = std::vector<bool>;
using codes::kAll;
using codes::kWindows7;
using codes::kWindowsXP;

OptimizationItemPtr Entry(const std::string& number, const std::string& name,
                          std::vector<int32_t> versions = {kAll}, bool enabled = false,
                          const std::string& impact = "Low", const std::string& category = "") {
    auto e = std::make_shared<OptimizationItem>();
    e->Number = number;
    e->Name = name;
    e->osVersions = std::move(versions);
    e->Enabled = enabled;
    e->Impact = impact;
    e->Category = category;
    e->Description = "what " + name + " does";
    return e;
}

class EditorTest : public ::testing::Test {
protected:
    void Open(OptimizationList entries) {
        if (!entries.empty()) File() = entries;
        editor = std::make_unique<frmAdvanced>(toolkit, machine, machine);
        editor->Show();
    }
    OptimizationList& File() { return machine.catalogues[machine.CataloguePath()]; }
    FakeForm& Form() { return toolkit.form("frmAdvanced"); }
    FakeCheckList& List() { return Form().checkList("lbSettings"); }
    std::string Description() { return Form().label("lblDescription").Caption(); }
    void Click(const std::string& control) {
        if (control.starts_with("img")) Form().picture(control).Click();
        if (control.starts_with("mnu")) Form().menu(control).Click();
    }
    static Flags Enabled(const OptimizationList& list) {
        Flags flags;
        for (const auto& e : list) flags.push_back(e->Enabled);
        return flags;
    }
    static Strings Numbers(const OptimizationList& list) {
        Strings numbers;
        for (const auto& e : list) numbers.push_back(e->Number);
        return numbers;
    }
    std::string Message(size_t i) { return toolkit.messages.at(i).text; }

    RecordingToolkit toolkit;
    FakeMachine machine;
    std::unique_ptr<frmAdvanced> editor;
};

}  // namespace

TEST(RecordingToolkit, CheckListHoldsToTheScenarioOfTheRealControl) {
    FakeCheckList list;
    CheckListScenario(list, [] {});
}

TEST_F(EditorTest, DuplicateNumbersShareATickAndShowTheLaterEntry) {
    Open({Entry("7", "First"), Entry("8", "Between"), Entry("7", "Second")});
    EXPECT_EQ(Description(), "what Second does");
    List().SetSelected(0, true);
    EXPECT_EQ(Enabled(editor->Settings), Flags({true, false, true}));
    List().SetSelected(0, false);
    EXPECT_EQ(Enabled(editor->Settings), Flags({false, false, false}));
}

TEST_F(EditorTest, DetailsNameThePoliciesOfTheEntrysValues) {
    OptimizationItemPtr first = Entry("1", "Policies");
    first->Justification = "Because.";
    machine.policyLines["1"] = {"Policy: A (supported on: X)", "Policy: B"};
    Open({first, Entry("2", "Plain")});
    EXPECT_EQ(Form().label("lblJustification").Caption(),
              "Because.\nPolicy: A (supported on: X)\nPolicy: B");
    List().SetListIndex(1);
    EXPECT_EQ(Form().label("lblJustification").Caption(), "");
}

TEST_F(EditorTest, EntriesWithoutAPlainNumberAreShownAndTickedByThemselves) {
    Open({Entry("07", "Padded"), Entry("abc", "Word"), Entry("40000", "Large"), Entry("7", "Seven"),
          Entry("", "Empty"), Entry("1e400", "Huge")});
    for (int row = 0; row < List().ListCount(); ++row) {
        List().SetListIndex(row);
        EXPECT_EQ(Description(), "what " + List().List(row) + " does") << row;
        List().SetSelected(row, true);
        Flags expected(6, false);
        std::fill(expected.begin(), expected.begin() + row + 1, true);
        EXPECT_EQ(Enabled(editor->Settings), expected) << row;
    }
}

TEST_F(EditorTest, SelectionsListOnlyTheirEntriesStartingFromTheFileAndDisableTheRest) {
    Open({Entry("1", "H1", {kAll}, false, "High", "Storage"),
          Entry("2", "L", {kAll}, true, "Low", "User Experience"),
          Entry("3", "H2", {kAll}, true, "HIGH", "STORAGE"),
          Entry("4", "M", {kAll}, true, "medium", "cpu and memory"),
          Entry("5", "X", {kWindowsXP}, true, "High", "Storage")});
    Click("imgUnselectAll");
    Click("mnuHigh");
    EXPECT_EQ(List().Texts(), Strings({"H1", "H2"}));
    EXPECT_TRUE(List().Selected(1)) << "ticks as stored, not as changed";
    EXPECT_EQ(Enabled(editor->Settings), Flags({false, false, true, false}));
    const std::pair<const char*, Strings> selections[] = {
        {"mnuMedium", {"M"}},     {"mnuLow", {"L"}}, {"mnuStorage", {"H1", "H2"}},
        {"mnuExperience", {"L"}}, {"mnuCPU", {"M"}}, {"mnuClear", {"H1", "L", "H2", "M"}}};
    for (const auto& [menu, listed] : selections) {
        Click(menu);
        EXPECT_EQ(List().Texts(), listed) << menu;
    }
}

TEST_F(EditorTest, SaveWritesTheWholeFileAsItStandsNowWithTheEditorsTicks) {
    Open({Entry("1", "XP only", {kWindowsXP}, true), Entry("2", "Seven", {kWindows7}),
          Entry("3", "All", {kAll}, true), Entry("4", "Vanishing", {kWindows7}, true)});
    const std::string temporary = machine.CataloguePath() + ".saving";
    List().SetSelected(0, true);
    List().SetSelected(1, false);
    File()[0]->Description = "changed meanwhile";
    File().insert(File().begin() + 2, Entry("9", "Added meanwhile", {kWindows7}, true));
    File().pop_back();
    // Ticks go by Number and Name: a renamed entry and a new twin of a Number keep their own.
    File()[1]->Name = "Renamed";
    File().insert(File().begin() + 3, Entry("3", "Twin", {kAll}, true));
    Click("imgSave");
    EXPECT_EQ(Message(0), "Saved");
    // Entries the editor did not load stay as the file has them; ones that vanished are kept.
    EXPECT_EQ(Numbers(File()), Strings({"1", "2", "9", "3", "3", "2", "4"}));
    EXPECT_EQ(Enabled(File()), Flags({true, false, true, true, false, true, true}));
    EXPECT_EQ(File()[0]->Description, "changed meanwhile");
    // Through a temporary file beside the catalogue that then takes its place.
    EXPECT_EQ(machine.writes, Strings({temporary}));
    EXPECT_EQ(machine.replaces, Strings({temporary + ">" + machine.CataloguePath()}));

    // A file that has become unreadable: the catalogue as loaded stands in for it.
    File().clear();
    Click("mnuSave");
    EXPECT_EQ(Numbers(File()), Strings({"1", "2", "3", "4"}));
}

TEST_F(EditorTest, AFailedSaveLeavesTheCatalogueWholeAndSaysWhy) {
    Open({Entry("1", "A"), Entry("2", "B")});
    Click("imgSelectAll");
    machine.failWrites = true;  // a folder the user may not write to
    machine.probeResult = 5;
    Click("imgSave");
    machine.failWrites = false;
    machine.truncateWrites = true;  // the disk filled up part-way
    Click("imgSave");
    machine.truncateWrites = false;
    machine.replaceResult = 32;  // the catalogue is open in another program
    Click("imgSave");
    const char* const reasons[] = {"error 5", "completely", "error 32"};
    ASSERT_EQ(toolkit.messages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(toolkit.messages[i].style, MessageStyle::Error);
        EXPECT_NE(Message(i).find(machine.CataloguePath()), std::string::npos);
        EXPECT_NE(Message(i).find(reasons[i]), std::string::npos) << reasons[i];
    }
    EXPECT_EQ(Enabled(File()), Flags({false, false}));
    EXPECT_FALSE(machine.Exists(machine.CataloguePath() + ".saving"));
}

TEST_F(EditorTest, ACatalogueOthersMayChangeOpensReadOnly) {
    machine.refusal =
        "C:\\Orvik\\OrvikOptimizations.xml is not protected: Everyone may write to it";
    Open({Entry("1", "A", {kAll}, true)});
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(
        Message(0).find("The catalogue " + machine.refusal + ".\n\nThe editor opens read-only"),
        0u);
    EXPECT_EQ(List().ListCount(), 1);
    for (const char* control : {"imgRun", "imgSave", "mnuRun", "mnuSave", "Label6", "Label7"}) {
        EXPECT_ANY_THROW(control[0] == 'm'   ? (void)Form().menu(control)
                         : control[0] == 'i' ? (void)Form().picture(control)
                                             : (void)Form().label(control))
            << control;
    }
    Click("imgSelectAll");
    Click("imgExport");
    EXPECT_TRUE(machine.writes.empty());
}

// The editor ends once the elevated one runs.
TEST_F(EditorTest, ARunThatNeedsAnAdministratorOffersToStartElevated) {
    machine.elevationNeeded = "entry 1 writes HKEY_LOCAL_MACHINE\\A\\V";
    Open({Entry("1", "A", {kAll}, true)});
    const struct {
        bool yes;
        uint32_t started;
        int starts, ended;
        const char* error;  // "": nothing said after the question
    } cases[] = {{false, 0, 0, 0, ""},
                 {true, 1223, 1, 0, ""},  // the user declined the system's prompt
                 {true, 2, 1, 0, "Orvik Optimizer could not be started as administrator: error 2"},
                 {true, 0, 1, 1, ""}};
    for (const auto& c : cases) {
        toolkit.messages.clear();
        toolkit.ended = 0;
        machine.elevatedStarts = 0;
        toolkit.answer = c.yes;
        machine.elevatedResult = c.started;
        Click("imgRun");
        ASSERT_FALSE(toolkit.messages.empty());
        EXPECT_EQ(Message(0).find("Run needs an administrator: " + machine.elevationNeeded), 0u);
        EXPECT_EQ(toolkit.messages.size() > 1 ? Message(1) : "", c.error);
        EXPECT_EQ(machine.elevatedStarts, c.starts);
        EXPECT_EQ(toolkit.ended, c.ended);
        EXPECT_TRUE(machine.runs.empty());
    }
}

TEST_F(EditorTest, ExportWritesTheReportWhereTheUserFindsItAgainAndOpensIt) {
    Open({Entry("1", "A")});
    const std::string xsl = "C:\\Orvik\\OrvikOptimizations.xsl";
    const std::string beside = "C:\\Orvik\\OrvikOptimizations.html";
    const std::string temporary = "C:\\Temp\\OrvikOptimizations.html";
    // Without the stylesheet the real program's test has the box name the file.
    machine.files.insert(xsl);
    Click("imgExport");
    EXPECT_EQ(machine.pages[beside], "report of " + machine.CataloguePath());
    EXPECT_EQ(machine.opened, Strings({beside}));
    // A folder the user may not write to: the temporary folder, or a box when that fails too.
    machine.unwritable = {beside};
    Click("imgExport");
    EXPECT_EQ(machine.opened.back(), temporary);
    machine.unwritable.insert(temporary);
    Click("imgExport");
    EXPECT_NE(Message(0).find(temporary + ".\n\nerror 5"), std::string::npos) << Message(0);
    // No browser: the box says where the report is.
    machine.unwritable.clear();
    machine.openResult = 1155;
    Click("imgExport");
    EXPECT_NE(Message(1).find(beside), std::string::npos) << Message(1);
    EXPECT_NE(Message(1).find("error 1155"), std::string::npos) << Message(1);
    ASSERT_EQ(toolkit.messages.size(), 2u);
    EXPECT_TRUE(machine.writes.empty()) << "Export does not save first";
}

TEST_F(EditorTest, FindNarrowsTheRowsKeepsHiddenTicksAndSelectAllReachesOnlyShownRows) {
    Open({Entry("1", "Disk cleanup"), Entry("12", "Visual effects"),
          Entry("3", "Prefetch", {kAll}, true), Entry("4", "Search index")});
    FakeTextBox& find = Form().textBox("txtFind");
    Form().Press("Ctrl+F");
    EXPECT_TRUE(find.focused);
    // Number, name or description, letter case ignored; the first shown row becomes current.
    const std::pair<const char*, Strings> finds[] = {{"VISUAL", {"Visual effects"}},
                                                     {"what prefetch", {"Prefetch"}},
                                                     {"nothing like it", {}},
                                                     {"1", {"Disk cleanup", "Visual effects"}}};
    for (const auto& [text, shown] : finds) {
        find.SetText(text);
        EXPECT_EQ(List().Texts(), shown) << text;
        EXPECT_EQ(List().ListIndex(), shown.empty() ? -1 : 0) << text;
    }
    EXPECT_EQ(Description(), "what Disk cleanup does");
    // Prefetch is hidden, with its tick.
    Click("imgUnselectAll");
    Click("imgSelectAll");
    List().SetSelected(1, false);
    EXPECT_EQ(Enabled(editor->Settings), Flags({true, false, true, false}));
    Form().Press("Escape");
    EXPECT_EQ(find.Text(), "");
    EXPECT_EQ(List().ListCount(), 4);
    EXPECT_TRUE(List().Selected(2));
}

TEST_F(EditorTest, StatesArePlannedAfterTheWindowShowsAndAgainAfterRun) {
    using State = EntryPlan::State;
    machine.plans["1"] = {State::Applied, {"unchanged HKLM\\A\\V: REG_DWORD 1 -> REG_DWORD 1"}, ""};
    machine.plans["2"] = {State::Partly, {}, ""};
    machine.plans["3"] = {State::NotApplied, {}, ""};
    machine.plans["4"] = {State::WouldFail, {}, "error 5, access denied"};
    Open({Entry("1", "A"), Entry("2", "B"), Entry("3", "C"), Entry("4", "D"), Entry("5", "E")});
    EXPECT_EQ(machine.planned, 0u) << "no plan before the window shows";
    EXPECT_EQ(List().Note(0), "");
    Form().RunTimers();
    Strings notes;
    for (int row = 0; row < List().ListCount(); ++row) notes.push_back(List().Note(row));
    EXPECT_EQ(notes, Strings({"Applied", "Partly", "Not applied", "Would fail", "Not checkable"}));
    EXPECT_EQ(Form().label("lblState").Caption(),
              "Applied\nunchanged HKLM\\A\\V: REG_DWORD 1 -> REG_DWORD 1");
    List().SetListIndex(3);
    EXPECT_EQ(Form().label("lblState").Caption(), "Would fail: error 5, access denied");

    // Run keeps a journal and says where; the states are planned again (Undo: the Wine test).
    toolkit.onModal = [](FakeForm& warning) { warning.label("Label3").Click(); };
    machine.plans["3"].state = State::Applied;
    Click("imgRun");
    Form().RunTimers();
    EXPECT_EQ(List().Note(2), "Applied");
    EXPECT_EQ(Message(0).find("Optimization Completed\n\nWhat the run changed is kept in " +
                              machine.runOutcome.journal),
              0u);
    // A journal that stopped taking changes is no success to report as one.
    machine.runOutcome.cutShort = "the disk is full";
    Click("imgRun");
    EXPECT_EQ(Message(1).find("Optimization Completed, but not every registry value was written: "
                              "the disk is full."),
              0u);
}

// The lock is asked for again on the small window's timer, held while the run applies.
TEST_F(EditorTest, RunWaitsForAnotherRunWithACancel) {
    using enum RunLock::Taken;
    Open({Entry("1", "A", {kAll}, true)});
    bool cancel = true;
    toolkit.onModal = [&](FakeForm& form) {
        if (form.name == "frmWarning") return form.label("Label3").Click();
        ASSERT_EQ(form.name, "frmBusy");
        cancel ? form.label("lblCancel").Click() : form.RunTimers();
    };
    machine.lock.script = {Busy, Busy, Busy};
    Click("imgRun");
    EXPECT_TRUE(machine.runs.empty());
    EXPECT_TRUE(toolkit.messages.empty());

    cancel = false;  // free at the third question of the timer
    machine.lock.script = {Busy, Busy, Busy};
    Click("imgRun");
    EXPECT_EQ(machine.heldByRuns, std::vector<int>({1}));
    EXPECT_EQ(machine.lock.held, 0);
    EXPECT_EQ(Message(0).find("Optimization Completed"), 0u);

    machine.lock.script = {Failed};
    Click("imgRun");
    EXPECT_EQ(machine.runs.size(), 1u);
    EXPECT_EQ(Message(1),
              "Global\\OrvikOptimizer.Run cannot be had (system text 5), so this run "
              "could not be kept apart from others: nothing was done.");
    machine.lock.script = {Abandoned};
    Click("imgRun");
    EXPECT_EQ(machine.heldByRuns, std::vector<int>({1, 1}));
    EXPECT_EQ(Message(2).find("The run before this one ended without letting go of "), 0u);
    EXPECT_EQ(Message(3).find("Optimization Completed"), 0u);
    EXPECT_EQ(machine.lock.held, 0);
}
