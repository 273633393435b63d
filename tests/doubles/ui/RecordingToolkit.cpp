#include "RecordingToolkit.h"

#include <algorithm>
#include <stdexcept>

void FakeCheckList::SetItemData(int index, int32_t value) {
    if (Valid(index)) rows_[static_cast<size_t>(index)].data = value;
}

void FakeCheckList::SetListIndex(int index) {
    if ((index != -1 && !Valid(index)) || index == listIndex_) return;
    listIndex_ = index;
    if (Click) Click();
}

void FakeCheckList::SetSelected(int index, bool ticked) {
    if (!Valid(index) || Selected(index) == ticked) return;
    rows_[static_cast<size_t>(index)].ticked = ticked;
    if (ItemCheck) ItemCheck(index);
}

void FakeCheckList::Clear() {
    rows_.clear();
    listIndex_ = -1;
}

std::vector<std::string> FakeCheckList::Texts() const {
    std::vector<std::string> texts;
    for (const Item& row : rows_) texts.push_back(row.text);
    return texts;
}

FakeForm::~FakeForm() {
    auto& forms = toolkit_.forms_;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

Label& FakeForm::AddLabel(const LabelLayout& layout) {
    return *(labels_[layout.name] = std::make_unique<FakeLabel>(layout.caption));
}

Picture& FakeForm::AddPicture(const PictureLayout& layout) {
    return *(pictures_[layout.name] = std::make_unique<FakePicture>());
}

CheckList& FakeForm::AddCheckList(const std::string& name, const Box&, const FontStyle&, int) {
    return *(lists_[name] = std::make_unique<FakeCheckList>());
}

ImageList& FakeForm::AddImageList(const std::string&, int, int) {
    return *imageLists_.emplace_back(std::make_unique<FakeImageList>());
}

Timer& FakeForm::AddTimer(const std::string&, int, bool) {
    return *timers_.emplace_back(std::make_unique<FakeTimer>());
}

void FakeForm::RunTimers() {
    for (bool any = true; any;) {
        any = false;
        for (auto& timer : timers_) {
            if (!timer->Enabled()) continue;
            any = true;
            if (timer->Tick) timer->Tick();
        }
    }
}

MenuItem& FakeForm::AddMenu(const std::string& name, const std::string& caption) {
    return menus_.AddItem(name, caption);
}

void FakeForm::ShowModal() {
    if (toolkit_.onModal) toolkit_.onModal(*this);
    // Whatever the user did, the call returns only once the form has closed.
    Unload();
}

void FakeForm::Unload() {
    if (closed) return;
    closed = true;
    if (Unloaded) Unloaded();
}

std::unique_ptr<Form> RecordingToolkit::CreateForm(const FormLayout& layout) {
    auto form = std::make_unique<FakeForm>(*this, layout.name);
    forms_.push_back(form.get());
    return form;
}

FakeForm& RecordingToolkit::form(const std::string& name) {
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
        if ((*it)->name == name) return **it;
    }
    throw std::out_of_range("no form " + name);
}
