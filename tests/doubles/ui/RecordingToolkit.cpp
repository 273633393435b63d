#include "RecordingToolkit.h"

#include <algorithm>
#include <stdexcept>

void FakeCheckList::AddItem(const std::string& text) {
    rows_.push_back({text, 0, false});
    newIndex_ = ListCount() - 1;
}

std::string FakeCheckList::List(int index) const {
    return Valid(index) ? rows_[static_cast<size_t>(index)].text : std::string();
}

int32_t FakeCheckList::ItemData(int index) const {
    return Valid(index) ? rows_[static_cast<size_t>(index)].data : 0;
}

void FakeCheckList::SetItemData(int index, int32_t value) {
    if (Valid(index)) rows_[static_cast<size_t>(index)].data = value;
}

void FakeCheckList::SetListIndex(int index) {
    if (index != -1 && !Valid(index)) return;
    if (index == listIndex_) return;
    listIndex_ = index;
    if (Click) Click();
}

bool FakeCheckList::Selected(int index) const {
    return Valid(index) && rows_[static_cast<size_t>(index)].ticked;
}

void FakeCheckList::SetSelected(int index, bool ticked) {
    if (!Valid(index) || rows_[static_cast<size_t>(index)].ticked == ticked) return;
    rows_[static_cast<size_t>(index)].ticked = ticked;
    if (ItemCheck) ItemCheck(index);
}

void FakeCheckList::Clear() {
    rows_.clear();
    newIndex_ = -1;
    listIndex_ = -1;
}

std::vector<std::string> FakeCheckList::Texts() const {
    std::vector<std::string> texts;
    for (const Row& row : rows_) texts.push_back(row.text);
    return texts;
}

MenuItem& FakeMenuItem::AddItem(const std::string& name, const std::string& caption) {
    items.push_back(std::make_unique<FakeMenuItem>(name, caption));
    return *items.back();
}

FakeForm::~FakeForm() {
    auto& forms = toolkit_.forms_;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

Label& FakeForm::AddLabel(const LabelLayout& layout) {
    controlOrder.push_back(layout.name);
    return *(labels_[layout.name] = std::make_unique<FakeLabel>(layout));
}

Picture& FakeForm::AddPicture(const PictureLayout& layout) {
    controlOrder.push_back(layout.name);
    return *(pictures_[layout.name] = std::make_unique<FakePicture>(layout));
}

CheckList& FakeForm::AddCheckList(const std::string& name, const Box&, const FontStyle&) {
    controlOrder.push_back(name);
    return *(lists_[name] = std::make_unique<FakeCheckList>());
}

ImageList& FakeForm::AddImageList(const std::string& name, int, int) {
    controlOrder.push_back(name);
    return *(imageLists_[name] = std::make_unique<FakeImageList>());
}

Timer& FakeForm::AddTimer(const std::string& name, int intervalMs, bool enabled) {
    controlOrder.push_back(name);
    return *(timers_[name] = std::make_unique<FakeTimer>(intervalMs, enabled));
}

// Shapes only take their place in the order; no test looks at their geometry.
void FakeForm::AddRectangle(const std::string& name, const Box&, std::optional<Rgb>,
                            std::optional<Rgb>) {
    controlOrder.push_back(name);
}

void FakeForm::AddLine(const std::string& name, int, int, int, int, Rgb) {
    controlOrder.push_back(name);
}

MenuItem& FakeForm::AddMenu(const std::string& name, const std::string& caption) {
    menus.push_back(std::make_unique<FakeMenuItem>(name, caption));
    return *menus.back();
}

void FakeForm::Show() {
    if (closed) return;
    visible_ = true;
    toolkit_.log.push_back("show " + layout.name);
}

void FakeForm::ShowModal() {
    if (closed) return;
    visible_ = true;
    modal = true;
    toolkit_.log.push_back("modal " + layout.name);
    if (toolkit_.onModal) toolkit_.onModal(*this);
    // Whatever the user did, the call returns only once the form has closed.
    if (!closed) Unload();
}

void FakeForm::Unload() {
    if (closed) return;
    closed = true;
    visible_ = false;
    toolkit_.log.push_back("unload " + layout.name);
    if (Unloaded) Unloaded();
}

namespace {
template <typename Map>
auto& Lookup(Map& map, const std::string& name, const std::string& form) {
    auto it = map.find(name);
    if (it == map.end()) throw std::out_of_range("no control " + name + " on " + form);
    return *it->second;
}

FakeMenuItem* FindMenu(const std::vector<std::unique_ptr<FakeMenuItem>>& items,
                       const std::string& name) {
    for (const auto& item : items) {
        if (item->name == name) return item.get();
        if (FakeMenuItem* found = FindMenu(item->items, name)) return found;
    }
    return nullptr;
}
}  // namespace

FakeLabel& FakeForm::label(const std::string& name) { return Lookup(labels_, name, layout.name); }
FakePicture& FakeForm::picture(const std::string& name) {
    return Lookup(pictures_, name, layout.name);
}
FakeCheckList& FakeForm::checkList(const std::string& name) {
    return Lookup(lists_, name, layout.name);
}
FakeImageList& FakeForm::imageList(const std::string& name) {
    return Lookup(imageLists_, name, layout.name);
}
FakeTimer& FakeForm::timer(const std::string& name) { return Lookup(timers_, name, layout.name); }

FakeMenuItem& FakeForm::menu(const std::string& name) {
    FakeMenuItem* found = FindMenu(menus, name);
    if (!found) throw std::out_of_range("no menu item " + name + " on " + layout.name);
    return *found;
}

bool FakeForm::HasControl(const std::string& name) const {
    return std::find(controlOrder.begin(), controlOrder.end(), name) != controlOrder.end();
}

std::unique_ptr<Form> RecordingToolkit::CreateForm(const FormLayout& layout) {
    auto form = std::make_unique<FakeForm>(*this, layout);
    forms_.push_back(form.get());
    return form;
}

void RecordingToolkit::MsgBox(const std::string& text, MessageStyle style) {
    messages.push_back({text, style});
    log.push_back("msgbox " + text);
}

void RecordingToolkit::EndProgram() {
    ended = true;
    log.push_back("end");
}

FakeForm& RecordingToolkit::form(const std::string& name) {
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
        if ((*it)->layout.name == name) return **it;
    }
    throw std::out_of_range("no form " + name);
}

bool RecordingToolkit::HasForm(const std::string& name) const {
    return std::any_of(forms_.begin(), forms_.end(),
                       [&](const FakeForm* f) { return f->layout.name == name; });
}
