#include "ui/frmAdvanced.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "ui/Pictures.h"
#include "ui/frmBusy.h"
#include "ui/frmWarning.h"

namespace editor {

int32_t RowNumber(const std::string& text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return 0;
    const size_t e = text.find_last_not_of(' ') + 1;
    if (text[b] == '+') ++b;
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data() + b, text.data() + e, value);
    if (ec != std::errc() || end != text.data() + e) return 0;
    return value;
}

std::optional<double> NumberValue(const std::string& text) {
    const size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    const size_t e = text.find_last_not_of(' ') + 1;
    const std::string trimmed = text.substr(b, e - b);
    // Only plain decimal notation: strtod would also take hex, "inf" and "nan".
    for (char c : trimmed) {
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'))
            return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (end != trimmed.c_str() + trimmed.size() || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string PlanKey(const OptimizationItem& entry) {
    std::string key = entry.Number + '\n' + entry.Name;
    for (const RegistryItem& value : entry.regItems) {
        key += '\n' + std::to_string(value.KeyType) + '|' + value.Key + '|' + value.ValueName +
               '|' + value.Value;
    }
    for (const cmdItem& command : entry.cmdItems) key += '\n' + command.Command;
    return key;
}

bool Matches(const OptimizationItem& entry, const std::string& text) {
    const std::string wanted = codes::UpperAscii(text);
    for (const std::string* field : {&entry.Number, &entry.Name, &entry.Description}) {
        if (codes::UpperAscii(*field).find(wanted) != std::string::npos) return true;
    }
    return false;
}

std::string StateText(EntryPlan::State state) {
    switch (state) {
        case EntryPlan::State::Applied: return "Applied";
        case EntryPlan::State::Partly: return "Partly";
        case EntryPlan::State::NotApplied: return "Not applied";
        case EntryPlan::State::WouldFail: return "Would fail";
        case EntryPlan::State::NotCheckable: return "Not checkable";
    }
    return "";
}

}  // namespace editor

namespace {

constexpr int kWidth = 872;
constexpr int kHeight = 585;
constexpr int kBarTop = 492;  // the button bar runs from here to the bottom
constexpr int kRight = 436;   // the details column starts here
constexpr int kListTop = 46;  // below the find box
// Entries planned at each tick of the state timer: small enough that input waits only a moment.
constexpr size_t kPlansPerTick = 50;
// Export's page, beside the catalogue or in the temporary folder.
const char* const kReportName = "OrvikOptimizations.html";

LabelLayout Text(const char* name, const char* caption, Box box, double points, Rgb colour) {
    LabelLayout layout;
    layout.name = name;
    layout.caption = caption;
    layout.box = box;
    layout.font = {points, false};
    layout.foreColour = colour;
    return layout;
}

}  // namespace

void frmAdvanced::Load() {
    if (!form_) Form_Load();
}

void frmAdvanced::Show() {
    Load();
    form_->Show();
    // The keyboard starts on the list, as before there was a find box above it.
    lbSettings->Focus();
}

void frmAdvanced::Form_Load() {
    refusal_ = services_.CatalogueRefusal();
    BuildControls();
    FillList();
    if (!refusal_.empty()) {
        toolkit_.MsgBox("The catalogue " + refusal_ +
                            ".\n\nThe editor opens read-only: Run and Save stay off until only "
                            "administrators may change the catalogue and its folder.",
                        MessageStyle::Error);
    }
}

void frmAdvanced::BuildControls() {
    FormLayout layout;
    layout.name = "frmAdvanced";
    layout.caption = kProductName;
    layout.kind = FormKind::Main;
    layout.width = kWidth;
    layout.height = kHeight;
    form_ = toolkit_.CreateForm(layout);

    // Created in tab order: the find box, the list, then the button bar.
    BuildFind();
    lbSettings = &form_->AddCheckList("lbSettings", {12, kListTop, 404, kBarTop - kListTop - 12},
                                      {11, false}, 112);
    lbSettings->Click = [this] { ShowDetails(); };
    lbSettings->ItemCheck = [this](int row) { lbSettings_ItemCheck(row); };
    tmrStates = &form_->AddTimer("tmrStates", 1, false);
    tmrStates->Tick = [this] { tmrStates_Tick(); };
    BuildDetails();
    BuildButtonBar();
    BuildMenus();
}

void frmAdvanced::BuildFind() {
    form_->AddLabel(Text("lblFind", "Find", {12, 14, 40, 22}, 11, pictures::kDarkGrey));
    txtFind = &form_->AddTextBox("txtFind", {54, 12, 362, 26}, {11, false});
    txtFind->Change = [this] { Find_Change(); };
    form_->AddShortcut("Ctrl+F", [this] { txtFind->Focus(); });
    form_->AddShortcut("Escape", [this] { txtFind->SetText(""); });
}

void frmAdvanced::BuildDetails() {
    using namespace pictures;
    Form& f = *form_;
    f.AddLabel(Text("Label1", "Description", {kRight, 6, 126, 30}, 15.75, kDarkGrey));
    f.AddLine("Line1", kRight + 130, 24, kWidth - 14, 24, Rgb{200, 200, 200});
    LabelLayout description = Text("lblDescription", "Label1", {kRight, 42, 422, 104}, 12, kGrey);
    description.wrap = true;
    lblDescription = &f.AddLabel(description);

    f.AddLabel(Text("Label2", "Justification", {kRight, 152, 132, 30}, 15.75, kDarkGrey));
    f.AddLine("Line2", kRight + 136, 170, kWidth - 14, 170, Rgb{200, 200, 200});
    LabelLayout justification =
        Text("lblJustification", "Label1", {kRight, 188, 422, 110}, 9.75, kGrey);
    justification.wrap = true;
    lblJustification = &f.AddLabel(justification);

    f.AddLabel(Text("Label10", "Impact", {kRight, 306, 120, 18}, 9.75, kDarkGrey));
    imgImpact = &f.AddPicture({"imgImpact", {kRight, 328, 54, 32}});
    lblImpact = &f.AddLabel(Text("lblImpact", "", {kRight + 62, 334, 120, 24}, 12, kGrey));
    f.AddLabel(Text("Label11", "Category", {kRight + 236, 306, 186, 18}, 9.75, kDarkGrey));
    LabelLayout category = Text("lblCategory", "", {kRight + 196, 334, 226, 24}, 12, kGrey);
    category.align = TextAlign::Centre;
    lblCategory = &f.AddLabel(category);

    f.AddLabel(Text("Label12", "On this machine", {kRight, 370, 160, 18}, 9.75, kDarkGrey));
    LabelLayout state = Text("lblState", "", {kRight, 392, 422, 92}, 8.25, kGrey);
    state.wrap = true;
    lblState = &f.AddLabel(state);

    impactImages = &f.AddImageList("impactImages", 54, 32);
    impactImages->Add(Gauge(Needle::Right));  // 1: high
    impactImages->Add(Gauge(Needle::Left));   // 2: low
    impactImages->Add(Gauge(Needle::Up));     // 3: medium
}

void frmAdvanced::BuildButtonBar() {
    using namespace pictures;
    Form& f = *form_;
    f.AddRectangle("Shape1", {0, kBarTop, kWidth, kHeight - kBarTop}, kAccent, std::nullopt);
    // Each button: a picture that reacts, its caption below it that does not.
    struct Button {
        const char* picture;
        const char* label;
        const char* caption;
        Symbol symbol;
        int x;
        std::function<void()> command;
    };
    const Button buttons[] = {
        {"imgSelectAll", "Label3", "Select All", Symbol::SelectAll, 28, [this] { TickAll(true); }},
        {"imgUnselectAll", "Label4", "Unselect All", Symbol::UnselectAll, 128,
         [this] { TickAll(false); }},
        {"imgExport", "Label5", "Export", Symbol::Export, 228, [this] { Export(); }},
        {"imgRun", "Label6", "Run", Symbol::Run, 597, [this] { Run(); }},
        {"imgSave", "Label7", "Save", Symbol::Save, 690, [this] { Save(); }},
        {"imgExit", "Label8", "Exit", Symbol::Exit, 790, [this] { Exit(); }},
    };
    for (const Button& b : buttons) {
        if (!refusal_.empty() && (b.symbol == Symbol::Run || b.symbol == Symbol::Save)) continue;
        const int width = b.symbol == Symbol::Run ? 40 : 54;
        Picture& picture = f.AddPicture({b.picture, {b.x, kBarTop + 8, width, 59}, kAccent, true});
        picture.SetDrawing(ButtonSymbol(b.symbol));
        picture.Click = b.command;
        LabelLayout caption =
            Text(b.label, b.caption, {b.x + width / 2 - 48, kBarTop + 68, 96, 20}, 9.75, kWhite);
        caption.font.bold = true;
        caption.backColour = kAccent;
        caption.align = TextAlign::Centre;
        f.AddLabel(caption);
    }
}

void frmAdvanced::BuildMenus() {
    MenuItem& mnuFile = form_->AddMenu("mnuFile", "&File");
    if (refusal_.empty()) {
        mnuFile.AddItem("mnuSave", "&Save").Click = [this] { Save(); };
        mnuFile.AddItem("mnuRun", "&Run").Click = [this] { Run(); };
        mnuFile.AddItem("mnuUndo", "&Undo last run").Click = [this] { UndoLastRun(); };
    }
    mnuFile.AddItem("mnuExit", "&Exit").Click = [this] { Exit(); };
    MenuItem& mnuSelect = form_->AddMenu("mnuSelect", "&Select");
    MenuItem& mnuImpact = mnuSelect.AddItem("mnuImpact", "By Impact");
    mnuImpact.AddItem("mnuLow", "Low").Click = [this] { SelectByImpact("LOW"); };
    mnuImpact.AddItem("mnuMedium", "Medium").Click = [this] { SelectByImpact("MEDIUM"); };
    mnuImpact.AddItem("mnuHigh", "High").Click = [this] { SelectByImpact("HIGH"); };
    MenuItem& mnuCategory = mnuSelect.AddItem("mnuCategory", "By Category");
    mnuCategory.AddItem("mnuStorage", "Storage").Click = [this] { SelectByCategory("STORAGE"); };
    mnuCategory.AddItem("mnuExperience", "User Experience").Click = [this] {
        SelectByCategory("USER EXPERIENCE");
    };
    mnuCategory.AddItem("mnuCPU", "CPU and Memory").Click = [this] {
        SelectByCategory("CPU AND MEMORY");
    };
    mnuSelect.AddItem("mnuClear", "Clear").Click = [this] { FillList(); };
}

void frmAdvanced::LoadSettings() {
    // The machine changes only through Run and Undo: the states of entries read again as they
    // were carry over, and only new or changed entries are planned.
    std::unordered_map<std::string, EntryPlan> carried;
    for (const OptimizationItemPtr& entry : Settings) {
        const auto plan = plans_.find(entry.get());
        if (plan != plans_.end()) carried.emplace(editor::PlanKey(*entry), plan->second);
    }
    plans_.clear();
    Settings.clear();
    byNumber_.clear();
    os_ = services_.GetOSVersion();
    loaded_ = services_.ReadXML();
    for (const OptimizationItemPtr& entry : loaded_) {
        if (entry && codes::IsOffered(entry->osVersions, os_)) Settings.push_back(entry);
    }
    for (const OptimizationItemPtr& entry : Settings) {
        byNumber_[entry->Number].push_back(entry.get());
    }
    for (const OptimizationItemPtr& entry : Settings) {
        const auto plan = carried.find(editor::PlanKey(*entry));
        if (plan != carried.end()) plans_.emplace(entry.get(), plan->second);
    }
    StartStates(false);
}

void frmAdvanced::AppendRow(const OptimizationItemPtr& entry) {
    lbSettings->AddItem(entry->Name);
    const int row = lbSettings->NewIndex();
    rowEntries_.resize(static_cast<size_t>(row) + 1);
    rowEntries_[static_cast<size_t>(row)] = entry;
    rowOf_[entry.get()] = row;
    lbSettings->SetItemData(row, editor::RowNumber(entry->Number));
    lbSettings->SetSelected(row, entry->Enabled);
    ShowState(row);
}

void frmAdvanced::ShowRows() {
    lbSettings->Clear();
    rowEntries_.clear();
    rowOf_.clear();
    const std::string wanted = txtFind->Text();
    for (const OptimizationItemPtr& entry : listed_) {
        if (editor::Matches(*entry, wanted)) AppendRow(entry);
    }
}

void frmAdvanced::FillList() {
    LoadSettings();
    listed_ = Settings;
    ShowRows();
    if (lbSettings->ListCount() > 0) {
        lbSettings->SetListIndex(0);  // its Click shows the details
    } else if (Settings.empty()) {
        // Nothing to list: say why instead of leaving the placeholders up.
        lblDescription->SetCaption("No optimization in " + std::string(catalogue::kFileName) +
                                   " is meant for this version of Windows.");
        lblJustification->SetCaption("");
        lblImpact->SetCaption("");
        lblCategory->SetCaption("");
        lblState->SetCaption("");
    }
}

void frmAdvanced::Find_Change() {
    // The ticks live in the entries, so rows hidden now keep theirs.
    ShowRows();
    if (lbSettings->ListCount() > 0) lbSettings->SetListIndex(0);
}

void frmAdvanced::StartStates(bool all) {
    // The states shown stay until their entry's new plan replaces them.
    nextPlan_ = 0;
    planAll_ = all;
    const bool missing = std::any_of(Settings.begin(), Settings.end(), [&](const auto& entry) {
        return plans_.count(entry.get()) == 0;
    });
    if (tmrStates && (all || missing)) tmrStates->SetEnabled(true);
}

void frmAdvanced::tmrStates_Tick() {
    for (size_t planned = 0; nextPlan_ < Settings.size() && planned < kPlansPerTick; ++nextPlan_) {
        const OptimizationItemPtr& entry = Settings[nextPlan_];
        if (!planAll_ && plans_.count(entry.get())) continue;
        ++planned;
        plans_[entry.get()] = services_.PlanEntry(*entry);
        // Only the rows planned now: a tick stays short however long the list is.
        if (const auto row = rowOf_.find(entry.get()); row != rowOf_.end()) ShowState(row->second);
    }
    if (nextPlan_ >= Settings.size()) tmrStates->SetEnabled(false);
    const int row = lbSettings->ListIndex();
    if (row >= 0 && static_cast<size_t>(row) < rowEntries_.size()) {
        lblState->SetCaption(StateDetails(*rowEntries_[static_cast<size_t>(row)]));
    }
}

void frmAdvanced::ShowState(int row) {
    if (row < 0 || static_cast<size_t>(row) >= rowEntries_.size()) return;
    const auto plan = plans_.find(rowEntries_[static_cast<size_t>(row)].get());
    if (plan != plans_.end()) lbSettings->SetNote(row, editor::StateText(plan->second.state));
}

std::string frmAdvanced::StateDetails(const OptimizationItem& entry) const {
    const auto found = plans_.find(&entry);
    if (found == plans_.end()) return "Being checked...";
    const EntryPlan& plan = found->second;
    std::string text = editor::StateText(plan.state);
    if (plan.state == EntryPlan::State::WouldFail) text += ": " + plan.failure;
    if (plan.state == EntryPlan::State::NotCheckable) {
        text +=
            ": only the registry values, services and scheduled tasks of an entry can be "
            "compared with the machine";
    }
    for (const std::string& line : plan.lines) text += "\n" + line;
    return text;
}

void frmAdvanced::ShowDetails() {
    const int row = lbSettings->ListIndex();
    if (row < 0 || row >= lbSettings->ListCount()) return;
    OptimizationItemPtr e;
    const OptimizationItemPtr& made = rowEntries_[static_cast<size_t>(row)];
    if (made && codes::PlainNumber(made->Number)) {
        e = FindItemByNumber(static_cast<int16_t>(lbSettings->ItemData(row)));
    } else {
        e = made;  // a row that cannot be looked up by number shows its own entry
    }
    if (!e) return;
    lblDescription->SetCaption(e->Description);
    std::string justification = e->Justification;
    for (const std::string& line : services_.PolicyLines(*e)) justification += "\n" + line;
    lblJustification->SetCaption(justification);
    lblImpact->SetCaption(e->Impact);
    lblCategory->SetCaption(e->Category);
    ShowImpactPicture(e->Impact);
    lblState->SetCaption(StateDetails(*rowEntries_[static_cast<size_t>(row)]));
}

void frmAdvanced::ShowImpactPicture(const std::string& impact) {
    const std::string key = codes::UpperAscii(impact);
    if (key == "LOW") {
        imgImpact->ShowImage(*impactImages, 2);
    } else if (key == "MEDIUM") {
        imgImpact->ShowImage(*impactImages, 3);
    } else if (key == "HIGH") {
        imgImpact->ShowImage(*impactImages, 1);
    }
}

OptimizationItemPtr frmAdvanced::FindItemByNumber(int16_t n) const {
    OptimizationItemPtr found;
    for (const OptimizationItemPtr& entry : Settings) {
        const std::optional<double> value = editor::NumberValue(entry->Number);
        if (value && *value == n) found = entry;
    }
    return found;
}

void frmAdvanced::SetItemEnabled(const std::string& number, bool value) {
    // Every entry with that Number takes the tick, so two entries that share a Number share a
    // tick: stored catalogues were edited with the editor behaving so.
    const auto sharing = byNumber_.find(number);
    if (sharing == byNumber_.end()) return;
    for (OptimizationItem* entry : sharing->second) entry->Enabled = value;
}

void frmAdvanced::lbSettings_ItemCheck(int row) {
    if (row < 0 || row >= lbSettings->ListCount()) return;
    const bool value = lbSettings->Selected(row);
    const OptimizationItemPtr& made = static_cast<size_t>(row) < rowEntries_.size()
                                          ? rowEntries_[static_cast<size_t>(row)]
                                          : nullptr;
    if (made && !codes::PlainNumber(made->Number)) {
        // Its number ties it to no entry: the tick belongs to the entry the row was made from.
        made->Enabled = value;
        return;
    }
    SetItemEnabled(std::to_string(lbSettings->ItemData(row)), value);
}

void frmAdvanced::TickAll(bool value) {
    for (int row = 0; row < lbSettings->ListCount(); ++row) lbSettings->SetSelected(row, value);
}

template <typename Field>
void frmAdvanced::SelectBy(Field field, const std::string& key) {
    LoadSettings();
    listed_.clear();
    for (const OptimizationItemPtr& entry : Settings) {
        if (codes::UpperAscii((*entry).*field) == key) {
            listed_.push_back(entry);
        } else {
            entry->Enabled = false;
        }
    }
    ShowRows();
}

void frmAdvanced::SelectByImpact(const std::string& key) {
    SelectBy(&OptimizationItem::Impact, key);
}

void frmAdvanced::SelectByCategory(const std::string& key) {
    SelectBy(&OptimizationItem::Category, key);
}

OptimizationList frmAdvanced::MergeIntoCatalogue(OptimizationList file) const {
    // The file as it stands now keeps every entry the editor did not load, untouched and in
    // order; the editor's entries are found in it by Number and Name, in order, and take their
    // ticks from the editor. Should the file have become unreadable, the catalogue as it was
    // loaded stands in for it.
    if (file.empty()) file = loaded_;
    std::vector<bool> used(Settings.size(), false);
    size_t next = 0;
    for (OptimizationItemPtr& entry : file) {
        if (!entry || !codes::IsOffered(entry->osVersions, os_)) continue;
        for (size_t k = next; k < Settings.size(); ++k) {
            if (!used[k] && Settings[k]->Number == entry->Number &&
                Settings[k]->Name == entry->Name) {
                entry->Enabled = Settings[k]->Enabled;
                used[k] = true;
                next = k + 1;
                break;
            }
        }
    }
    // Entries that vanished from the file meanwhile are kept rather than lost.
    for (size_t k = 0; k < Settings.size(); ++k) {
        if (!used[k] && std::find(file.begin(), file.end(), Settings[k]) == file.end())
            file.push_back(Settings[k]);
    }
    return file;
}

void frmAdvanced::Save() {
    const std::string target = catalogue::DefaultPath(services_.ExecutableFolder());
    // Written beside the catalogue, then put in its place in one step: a failure part-way
    // leaves the old catalogue whole.
    const std::string temporary = target + ".saving";
    const OptimizationList whole = MergeIntoCatalogue(services_.ReadXML());

    std::string reason;
    if (!services_.WriteXMLFile(whole, temporary)) {
        const uint32_t code = shell_.ProbeWrite(temporary);
        reason = code != 0 ? shell_.ErrorText(code) : "The file could not be written.";
    }
    if (reason.empty()) {
        // The writer reports nothing of its own: what it wrote must read back whole.
        const OptimizationList back = services_.ReadXML(temporary);
        bool same = back.size() == whole.size();
        for (size_t i = 0; same && i < back.size(); ++i) {
            same = back[i]->Number == whole[i]->Number && back[i]->Enabled == whole[i]->Enabled;
        }
        if (!same) reason = "The new file could not be written completely.";
    }
    if (reason.empty()) {
        const uint32_t code = shell_.ReplaceFile(temporary, target);
        if (code != 0) reason = shell_.ErrorText(code);
    }
    if (!reason.empty()) {
        shell_.RemoveFile(temporary);
        toolkit_.MsgBox("The optimizations could not be saved to " + target + ".\n\n" + reason,
                        MessageStyle::Error);
        return;
    }
    toolkit_.MsgBox("Saved");
}

void frmAdvanced::Export() {
    // The catalogue as last saved, made into a page that any browser shows as it is: browsers no
    // longer apply the stylesheet to a local file themselves. The catalogue is only read.
    const std::string folder = services_.ExecutableFolder();
    const RenderedReport report = shell_.RenderReport(
        catalogue::DefaultPath(folder), catalogue::InFolder(folder, catalogue::kStylesheetName));
    if (!report.Made()) {
        toolkit_.MsgBox(
            "The report could not be made from " + report.failedFile + ".\n\n" + report.reason,
            MessageStyle::Error);
        return;
    }
    // Where the user finds it again; a standard user cannot write beside a catalogue in
    // Program Files, and then it goes to the temporary folder.
    std::string page = catalogue::InFolder(folder, kReportName);
    uint32_t code = shell_.WriteFileBytes(page, report.html);
    if (code != 0) {
        page = catalogue::InFolder(shell_.TempFolder(), kReportName);
        code = shell_.WriteFileBytes(page, report.html);
    }
    if (code != 0) {
        toolkit_.MsgBox(
            "The report could not be written to " + page + ".\n\n" + shell_.ErrorText(code),
            MessageStyle::Error);
        return;
    }
    code = shell_.OpenDocument(page);
    if (code != 0) {
        toolkit_.MsgBox("The report was written to " + page +
                            ", but no web browser could be started to show it.\n\n" +
                            shell_.ErrorText(code),
                        MessageStyle::Error);
    }
}

bool frmAdvanced::OfferElevation() {
    constexpr uint32_t kCancelled = 1223;
    const std::string need = services_.ElevationNeeded(Settings);
    if (need.empty()) return true;
    if (!toolkit_.AskYesNo("Run needs an administrator: " + need +
                           ".\n\nStart Orvik Optimizer as administrator? Ticks that are not "
                           "saved are not taken over.")) {
        return false;
    }
    const uint32_t started = shell_.StartSelfElevated();
    if (started == 0) {
        toolkit_.EndProgram();
    } else if (started != kCancelled) {
        toolkit_.MsgBox(
            "Orvik Optimizer could not be started as administrator: " + shell_.ErrorText(started),
            MessageStyle::Error);
    }
    return false;
}

void frmAdvanced::Run() {
    if (!OfferElevation()) return;
    frmWarning warning(toolkit_);
    warning.Show();
    if (!warning.Response) return;
    const std::optional<engine::RunLockHold> hold = HoldRunLock();
    if (!hold) return;
    const RunOutcome outcome = services_.RunOptimizations(Settings);
    if (!outcome.refusal.empty()) {
        toolkit_.MsgBox("Nothing was applied: " + outcome.refusal, MessageStyle::Error);
        return;
    }
    StartStates();
    if (!outcome.cutShort.empty()) {
        toolkit_.MsgBox("Optimization Completed, but not every registry value was written: " +
                            outcome.cutShort + ".\n\nWhat the run changed is kept in " +
                            outcome.journal + "; File > Undo last run puts it back.",
                        MessageStyle::Error);
        return;
    }
    toolkit_.MsgBox("Optimization Completed\n\nWhat the run changed is kept in " + outcome.journal +
                    "; File > Undo last run puts it back.");
}

void frmAdvanced::UndoLastRun() {
    const std::optional<JournalEntry> run = services_.LastRun();
    if (!run) {
        toolkit_.MsgBox("There is no run of the editor on this machine left to undo.");
        return;
    }
    if (!toolkit_.AskYesNo(
            "Undo the run of " + run->time +
            "?\n\nThe registry values, services and scheduled tasks it changed are put "
            "back as they were, except those changed since. Command lines it started are "
            "not undone.\n\nJournal: " +
            run->path)) {
        return;
    }
    const std::optional<engine::RunLockHold> hold = HoldRunLock();
    if (!hold) return;
    const UndoOutcome outcome = services_.UndoRun(*run);
    if (!outcome.refusal.empty()) {
        toolkit_.MsgBox("Nothing was undone: " + outcome.refusal, MessageStyle::Error);
        return;
    }
    StartStates();
    std::string text = "Undo completed: " + std::to_string(outcome.putBack) +
                       (outcome.putBack == 1 ? " value" : " values") + " put back.";
    if (!outcome.conflicts.empty()) text += "\n\nChanged since the run, left alone:";
    for (const std::string& value : outcome.conflicts) text += "\n" + value;
    if (!outcome.failures.empty()) text += "\n\nCould not be put back:";
    for (const std::string& value : outcome.failures) text += "\n" + value;
    const bool failed = !outcome.failures.empty();
    toolkit_.MsgBox(text, failed ? MessageStyle::Error : MessageStyle::Plain);
}

std::optional<engine::RunLockHold> frmAdvanced::HoldRunLock() {
    engine::RunLockHold hold = services_.TryRunLock();
    if (hold.busy()) {
        frmBusy wait(toolkit_, [&] {
            hold = services_.TryRunLock();
            return !hold.busy();
        });
        wait.Show();
        if (!wait.Response) return std::nullopt;  // cancelled: nothing to say
    }
    if (!hold.MayRun()) {
        toolkit_.MsgBox(hold.Sentence() + ".", MessageStyle::Error);
        return std::nullopt;
    }
    if (hold.abandoned()) toolkit_.MsgBox(hold.Sentence() + ".\n\nThis one goes on.");
    return hold;
}

void frmAdvanced::Exit() { toolkit_.EndProgram(); }
