#pragma once
// A toolkit that keeps its forms and controls in memory, by name, and records the message boxes.
// Tests act as the user by calling the controls' notifications; the check-box list notifies the
// program's own changes inside the call, like the real one (CheckListScenario holds both to that).

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Toolkit.h"

class FakeLabel : public Label {
public:
    explicit FakeLabel(std::string caption) : caption_(std::move(caption)) {}
    void SetCaption(const std::string& text) override { caption_ = text; }
    std::string Caption() const override { return caption_; }

private:
    std::string caption_;
};

class FakePicture : public Picture {
public:
    void SetDrawing(const Drawing&) override {}
    void ShowImage(const ImageList&, int) override {}
};

class FakeImageList : public ImageList {
public:
    int Add(const Drawing&) override { return 0; }
    int Count() const override { return 0; }
};

// Fires only when a test runs it.
class FakeTimer : public Timer {
public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }

private:
    bool enabled_ = false;
};

class FakeTextBox : public TextBox {
public:
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override {
        if (text == text_) return;
        text_ = text;
        if (Change) Change();
    }
    void Focus() override { focused = true; }
    bool focused = false;

private:
    std::string text_;
};

class FakeCheckList : public CheckList {
public:
    void AddItem(const std::string& text) override { rows_.push_back({text, 0, false, ""}); }
    int NewIndex() const override { return ListCount() - 1; }
    int ListCount() const override { return static_cast<int>(rows_.size()); }
    std::string List(int index) const override { return Valid(index) ? Row(index).text : ""; }
    int32_t ItemData(int index) const override { return Valid(index) ? Row(index).data : 0; }
    void SetItemData(int index, int32_t value) override;
    int ListIndex() const override { return listIndex_; }
    void SetListIndex(int index) override;
    bool Selected(int index) const override { return Valid(index) && Row(index).ticked; }
    void SetSelected(int index, bool ticked) override;
    void Clear() override;
    std::string Note(int index) const override { return Valid(index) ? Row(index).note : ""; }
    void SetNote(int index, const std::string& text) override {
        if (Valid(index)) rows_[static_cast<size_t>(index)].note = text;
    }
    void Focus() override {}
    std::vector<std::string> Texts() const;

private:
    struct Item {
        std::string text;
        int32_t data = 0;
        bool ticked = false;
        std::string note;
    };
    bool Valid(int index) const { return index >= 0 && index < ListCount(); }
    const Item& Row(int index) const { return rows_[static_cast<size_t>(index)]; }
    std::vector<Item> rows_;
    int listIndex_ = -1;
};

// Every item of a form's menus lands in one map by name, at whatever depth it is added.
class FakeMenuItem : public MenuItem {
public:
    using Items = std::map<std::string, std::unique_ptr<FakeMenuItem>>;
    explicit FakeMenuItem(Items& all) : all_(all) {}
    MenuItem& AddItem(const std::string& name, const std::string&) override {
        return *(all_[name] = std::make_unique<FakeMenuItem>(all_));
    }

private:
    Items& all_;
};

class RecordingToolkit;

class FakeForm : public Form {
public:
    FakeForm(RecordingToolkit& toolkit, std::string name)
        : name(std::move(name)), toolkit_(toolkit) {}
    ~FakeForm() override;

    Label& AddLabel(const LabelLayout& layout) override;
    Picture& AddPicture(const PictureLayout& layout) override;
    CheckList& AddCheckList(const std::string& name, const Box&, const FontStyle&, int) override;
    TextBox& AddTextBox(const std::string& name, const Box&, const FontStyle&) override {
        return *(textBoxes_[name] = std::make_unique<FakeTextBox>());
    }
    void AddShortcut(const std::string& keys, std::function<void()> handler) override {
        shortcuts_[keys] = std::move(handler);
    }
    ImageList& AddImageList(const std::string&, int, int) override;
    Timer& AddTimer(const std::string&, int, bool) override;
    void AddRectangle(const std::string&, const Box&, std::optional<Rgb>,
                      std::optional<Rgb>) override {}
    void AddLine(const std::string&, int, int, int, int, Rgb) override {}
    MenuItem& AddMenu(const std::string& name, const std::string& caption) override;
    void Show() override {}
    void ShowModal() override;
    void Unload() override;
    bool Visible() const override { return !closed; }

    // Controls by name; a missing name throws, which fails the test that asks for it.
    FakeLabel& label(const std::string& name) { return *labels_.at(name); }
    FakePicture& picture(const std::string& name) { return *pictures_.at(name); }
    FakeCheckList& checkList(const std::string& name) { return *lists_.at(name); }
    FakeMenuItem& menu(const std::string& name) { return *menuItems_.at(name); }
    FakeTextBox& textBox(const std::string& name) { return *textBoxes_.at(name); }
    void Press(const std::string& keys) { shortcuts_.at(keys)(); }
    // Runs the form's timers until none is enabled, as the message loop would.
    void RunTimers();

    const std::string name;
    bool closed = false;

private:
    RecordingToolkit& toolkit_;
    std::map<std::string, std::unique_ptr<FakeLabel>> labels_;
    std::map<std::string, std::unique_ptr<FakePicture>> pictures_;
    std::map<std::string, std::unique_ptr<FakeCheckList>> lists_;
    std::map<std::string, std::unique_ptr<FakeTextBox>> textBoxes_;
    std::map<std::string, std::function<void()>> shortcuts_;
    std::vector<std::unique_ptr<FakeImageList>> imageLists_;
    std::vector<std::unique_ptr<FakeTimer>> timers_;
    FakeMenuItem::Items menuItems_;
    FakeMenuItem menus_{menuItems_};
};

class RecordingToolkit : public Toolkit {
public:
    std::unique_ptr<Form> CreateForm(const FormLayout& layout) override;
    void MsgBox(const std::string& text, MessageStyle style) override {
        messages.push_back({text, style});
    }
    bool AskYesNo(const std::string& text) override {
        messages.push_back({text, MessageStyle::Plain});
        return answer;
    }
    void EndProgram() override { ++ended; }
    int Run() override { return 0; }

    // The newest form of that name; throws when there is none.
    FakeForm& form(const std::string& name);

    // Runs while a form is shown modally, as the user would act on it. Without it, the user
    // closes the form from its close box.
    std::function<void(FakeForm&)> onModal;
    bool answer = false;  // to AskYesNo
    int ended = 0;        // EndProgram calls

    struct Message {
        std::string text;
        MessageStyle style;
    };
    std::vector<Message> messages;

private:
    friend class FakeForm;
    std::vector<FakeForm*> forms_;
};
