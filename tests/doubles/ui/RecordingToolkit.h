#pragma once
// A toolkit that keeps its forms and controls in memory and records what the program does with
// them. Tests act as the user through the User* calls, which fire the same notifications the
// real controls fire; the check-box list notifies program changes inside the call, like the real
// one.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Toolkit.h"

class RecordingToolkit;

class FakeLabel : public Label {
public:
    explicit FakeLabel(LabelLayout layout) : layout(std::move(layout)), caption_(this->layout.caption) {}
    void SetCaption(const std::string& text) override { caption_ = text; }
    std::string Caption() const override { return caption_; }
    void UserClick() {
        if (Click) Click();
    }
    LabelLayout layout;

private:
    std::string caption_;
};

class FakeImageList : public ImageList {
public:
    int Add(const Drawing& picture) override {
        pictures.push_back(picture);
        return Count();
    }
    int Count() const override { return static_cast<int>(pictures.size()); }
    std::vector<Drawing> pictures;
};

class FakePicture : public Picture {
public:
    explicit FakePicture(PictureLayout layout) : layout(std::move(layout)) {}
    void SetDrawing(const Drawing& picture) override {
        drawing = picture;
        shownIndex = 0;
    }
    void ShowImage(const ImageList& list, int index) override {
        if (index < 1 || index > list.Count()) return;
        shownIndex = index;
    }
    void UserClick() {
        if (Click) Click();
    }
    PictureLayout layout;
    Drawing drawing;
    int shownIndex = 0;  // 0: none shown from a list
};

class FakeCheckList : public CheckList {
public:
    void AddItem(const std::string& text) override;
    int NewIndex() const override { return newIndex_; }
    int ListCount() const override { return static_cast<int>(rows_.size()); }
    std::string List(int index) const override;
    int32_t ItemData(int index) const override;
    void SetItemData(int index, int32_t value) override;
    int ListIndex() const override { return listIndex_; }
    void SetListIndex(int index) override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool ticked) override;
    void Clear() override;

    // The user's click on a row, and the user's tick (click on the box or Space).
    void UserSelectRow(int index) { SetListIndex(index); }
    void UserTick(int index, bool ticked) { SetSelected(index, ticked); }
    std::vector<std::string> Texts() const;

private:
    struct Row {
        std::string text;
        int32_t data = 0;
        bool ticked = false;
    };
    bool Valid(int index) const { return index >= 0 && index < ListCount(); }
    std::vector<Row> rows_;
    int newIndex_ = -1;
    int listIndex_ = -1;
};

class FakeTimer : public Timer {
public:
    FakeTimer(int interval, bool enabled) : interval(interval), enabled_(enabled) {}
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    // The interval has passed: ticks when enabled.
    void Elapse() {
        if (enabled_ && Tick) Tick();
    }
    int interval;

private:
    bool enabled_;
};

class FakeMenuItem : public MenuItem {
public:
    FakeMenuItem(std::string name, std::string caption)
        : name(std::move(name)), caption(std::move(caption)) {}
    MenuItem& AddItem(const std::string& name, const std::string& caption) override;
    void UserClick() {
        if (Click) Click();
    }
    std::string name;
    std::string caption;
    std::vector<std::unique_ptr<FakeMenuItem>> items;
};

class FakeForm : public Form {
public:
    FakeForm(RecordingToolkit& toolkit, FormLayout layout) : layout(std::move(layout)), toolkit_(toolkit) {}
    ~FakeForm() override;

    Label& AddLabel(const LabelLayout& layout) override;
    Picture& AddPicture(const PictureLayout& layout) override;
    CheckList& AddCheckList(const std::string& name, const Box& box,
                            const FontStyle& font) override;
    ImageList& AddImageList(const std::string& name, int width, int height) override;
    Timer& AddTimer(const std::string& name, int intervalMs, bool enabled) override;
    void AddRectangle(const std::string& name, const Box& box, std::optional<Rgb> fill,
                      std::optional<Rgb> frame) override;
    void AddLine(const std::string& name, int x1, int y1, int x2, int y2, Rgb colour) override;
    MenuItem& AddMenu(const std::string& name, const std::string& caption) override;
    void Show() override;
    void ShowModal() override;
    void Unload() override;
    bool Visible() const override { return visible_; }

    // Controls by name; a missing name fails the test that asks for it.
    FakeLabel& label(const std::string& name);
    FakePicture& picture(const std::string& name);
    FakeCheckList& checkList(const std::string& name);
    FakeImageList& imageList(const std::string& name);
    FakeTimer& timer(const std::string& name);
    FakeMenuItem& menu(const std::string& name);  // searched through the whole menu tree
    bool HasControl(const std::string& name) const;

    FormLayout layout;
    std::vector<std::unique_ptr<FakeMenuItem>> menus;
    std::vector<std::string> controlOrder;  // names in creation order
    bool modal = false;
    bool closed = false;

private:
    RecordingToolkit& toolkit_;
    bool visible_ = false;
    std::map<std::string, std::unique_ptr<FakeLabel>> labels_;
    std::map<std::string, std::unique_ptr<FakePicture>> pictures_;
    std::map<std::string, std::unique_ptr<FakeCheckList>> lists_;
    std::map<std::string, std::unique_ptr<FakeImageList>> imageLists_;
    std::map<std::string, std::unique_ptr<FakeTimer>> timers_;
};

class RecordingToolkit : public Toolkit {
public:
    std::unique_ptr<Form> CreateForm(const FormLayout& layout) override;
    void MsgBox(const std::string& text, MessageStyle style) override;
    void EndProgram() override;
    int Run() override { return 0; }

    // The newest living form of that name; fails the test when there is none.
    FakeForm& form(const std::string& name);
    bool HasForm(const std::string& name) const;

    // Runs while a form is shown modally, as the user would act on it. Without it, the user
    // closes the form from its close box.
    std::function<void(FakeForm&)> onModal;

    struct Message {
        std::string text;
        MessageStyle style;
    };
    std::vector<Message> messages;
    std::vector<std::string> log;  // "show NAME", "modal NAME", "unload NAME", "msgbox TEXT", "end"
    bool ended = false;

private:
    friend class FakeForm;
    std::vector<FakeForm*> forms_;
};
