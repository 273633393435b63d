// The editor's list: which entries it shows, their ticks, the details, and the selections.

#include "EditorTestSupport.h"

TEST_F(EditorTest, ListsEachEntryForThisWindowsOnceInFileOrder) {
    SetCatalogue({Entry("1", "Mine", {kWindows7}), Entry("2", "Other", {kWindowsXP}),
                  Entry("3", "Everyone", {kAll}), Entry("4", "Twice", {kWindows7, kAll}),
                  Entry("5", "Later", {kWindowsXP, kAll, kWindows7}), Entry("6", "None", {}),
                  Entry("7", "Eight", {codes::kWindows8}), Entry("8", "Ten", {codes::kWindows10}),
                  Entry("9", "Eleven", {codes::kWindows11})});
    Open();
    EXPECT_EQ(List().Texts(), Strings({"Mine", "Everyone", "Twice", "Later"}));
    EXPECT_EQ(Numbers(editor->Settings), Strings({"1", "3", "4", "5"}));
    EXPECT_EQ(services.reads, 1);

    services.os = kWindowsXP;
    Menu("mnuClear");
    EXPECT_EQ(List().Texts(), Strings({"Other", "Everyone", "Twice", "Later"}));
    // Windows 11 is offered its own entries and, as before it had a code, those for Windows 8.
    services.os = codes::kWindows11;
    Menu("mnuClear");
    EXPECT_EQ(List().Texts(), Strings({"Everyone", "Twice", "Later", "Eight", "Eleven"}));
}

TEST_F(EditorTest, RowsCarryNumberAndTickAndTheFirstRowShowsItsDetails) {
    SetCatalogue({Entry("12", "A", {kAll}, true, "High", "CPU and Memory"),
                  Entry("-3", "B", {kAll}, false, "Medium"), Entry("0", "C", {kAll}, true)});
    Open();
    EXPECT_EQ(Ticks(), Flags({true, false, true}));
    EXPECT_EQ(List().ItemData(0), 12);
    EXPECT_EQ(List().ItemData(1), -3);
    EXPECT_EQ(List().ItemData(2), 0);
    EXPECT_EQ(List().ListIndex(), 0);
    EXPECT_EQ(Caption("lblDescription"), "what A does");
    EXPECT_EQ(Caption("lblJustification"), "why A");
    EXPECT_EQ(Caption("lblImpact"), "High");
    EXPECT_EQ(Caption("lblCategory"), "CPU and Memory");
    EXPECT_EQ(Gauge(), 1);
    // Filling the list left every flag as the file has it.
    EXPECT_EQ(Enabled(), Flags({true, false, true}));

    List().UserSelectRow(1);
    EXPECT_EQ(Caption("lblDescription"), "what B does");
    EXPECT_EQ(Gauge(), 3);
    List().UserSelectRow(2);
    EXPECT_EQ(Gauge(), 2);
}

TEST_F(EditorTest, ImpactIsShownAsStoredAndAnUnknownImpactKeepsTheGauge) {
    SetCatalogue({Entry("1", "A", {kAll}, false, "high"), Entry("2", "B", {kAll}, false, "low"),
                  Entry("3", "C", {kAll}, false, "Severe")});
    Open();
    EXPECT_EQ(Gauge(), 1);
    List().UserSelectRow(1);
    EXPECT_EQ(Caption("lblImpact"), "low");
    EXPECT_EQ(Gauge(), 2);
    List().UserSelectRow(2);
    EXPECT_EQ(Caption("lblImpact"), "Severe");
    EXPECT_EQ(Gauge(), 2);
}

TEST_F(EditorTest, DuplicateNumbersShareATickAndShowTheLaterEntry) {
    SetCatalogue({Entry("7", "First", {kAll}), Entry("8", "Between", {kAll}),
                  Entry("7", "Second", {kAll})});
    Open();
    EXPECT_EQ(Caption("lblDescription"), "what Second does");
    List().UserTick(0, true);
    EXPECT_EQ(Enabled(), Flags({true, false, true}));
    List().UserTick(0, false);
    EXPECT_EQ(Enabled(), Flags({false, false, false}));
    List().UserTick(2, true);
    EXPECT_EQ(Enabled(), Flags({true, false, true}));
}

