#pragma once
// The editor: lists the catalogue's entries for the running Windows version with a tick each,
// shows the current entry's details, selects by impact or category, and saves, exports or runs.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "platform/Shell.h"
#include "platform/Toolkit.h"
#include "ui/EditorServices.h"

namespace editor {

// The row number the list keeps for an entry: its Number as a whole number when it is one that
// fits 32 bits (blanks around it and leading zeros allowed), else 0.
int32_t RowNumber(const std::string& text);

// Number read as a double; nothing when it is no number at all.
std::optional<double> NumberValue(const std::string& text);

// Whether Find shows the entry: its Number, Name or Description holds the text, ASCII letter
// case ignored. An empty text shows every entry.
bool Matches(const OptimizationItem& entry, const std::string& text);

// What a plan of the entry depends on: its Number, Name and actions, as one text.
std::string PlanKey(const OptimizationItem& entry);

// The state's words in the list.
std::string StateText(EntryPlan::State state);

}  // namespace editor

class frmAdvanced {
public:
    frmAdvanced(Toolkit& toolkit, Shell& shell, EditorServices& services)
        : toolkit_(toolkit), shell_(shell), services_(services) {}

    // Loads the window hidden: builds it and fills the list from the catalogue.
    void Load();
    // Shows the window, not modally, loading it first if Load has not.
    void Show();

    // The entries for this Windows version, shared with the catalogue they were read from.
    OptimizationList Settings;

private:
    void Form_Load();
    void BuildControls();
    void BuildDetails();
    void BuildButtonBar();
    void BuildMenus();
    void BuildFind();

    void LoadSettings();
    void FillList();
    // The rows of the listed entries that Find lets through, with their ticks and states.
    void ShowRows();
    void Find_Change();
    void AppendRow(const OptimizationItemPtr& entry);
    // States are planned a few entries at a time, so that the window keeps taking input.
    // all: every entry again (the machine changed), else those without a state.
    void StartStates(bool all = true);
    void tmrStates_Tick();
    void ShowState(int row);
    std::string StateDetails(const OptimizationItem& entry) const;
    void ShowDetails();
    void ShowImpactPicture(const std::string& impact);
    OptimizationItemPtr FindItemByNumber(int16_t n) const;
    void SetItemEnabled(const std::string& number, bool value);
    void lbSettings_ItemCheck(int row);
    void TickAll(bool value);
    void SelectByImpact(const std::string& key);
    void SelectByCategory(const std::string& key);
    template <typename Field>
    void SelectBy(Field field, const std::string& key);

    void Save();
    void Export();
    void Run();
    // Before a run that needs an administrator: says so and offers to start the editor
    // elevated (this one then ends). False when the run is not to go on.
    bool OfferElevation();
    void UndoLastRun();
    // The run lock for Run or Undo, waited for with a Cancel while another run holds it; none
    // when the run is not to go on.
    std::optional<engine::RunLockHold> HoldRunLock();
    void Exit();

    OptimizationList MergeIntoCatalogue(OptimizationList file) const;

    Toolkit& toolkit_;
    Shell& shell_;
    EditorServices& services_;
    std::unique_ptr<Form> form_;

    // Why the catalogue is shown read-only (no Run, no Save); empty when it is not.
    std::string refusal_;
    // The whole catalogue as the last LoadSettings read it; Save falls back on it.
    OptimizationList loaded_;
    int32_t os_ = 0;
    // Settings by Number, made with them: ticking a row reaches every entry sharing its Number
    // without a search through the whole list.
    std::unordered_map<std::string, std::vector<OptimizationItem*>> byNumber_;
    // The entry each row was made from: its state, and its tick when its Number is not plain.
    std::vector<OptimizationItemPtr> rowEntries_;
    std::unordered_map<const OptimizationItem*, int> rowOf_;  // the other way round
    // The entries the list holds before Find narrows it: all of Settings, or a selection's.
    OptimizationList listed_;
    // The states planned so far, by entry; the next entry of Settings to plan.
    std::unordered_map<const OptimizationItem*, EntryPlan> plans_;
    size_t nextPlan_ = 0;
    bool planAll_ = true;

    CheckList* lbSettings = nullptr;
    TextBox* txtFind = nullptr;
    Label* lblState = nullptr;
    Timer* tmrStates = nullptr;
    Label* lblDescription = nullptr;
    Label* lblJustification = nullptr;
    Label* lblImpact = nullptr;
    Label* lblCategory = nullptr;
    Picture* imgImpact = nullptr;
    ImageList* impactImages = nullptr;
};