TEST_F(EditorTest, EntriesWithoutAPlainNumberAreListedShownAndTickedByThemselves) {
    SetCatalogue({Entry("07", "Padded", {kAll}), Entry("abc", "Word", {kAll}),
                  Entry("40000", "Large", {kAll}), Entry("7", "Seven", {kAll}),
                  Entry("", "Empty", {kAll}), Entry("1e400", "Huge", {kAll})});
    Open();
    EXPECT_EQ(List().Texts(), Strings({"Padded", "Word", "Large", "Seven", "Empty", "Huge"}));
    // Each shows its own details, not those of an entry that reads as the same number.
    EXPECT_EQ(Caption("lblDescription"), "what Padded does");
    for (int row = 1; row < List().ListCount(); ++row) {
        List().UserSelectRow(row);
        EXPECT_EQ(Caption("lblDescription"), "what " + List().List(row) + " does") << row;
    }
    // A tick reaches the row's own entry, and only it.
    List().UserTick(0, true);
    EXPECT_EQ(Enabled(), Flags({true, false, false, false, false, false}));
    List().UserTick(2, true);
    List().UserTick(1, true);
    EXPECT_EQ(Enabled(), Flags({true, true, true, false, false, false}));
    List().UserTick(3, true);
    EXPECT_EQ(Enabled(), Flags({true, true, true, true, false, false}));
    List().UserTick(4, true);
    EXPECT_EQ(Enabled(), Flags({true, true, true, true, true, false}));
}

TEST_F(EditorTest, SelectAllAndUnselectAllReachEveryListedRow) {
    SetCatalogue({Entry("1", "A", {kAll}, true), Entry("2", "B", {kAll}), Entry("3", "C", {kAll})});
    Open();
    Button("imgSelectAll");
    EXPECT_EQ(Ticks(), Flags({true, true, true}));
    EXPECT_EQ(Enabled(), Flags({true, true, true}));
    Button("imgUnselectAll");
    EXPECT_EQ(Ticks(), Flags({false, false, false}));
    EXPECT_EQ(Enabled(), Flags({false, false, false}));
    // The captions below the pictures are no buttons.
    Form().label("Label3").UserClick();
    EXPECT_EQ(Ticks(), Flags({false, false, false}));
}

TEST_F(EditorTest, ByImpactListsOnlyThatImpactAndDisablesTheRest) {
    SetCatalogue({Entry("1", "H1", {kAll}, false, "High"), Entry("2", "L", {kAll}, true, "Low"),
                  Entry("3", "H2", {kAll}, true, "HIGH"), Entry("4", "M", {kAll}, true, "medium"),
                  Entry("5", "X", {kWindowsXP}, true, "High")});
    Open();
    Menu("mnuHigh");
    EXPECT_EQ(List().Texts(), Strings({"H1", "H2"}));
    EXPECT_EQ(Ticks(), Flags({false, true}));
    EXPECT_EQ(List().ListIndex(), -1);
    EXPECT_EQ(Enabled(), Flags({false, false, true, false}));

    Button("imgSelectAll");
    EXPECT_EQ(Enabled(), Flags({true, false, true, false}));
    AnswerWarning("Label3");
    Menu("mnuRun");
    ASSERT_EQ(services.runs.size(), 1u);
    EXPECT_EQ(services.runs[0], Strings({"1", "3"}));

    Menu("mnuMedium");
    EXPECT_EQ(List().Texts(), Strings({"M"}));
    Menu("mnuLow");
    EXPECT_EQ(List().Texts(), Strings({"L"}));
    EXPECT_EQ(Enabled(), Flags({false, true, false, false}));
}

TEST_F(EditorTest, SelectionsStartAgainFromTheFileAndClearListsEverything) {
    SetCatalogue({Entry("1", "S1", {kAll}, true, "Low", "Storage"),
                  Entry("2", "U", {kAll}, false, "Low", "User Experience"),
                  Entry("3", "S2", {kAll}, false, "High", "STORAGE"),
                  Entry("4", "C", {kAll}, true, "Low", "cpu and memory")});
    Open();
    Button("imgUnselectAll");
    List().UserTick(2, true);
    Menu("mnuStorage");
    EXPECT_EQ(List().Texts(), Strings({"S1", "S2"}));
    EXPECT_EQ(Ticks(), Flags({true, false}));  // as stored, not as changed

    Menu("mnuCPU");
    EXPECT_EQ(List().Texts(), Strings({"C"}));
    EXPECT_EQ(Enabled(), Flags({false, false, false, true}));
    Menu("mnuExperience");
    EXPECT_EQ(List().Texts(), Strings({"U"}));

    List().UserSelectRow(0);
    Menu("mnuClear");
    EXPECT_EQ(List().Texts(), Strings({"S1", "U", "S2", "C"}));
    EXPECT_EQ(Ticks(), Flags({true, false, false, true}));
    EXPECT_EQ(Enabled(), Flags({true, false, false, true}));
    EXPECT_EQ(List().ListIndex(), 0);
    EXPECT_EQ(Caption("lblDescription"), "what S1 does");
}

TEST_F(EditorTest, AnEmptyCatalogueGivesAnEmptyListThatEveryCommandCopesWith) {
    Open();  // no file at all
    EXPECT_EQ(List().ListCount(), 0);
    EXPECT_EQ(List().ListIndex(), -1);
    EXPECT_NE(Caption("lblDescription").find("OrvikOptimizations.xml"), std::string::npos);
    EXPECT_EQ(Caption("lblJustification"), "");
    EXPECT_EQ(Gauge(), 0);
    Button("imgSelectAll");
    Button("imgUnselectAll");
    Menu("mnuLow");
    Menu("mnuClear");
    AnswerWarning("Label3");
    Button("imgRun");
    ASSERT_EQ(services.runs.size(), 1u);
    EXPECT_TRUE(services.runs[0].empty());
    EXPECT_EQ(Messages(), Strings({"Optimization Completed"}));

    // Entries only for another Windows version: the same empty list.
    SetCatalogue({Entry("1", "XP", {kWindowsXP}, true)});
    Menu("mnuClear");
    EXPECT_EQ(List().ListCount(), 0);
}

TEST_F(EditorTest, WindowTextsMenusAndButtonsAreThoseOfTheProduct) {
    Open();
    const FakeForm& f = Form();
    EXPECT_EQ(f.layout.caption, "Orvik Optimizer");
    EXPECT_EQ(Caption("Label1"), "Description");
    EXPECT_EQ(Caption("Label2"), "Justification");
    EXPECT_EQ(Caption("Label10"), "Impact");
    EXPECT_EQ(Caption("Label11"), "Category");
    const char* captions[][2] = {{"Label3", "Select All"}, {"Label4", "Unselect All"},
                                 {"Label5", "Export"},     {"Label6", "Run"},
                                 {"Label7", "Save"},       {"Label8", "Exit"}};
    for (const auto& [label, text] : captions) EXPECT_EQ(Caption(label), text);
    const char* menus[][2] = {{"mnuFile", "&File"},         {"mnuSave", "&Save"},
                              {"mnuRun", "&Run"},           {"mnuExit", "&Exit"},
                              {"mnuSelect", "&Select"},     {"mnuImpact", "By Impact"},
                              {"mnuLow", "Low"},            {"mnuMedium", "Medium"},
                              {"mnuHigh", "High"},          {"mnuCategory", "By Category"},
                              {"mnuStorage", "Storage"},    {"mnuExperience", "User Experience"},
                              {"mnuCPU", "CPU and Memory"}, {"mnuClear", "Clear"}};
    for (const auto& [name, caption] : menus) EXPECT_EQ(Form().menu(name).caption, caption);
    // Tab order: the list, then the button bar from left to right.
    std::vector<std::string> buttons;
    for (const std::string& name : f.controlOrder) {
        if (name == "lbSettings" || name.rfind("img", 0) == 0) buttons.push_back(name);
    }
    EXPECT_EQ(buttons, Strings({"lbSettings", "imgImpact", "imgSelectAll", "imgUnselectAll",
                                     "imgExport", "imgRun", "imgSave", "imgExit"}));
}
