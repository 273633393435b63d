#include "platform/win32/toolkit/Win32Toolkit.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <iterator>
#include <map>
#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/toolkit/GdiDrawing.h"

namespace win32 {
namespace {

const wchar_t* const kFormClass = L"OrvikForm";
const wchar_t* const kLabelClass = L"OrvikLabel";
const wchar_t* const kPictureClass = L"OrvikPicture";
constexpr UINT kFirstMenuId = 1000;  // clear of IDOK and IDCANCEL, which dialogs send
// Posted to a form to let a list it holds draw again (lParam: the list's window).
constexpr UINT kResumeDrawing = WM_APP + 1;

class Win32Toolkit;
class Win32Form;

// Runs a handler of the program. Nothing may escape into the window procedure that called it:
// what does is shown to the user, and the program goes on.
template <class F>
void Guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        const std::wstring text =
            Widen(std::string("An unexpected error occurred:\n\n") + e.what());
        MessageBoxW(GetActiveWindow(), text.c_str(), Widen(kProductName).c_str(),
                    MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(GetActiveWindow(), L"An unexpected error occurred.",
                    Widen(kProductName).c_str(), MB_OK | MB_ICONERROR);
    }
}

// A control that is a child window of its own class, painted by us.
class PaintedControl {
public:
    PaintedControl(Win32Form& form, const wchar_t* windowClass, const std::string& text,
                   const Box& box, bool tabStop);
    virtual ~PaintedControl() = default;
    HWND hwnd() const { return hwnd_; }
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void Paint(HDC dc, const RECT& client) = 0;
    virtual void Clicked() = 0;
    virtual Rgb Back() const = 0;
    void DrawFocus(HDC dc, const RECT& client) const;
    Win32Form& form_;
    HWND hwnd_ = nullptr;
    bool tabStop_;

private:
    bool pressed_ = false;
};

class Win32Label final : public Label, public PaintedControl {
public:
    Win32Label(Win32Form& form, const LabelLayout& layout);
    void SetCaption(const std::string& text) override;
    std::string Caption() const override { return caption_; }

private:
    void Paint(HDC dc, const RECT& client) override;
    void Clicked() override {
        if (Click) Guarded(Click);
    }
    Rgb Back() const override { return layout_.backColour; }
    LabelLayout layout_;
    std::string caption_;
    HFONT font_;
};

class Win32ImageList final : public ImageList {
public:
    Win32ImageList(int width, int height)
        : width_(width), height_(height),
          list_(ImageList_Create(width, height, ILC_COLOR32, 4, 4)) {}
    ~Win32ImageList() override {
        if (list_) ImageList_Destroy(list_);
    }
    int Add(const Drawing& picture) override {
        GdiObject<HBITMAP> bitmap(RenderDrawing(picture, width_, height_));
        if (!list_ || !bitmap.Get()) return 0;
        return ImageList_Add(list_, bitmap.Get(), nullptr) + 1;
    }
    int Count() const override { return list_ ? ImageList_GetImageCount(list_) : 0; }
    HIMAGELIST Handle() const { return list_; }

private:
    int width_;
    int height_;
    HIMAGELIST list_;
};

class Win32Picture final : public Picture, public PaintedControl {
public:
    Win32Picture(Win32Form& form, const PictureLayout& layout, int width, int height)
        : PaintedControl(form, kPictureClass, layout.name, layout.box, layout.actsAsButton),
          layout_(layout), width_(width), height_(height) {}
    void SetDrawing(const Drawing& picture) override {
        bitmap_ = GdiObject<HBITMAP>(RenderDrawing(picture, width_, height_));
        list_ = nullptr;
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
    void ShowImage(const ImageList& list, int index) override {
        const auto* images = dynamic_cast<const Win32ImageList*>(&list);
        if (!images || index < 1 || index > images->Count()) return;
        list_ = images;
        index_ = index;
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

private:
    void Paint(HDC dc, const RECT& client) override;
    void Clicked() override {
        if (Click) Guarded(Click);
    }
    Rgb Back() const override { return layout_.backColour; }
    PictureLayout layout_;
    int width_;
    int height_;
    GdiObject<HBITMAP> bitmap_;
    const Win32ImageList* list_ = nullptr;
    int index_ = 0;
};

// The check-box list on a report-style list view with one column, and a second for the notes. The
// program's own changes are made with the view's notifications ignored and then notified here,
// once, inside the call: what the view reports itself (Windows and Wine differ there) never counts
// twice.
class Win32CheckList final : public CheckList {
public:
    Win32CheckList(Win32Form& form, const Box& box, HFONT font, int noteWidth);
    HWND hwnd() const { return hwnd_; }
    LRESULT OnNotify(const NMHDR& header);

    void AddItem(const std::string& text) override;
    int NewIndex() const override { return newIndex_; }
    int ListCount() const override { return count_; }
    std::string List(int index) const override;
    int32_t ItemData(int index) const override;
    void SetItemData(int index, int32_t value) override;
    int ListIndex() const override { return current_; }
    void SetListIndex(int index) override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool ticked) override;
    void Clear() override;
    std::string Note(int index) const override;
    void SetNote(int index, const std::string& text) override;
    void Focus() override { SetFocus(hwnd_); }
    void ResumeDrawing();
    void Destroyed() { count_ = 0; }  // its rows went with the window

private:
    bool Valid(int index) const { return index >= 0 && index < ListCount(); }
    void SetState(int index, UINT state, UINT mask);
    // A view on screen redraws at every row the program adds, ticks or removes, which makes
    // filling thousands of rows take minutes under Wine. Drawing is held from the first such
    // change until the program is back in its message loop; then the view is drawn once.
    void HoldDrawing();
    HWND hwnd_;
    bool held_ = false;
    int quiet_ = 0;  // > 0 while the program changes the view itself
    int count_ = 0;  // rows are added and removed only through this class
    int newIndex_ = -1;
    int current_ = -1;
};

// A one-line edit control. The program's own SetText is told once, like the user's typing.
class Win32TextBox final : public TextBox {
public:
    Win32TextBox(Win32Form& form, const Box& box, HFONT font);
    HWND hwnd() const { return hwnd_; }
    std::string Text() const override;
    void SetText(const std::string& text) override;
    void Focus() override { SetFocus(hwnd_); }
    void Changed() {
        if (quiet_ == 0 && Change) Guarded(Change);
    }

private:
    HWND hwnd_;
    int quiet_ = 0;
};

class Win32Timer final : public Timer {
public:
    Win32Timer(Win32Form& form, UINT_PTR id, int interval, bool enabled)
        : form_(form), id_(id), interval_(interval), enabled_(enabled) {}
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }
    void Start();
    void Stop();
    void Fire() {
        if (enabled_ && Tick) Guarded(Tick);
    }

private:
    Win32Form& form_;
    UINT_PTR id_;
    int interval_;
    bool enabled_;
};

class Win32MenuItem final : public MenuItem {
public:
    Win32MenuItem(Win32Form& form, std::string caption) : form_(form), caption_(caption) {}
    MenuItem& AddItem(const std::string& name, const std::string& caption) override;
    // Appends this item to a menu; leaves get command ids, items with children pop up.
    void AppendTo(HMENU parent);

private:
    Win32Form& form_;
    std::string caption_;
    std::vector<std::unique_ptr<Win32MenuItem>> items_;
};

struct Decoration {
    RECT rect;
    std::optional<Rgb> fill;
    std::optional<Rgb> frame;
    bool line = false;
};

class Win32Form final : public Form {
public:
    Win32Form(Win32Toolkit& toolkit, const FormLayout& layout);
    ~Win32Form() override;

    Label& AddLabel(const LabelLayout& layout) override;
    Picture& AddPicture(const PictureLayout& layout) override;
    CheckList& AddCheckList(const std::string& name, const Box& box, const FontStyle& font,
                            int noteWidth) override;
    TextBox& AddTextBox(const std::string& name, const Box& box, const FontStyle& font) override;
    void AddShortcut(const std::string& keys, std::function<void()> handler) override;
    // Runs the handler of a shortcut key pressed in this form; false when it is none.
    bool Shortcut(const MSG& msg);
    ImageList& AddImageList(const std::string& name, int width, int height) override;
    Timer& AddTimer(const std::string& name, int intervalMs, bool enabled) override;
    void AddRectangle(const std::string& name, const Box& box, std::optional<Rgb> fill,
                      std::optional<Rgb> frame) override;
    void AddLine(const std::string& name, int x1, int y1, int x2, int y2, Rgb colour) override;
    MenuItem& AddMenu(const std::string& name, const std::string& caption) override;
    void Show() override;
    void ShowModal() override;
    void Unload() override;
    bool Visible() const override { return hwnd_ && IsWindowVisible(hwnd_); }

    HWND hwnd() const { return hwnd_; }
    bool Open() const { return hwnd_ != nullptr; }
    bool IsDialog() const { return layout_.kind == FormKind::Dialog; }
    Win32Toolkit& toolkit() { return toolkit_; }
    int Scale(int value) const;
    RECT ScaleBox(const Box& box) const;
    HFONT Font(const FontStyle& font);
    UINT AddCommand(Win32MenuItem& item);
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // A menu command, a text box's change or a dialog's Escape; false for anything else.
    bool Command(WPARAM wParam, LPARAM lParam);
    void PaintDecorations(HDC dc);
    void Place();
    void Destroyed();
    void ReleaseOthers();

    Win32Toolkit& toolkit_;
    FormLayout layout_;
    HWND hwnd_ = nullptr;
    bool shown_ = false;
    bool dying_ = false;
    std::vector<HWND> disabled_;  // forms this modal form keeps from input
    HWND firstFocus_ = nullptr;
    std::vector<std::unique_ptr<PaintedControl>> painted_;
    std::vector<std::unique_ptr<Win32CheckList>> lists_;
    std::vector<std::unique_ptr<Win32TextBox>> textBoxes_;
    std::vector<std::pair<UINT, std::function<void()>>> shortcuts_;  // key, Ctrl with a letter
    std::vector<std::unique_ptr<Win32ImageList>> images_;
    std::vector<std::unique_ptr<Win32Timer>> timers_;
    std::vector<std::unique_ptr<Win32MenuItem>> menus_;
    std::vector<Win32MenuItem*> commands_;
    std::vector<Decoration> decorations_;
};

class Win32Toolkit final : public Toolkit {
public:
    Win32Toolkit();
    ~Win32Toolkit() override;
    std::unique_ptr<Form> CreateForm(const FormLayout& layout) override;
    void MsgBox(const std::string& text, MessageStyle style) override;
    bool AskYesNo(const std::string& text) override;
    void EndProgram() override;
    int Run() override;

    int dpi() const { return dpi_; }
    HFONT Font(int pixelHeight, bool bold);
    void Opened(Win32Form* form) {
        open_.push_back(form);
        everOpened_ = true;
    }
    // quitWhenLast: false for a form destroyed with its object, which ends nothing.
    void Closed(Win32Form* form, bool quitWhenLast);
    const std::vector<Win32Form*>& open() const { return open_; }
    HWND ActiveForm() const;
    // One step of the message loop; false once WM_QUIT has come.
    bool Pump();

private:
    int dpi_ = 96;
    std::map<std::pair<int, bool>, GdiObject<HFONT>> fonts_;
    std::vector<Win32Form*> open_;
    bool quit_ = false;
    bool everOpened_ = false;
    int exitCode_ = 0;
};

// ---- painted controls --------------------------------------------------------------------

LRESULT CALLBACK ControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<PaintedControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (control && control->hwnd() == hwnd) return control->Handle(message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

PaintedControl::PaintedControl(Win32Form& form, const wchar_t* windowClass, const std::string& text,
                               const Box& box, bool tabStop)
    : form_(form), tabStop_(tabStop) {
    const RECT r = form.ScaleBox(box);
    hwnd_ = CreateWindowExW(0, windowClass, Widen(text).c_str(),
                            WS_CHILD | WS_VISIBLE | (tabStop ? WS_TABSTOP : 0), r.left, r.top,
                            r.right - r.left, r.bottom - r.top, form.hwnd(), nullptr,
                            GetModuleHandleW(nullptr), this);
}

void PaintedControl::DrawFocus(HDC dc, const RECT& client) const {
    if (!tabStop_ || GetFocus() != hwnd_) return;
    RECT focus = client;
    InflateRect(&focus, -2, -2);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    DrawFocusRect(dc, &focus);
}

LRESULT PaintedControl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            RECT client;
            GetClientRect(hwnd_, &client);
            Paint(dc, client);
            DrawFocus(dc, client);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;  // Paint covers every pixel
        case WM_LBUTTONDOWN:
            pressed_ = true;
            if (tabStop_) SetFocus(hwnd_);
            return 0;
        case WM_LBUTTONUP: {
            const bool wasPressed = pressed_;
            pressed_ = false;
            RECT client;
            GetClientRect(hwnd_, &client);
            POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (wasPressed && PtInRect(&client, at)) Clicked();
            return 0;
        }
        case WM_GETDLGCODE: {
            // Enter and Space press a control that acts as a button; Tab still moves on.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (tabStop_ && msg && msg->message == WM_KEYDOWN &&
                (msg->wParam == VK_RETURN || msg->wParam == VK_SPACE))
                return DLGC_WANTMESSAGE;
            return tabStop_ ? DLGC_BUTTON : DLGC_STATIC;
        }
        case WM_KEYDOWN:
            if (tabStop_ && (wParam == VK_RETURN || wParam == VK_SPACE)) {
                Clicked();
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: InvalidateRect(hwnd_, nullptr, FALSE); return 0;
        default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

Win32Label::Win32Label(Win32Form& form, const LabelLayout& layout)
    : PaintedControl(form, kLabelClass, layout.caption, layout.box, layout.actsAsButton),
      layout_(layout), caption_(layout.caption), font_(form.Font(layout.font)) {}

void Win32Label::SetCaption(const std::string& text) {
    caption_ = text;
    SetWindowTextW(hwnd_, Widen(text).c_str());
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32Label::Paint(HDC dc, const RECT& client) {
    GdiObject<HBRUSH> back(CreateSolidBrush(ToColorRef(layout_.backColour)));
    FillRect(dc, &client, back.Get());
    HGDIOBJ old = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ToColorRef(layout_.foreColour));
    UINT format = DT_NOPREFIX | (layout_.align == TextAlign::Centre ? DT_CENTER : DT_LEFT);
    if (layout_.wrap) {
        format |= DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS;
    } else {
        format |= DT_SINGLELINE | DT_END_ELLIPSIS | (layout_.actsAsButton ? DT_VCENTER : 0);
    }
    RECT text = client;
    const std::wstring wide = Widen(caption_);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text, format);
    SelectObject(dc, old);
}

void Win32Picture::Paint(HDC dc, const RECT& client) {
    GdiObject<HBRUSH> back(CreateSolidBrush(ToColorRef(layout_.backColour)));
    FillRect(dc, &client, back.Get());
    if (list_ && list_->Handle()) {
        ImageList_Draw(list_->Handle(), index_ - 1, dc, 0, 0, ILD_NORMAL);
    } else if (bitmap_.Get()) {
        MemoryDc source;
        source.Select(bitmap_.Get());
        BitBlt(dc, 0, 0, width_, height_, source.Get(), 0, 0, SRCCOPY);
    }
}

// ---- check-box list ----------------------------------------------------------------------

Win32CheckList::Win32CheckList(Win32Form& form, const Box& box, HFONT font, int noteWidth) {
    const RECT r = form.ScaleBox(box);
    hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LVS_REPORT |
                                LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                            r.left, r.top, r.right - r.left, r.bottom - r.top, form.hwnd(), nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
    SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    RECT client;
    GetClientRect(hwnd_, &client);
    const int note = noteWidth > 0 ? form.Scale(noteWidth) : 0;
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL) - note;
    SendMessageW(hwnd_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    if (note > 0) {
        column.cx = note;
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    }
}

std::string Win32CheckList::Note(int index) const {
    if (!Valid(index)) return {};
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    const auto length = SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(&item));
    return Narrow(buffer, static_cast<size_t>(length));
}

void Win32CheckList::SetNote(int index, const std::string& text) {
    if (!Valid(index) || Note(index) == text) return;
    HoldDrawing();
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = wide.data();
    ++quiet_;
    SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    --quiet_;
}

void Win32CheckList::SetState(int index, UINT state, UINT mask) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
}

void Win32CheckList::HoldDrawing() {
    // Its own style, not IsWindowVisible: a list filled before its form shows redraws too.
    if (held_ || !(GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE)) return;
    if (!PostMessageW(GetParent(hwnd_), kResumeDrawing, 0, reinterpret_cast<LPARAM>(hwnd_))) return;
    held_ = true;
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
}

void Win32CheckList::ResumeDrawing() {
    if (!held_) return;
    held_ = false;
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32CheckList::AddItem(const std::string& text) {
    HoldDrawing();
    std::wstring wide = Widen(text);
    // The unticked box comes with the row itself (a list view with check boxes gives every new
    // row state image 1 whatever it is asked), not from a second message per row.
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = count_;
    item.pszText = wide.data();
    item.state = INDEXTOSTATEIMAGEMASK(1);
    item.stateMask = LVIS_STATEIMAGEMASK;
    ++quiet_;
    const int index =
        static_cast<int>(SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    --quiet_;
    if (index < 0) return;
    ++count_;
    newIndex_ = index;
}

std::string Win32CheckList::List(int index) const {
    if (!Valid(index)) return {};
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    const auto length = SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(&item));
    return Narrow(buffer, static_cast<size_t>(length));
}

int32_t Win32CheckList::ItemData(int index) const {
    if (!Valid(index)) return 0;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    SendMessageW(hwnd_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return static_cast<int32_t>(item.lParam);
}

void Win32CheckList::SetItemData(int index, int32_t value) {
    if (!Valid(index)) return;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.lParam = value;
    ++quiet_;
    SendMessageW(hwnd_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    --quiet_;
}

void Win32CheckList::SetListIndex(int index) {
    if (index != -1 && !Valid(index)) return;
    if (index == current_) return;
    ++quiet_;
    if (index == -1) {
        SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    } else {
        SetState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    }
    --quiet_;
    current_ = index;
    if (Click) Guarded(Click);
}

bool Win32CheckList::Selected(int index) const {
    if (!Valid(index)) return false;
    const auto state =
        SendMessageW(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK);
    return ((static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void Win32CheckList::SetSelected(int index, bool ticked) {
    if (!Valid(index) || Selected(index) == ticked) return;
    HoldDrawing();
    ++quiet_;
    SetState(index, INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1), LVIS_STATEIMAGEMASK);
    --quiet_;
    if (ItemCheck) Guarded([&] { ItemCheck(index); });
}

void Win32CheckList::Clear() {
    HoldDrawing();
    ++quiet_;
    SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
    --quiet_;
    count_ = 0;
    newIndex_ = -1;
    current_ = -1;
}

LRESULT Win32CheckList::OnNotify(const NMHDR& header) {
    // Rows go only through Clear, which needs no word per row.
    if (header.code == LVN_DELETEALLITEMS) return TRUE;
    if (header.code != LVN_ITEMCHANGED || quiet_ > 0) return 0;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (!(change.uChanged & LVIF_STATE) || change.iItem < 0) return 0;
    const UINT oldImage = (change.uOldState & LVIS_STATEIMAGEMASK) >> 12;
    const UINT newImage = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
    // A tick the user changed (state image 1 unticked, 2 ticked; 0 is a row being made).
    if (oldImage != 0 && newImage != 0 && oldImage != newImage && ItemCheck) {
        const int row = change.iItem;
        Guarded([&] { ItemCheck(row); });
    }
    // A row the user made current.
    if ((change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED) &&
        change.iItem != current_) {
        current_ = change.iItem;
        if (Click) Guarded(Click);
    }
    return 0;
}

// ---- text box ----------------------------------------------------------------------------

Win32TextBox::Win32TextBox(Win32Form& form, const Box& box, HFONT font) {
    const RECT r = form.ScaleBox(box);
    hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, form.hwnd(), nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

std::string Win32TextBox::Text() const {
    const int length = GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd_, text.data(), length + 1);
    return Narrow(text.data(), static_cast<size_t>(std::max(got, 0)));
}

void Win32TextBox::SetText(const std::string& text) {
    if (text == Text()) return;
    ++quiet_;
    SetWindowTextW(hwnd_, Widen(text).c_str());
    --quiet_;
    if (Change) Guarded(Change);
}

// ---- timer and menus ---------------------------------------------------------------------

void Win32Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (enabled_) {
        Start();
    } else {
        Stop();
    }
}

void Win32Timer::Start() {
    if (enabled_ && form_.Open() && form_.Visible())
        SetTimer(form_.hwnd(), id_, static_cast<UINT>(interval_), nullptr);
}

void Win32Timer::Stop() {
    if (form_.Open()) KillTimer(form_.hwnd(), id_);
}

MenuItem& Win32MenuItem::AddItem(const std::string&, const std::string& caption) {
    items_.push_back(std::make_unique<Win32MenuItem>(form_, caption));
    return *items_.back();
}

void Win32MenuItem::AppendTo(HMENU parent) {
    const std::wstring text = Widen(caption_);
    if (items_.empty()) {
        AppendMenuW(parent, MF_STRING, form_.AddCommand(*this), text.c_str());
        return;
    }
    HMENU popup = CreatePopupMenu();
    for (auto& item : items_) item->AppendTo(popup);
    AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), text.c_str());
}

// ---- forms -------------------------------------------------------------------------------

Win32Form::Win32Form(Win32Toolkit& toolkit, const FormLayout& layout)
    : toolkit_(toolkit), layout_(layout) {
    DWORD style = WS_CLIPCHILDREN;
    DWORD extended = WS_EX_CONTROLPARENT;
    HWND owner = nullptr;
    switch (layout.kind) {
        case FormKind::Main:
            style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
            break;
        case FormKind::Dialog:
            style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
            extended |= WS_EX_DLGMODALFRAME;
            owner = toolkit.ActiveForm();
            break;
        case FormKind::Splash: style |= WS_POPUP; break;
    }
    hwnd_ = CreateWindowExW(extended, kFormClass, Widen(layout.caption).c_str(), style, 0, 0,
                            Scale(layout.width), Scale(layout.height), owner, nullptr,
                            GetModuleHandleW(nullptr), this);
    // Without a display no window can be made: the form then stays closed and shows nothing.
    if (hwnd_) toolkit_.Opened(this);
}

Win32Form::~Win32Form() {
    dying_ = true;
    if (hwnd_) DestroyWindow(hwnd_);
}

int Win32Form::Scale(int value) const { return MulDiv(value, toolkit_.dpi(), 96); }

RECT Win32Form::ScaleBox(const Box& box) const {
    return RECT{Scale(box.x), Scale(box.y), Scale(box.x + box.width), Scale(box.y + box.height)};
}

HFONT Win32Form::Font(const FontStyle& font) {
    const int pixels = static_cast<int>(std::lround(font.points * toolkit_.dpi() / 72.0));
    return toolkit_.Font(pixels, font.bold);
}

UINT Win32Form::AddCommand(Win32MenuItem& item) {
    commands_.push_back(&item);
    return kFirstMenuId + static_cast<UINT>(commands_.size() - 1);
}

Label& Win32Form::AddLabel(const LabelLayout& layout) {
    auto label = std::make_unique<Win32Label>(*this, layout);
    if (layout.firstFocus) firstFocus_ = label->hwnd();
    Label& result = *label;
    painted_.push_back(std::move(label));
    return result;
}

Picture& Win32Form::AddPicture(const PictureLayout& layout) {
    const RECT r = ScaleBox(layout.box);
    auto picture =
        std::make_unique<Win32Picture>(*this, layout, r.right - r.left, r.bottom - r.top);
    Picture& result = *picture;
    painted_.push_back(std::move(picture));
    return result;
}

CheckList& Win32Form::AddCheckList(const std::string&, const Box& box, const FontStyle& font,
                                   int noteWidth) {
    lists_.push_back(std::make_unique<Win32CheckList>(*this, box, Font(font), noteWidth));
    return *lists_.back();
}

TextBox& Win32Form::AddTextBox(const std::string&, const Box& box, const FontStyle& font) {
    textBoxes_.push_back(std::make_unique<Win32TextBox>(*this, box, Font(font)));
    return *textBoxes_.back();
}

void Win32Form::AddShortcut(const std::string& keys, std::function<void()> handler) {
    const std::string ctrl = "Ctrl+";
    UINT key = VK_ESCAPE;
    if (keys.starts_with(ctrl) && keys.size() == ctrl.size() + 1) {
        key = static_cast<UINT>(std::toupper(static_cast<unsigned char>(keys.back())));
    }
    shortcuts_.emplace_back(key, std::move(handler));
}

bool Win32Form::Shortcut(const MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    for (const auto& [key, handler] : shortcuts_) {
        if (msg.wParam != key || ctrl != (key != VK_ESCAPE)) continue;
        Guarded(handler);
        return true;
    }
    return false;
}

ImageList& Win32Form::AddImageList(const std::string&, int width, int height) {
    images_.push_back(std::make_unique<Win32ImageList>(Scale(width), Scale(height)));
    return *images_.back();
}

Timer& Win32Form::AddTimer(const std::string&, int intervalMs, bool enabled) {
    timers_.push_back(std::make_unique<Win32Timer>(*this, timers_.size() + 1, intervalMs, enabled));
    return *timers_.back();
}

void Win32Form::AddRectangle(const std::string&, const Box& box, std::optional<Rgb> fill,
                             std::optional<Rgb> frame) {
    decorations_.push_back({ScaleBox(box), fill, frame, false});
}

void Win32Form::AddLine(const std::string&, int x1, int y1, int x2, int y2, Rgb colour) {
    decorations_.push_back(
        {RECT{Scale(x1), Scale(y1), Scale(x2), Scale(y2)}, std::nullopt, colour, true});
}

MenuItem& Win32Form::AddMenu(const std::string&, const std::string& caption) {
    menus_.push_back(std::make_unique<Win32MenuItem>(*this, caption));
    return *menus_.back();
}

void Win32Form::Place() {
    if (!menus_.empty() && !GetMenu(hwnd_)) {
        HMENU bar = CreateMenu();
        for (auto& menu : menus_) menu->AppendTo(bar);
        SetMenu(hwnd_, bar);
    }
    RECT frame{0, 0, Scale(layout_.width), Scale(layout_.height)};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const DWORD extended = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    AdjustWindowRectEx(&frame, style, GetMenu(hwnd_) != nullptr, extended);
    const int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    // The client area is what counts: correct for a menu bar that took more than one line.
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(hwnd_, &client);
    height += Scale(layout_.height) - client.bottom;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::Show() {
    if (!hwnd_) return;
    if (!shown_) {
        shown_ = true;
        Place();
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    for (auto& timer : timers_) timer->Start();
    // The keyboard starts where the form says, else at the first control that takes it.
    HWND first = firstFocus_ ? firstFocus_ : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (first) SetFocus(first);
}

void Win32Form::ShowModal() {
    if (!hwnd_) return;
    for (Win32Form* other : toolkit_.open()) {
        if (other != this && other->Open() && IsWindowEnabled(other->hwnd())) {
            EnableWindow(other->hwnd(), FALSE);
            disabled_.push_back(other->hwnd());
        }
    }
    Show();
    while (hwnd_ && toolkit_.Pump()) {
    }
}

void Win32Form::ReleaseOthers() {
    for (HWND other : disabled_) {
        if (IsWindow(other)) EnableWindow(other, TRUE);
    }
    disabled_.clear();
}

void Win32Form::Unload() {
    if (!hwnd_) return;
    // The forms it kept from input take it back first, so that Windows hands the activation to
    // them and not to another program.
    ReleaseOthers();
    DestroyWindow(hwnd_);
}

void Win32Form::Destroyed() {
    ReleaseOthers();
    for (auto& timer : timers_) timer->Stop();
    for (auto& list : lists_) list->Destroyed();
    hwnd_ = nullptr;
    toolkit_.Closed(this, !dying_);
    if (!dying_ && Unloaded) Guarded(Unloaded);
}

void Win32Form::PaintDecorations(HDC dc) {
    for (const Decoration& d : decorations_) {
        if (d.line) {
            GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, ToColorRef(*d.frame)));
            HGDIOBJ old = SelectObject(dc, pen.Get());
            MoveToEx(dc, d.rect.left, d.rect.top, nullptr);
            LineTo(dc, d.rect.right, d.rect.bottom);
            SelectObject(dc, old);
            continue;
        }
        if (d.fill) {
            GdiObject<HBRUSH> brush(CreateSolidBrush(ToColorRef(*d.fill)));
            FillRect(dc, &d.rect, brush.Get());
        }
        if (d.frame) {
            GdiObject<HBRUSH> brush(CreateSolidBrush(ToColorRef(*d.frame)));
            FrameRect(dc, &d.rect, brush.Get());
        }
    }
}

bool Win32Form::Command(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == EN_CHANGE) {
        for (auto& box : textBoxes_) {
            if (box->hwnd() == reinterpret_cast<HWND>(lParam)) box->Changed();
        }
        return true;
    }
    if (lParam == 0 && LOWORD(wParam) >= kFirstMenuId) {
        const size_t index = LOWORD(wParam) - kFirstMenuId;
        if (index < commands_.size() && commands_[index]->Click) Guarded(commands_[index]->Click);
        return true;
    }
    // Escape in a dialog closes it like its close box.
    if (LOWORD(wParam) == IDCANCEL && IsDialog()) {
        Unload();
        return true;
    }
    return false;
}

LRESULT CALLBACK Win32Form::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        reinterpret_cast<Win32Form*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form && form->hwnd_ == hwnd) return form->Handle(message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Form::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND self = hwnd_;
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(self, &client);
            GdiObject<HBRUSH> back(CreateSolidBrush(ToColorRef(layout_.background)));
            FillRect(reinterpret_cast<HDC>(wParam), &client, back.Get());
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(self, &ps);
            PaintDecorations(dc);
            EndPaint(self, &ps);
            return 0;
        }
        case kResumeDrawing:
            for (auto& list : lists_) {
                if (list->hwnd() == reinterpret_cast<HWND>(lParam)) list->ResumeDrawing();
            }
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            for (auto& list : lists_) {
                if (list->hwnd() == header->hwndFrom) return list->OnNotify(*header);
            }
            return 0;
        }
        case WM_COMMAND:
            if (Command(wParam, lParam)) return 0;
            break;
        case WM_TIMER:
            if (wParam >= 1 && wParam <= timers_.size()) timers_[wParam - 1]->Fire();
            return 0;
        case WM_CLOSE: Unload(); return 0;
        case WM_DESTROY: Destroyed(); return 0;
        default: break;
    }
    return DefWindowProcW(self, message, wParam, lParam);
}

// ---- toolkit -----------------------------------------------------------------------------

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background, UINT style) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    // The program's icon (resource 1) at the two sizes the title bar and the taskbar ask for;
    // without one, as in test programs, Windows shows its default.
    const auto icon = [](int metricX, int metricY) {
        return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                             IMAGE_ICON, GetSystemMetrics(metricX),
                                             GetSystemMetrics(metricY), LR_SHARED));
    };
    wc.hIcon = icon(SM_CXICON, SM_CYICON);
    wc.hIconSm = icon(SM_CXSMICON, SM_CYSMICON);
    RegisterClassExW(&wc);
}

Win32Toolkit::Win32Toolkit() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterWindowClass(kFormClass, Win32Form::Procedure, nullptr, 0);
    RegisterWindowClass(kLabelClass, ControlProcedure, nullptr, 0);
    RegisterWindowClass(kPictureClass, ControlProcedure, nullptr, 0);
    const ScreenDc screen(GetDC(nullptr));
    dpi_ = std::max(96, GetDeviceCaps(screen.Get(), LOGPIXELSY));
}

Win32Toolkit::~Win32Toolkit() = default;

std::unique_ptr<Form> Win32Toolkit::CreateForm(const FormLayout& layout) {
    return std::make_unique<Win32Form>(*this, layout);
}

HFONT Win32Toolkit::Font(int pixelHeight, bool bold) {
    auto& font = fonts_[{pixelHeight, bold}];
    if (!font.Get()) font = GdiObject<HFONT>(CreateProductFont(pixelHeight, bold));
    return font.Get();
}

HWND Win32Toolkit::ActiveForm() const {
    HWND active = GetActiveWindow();
    for (Win32Form* form : open_) {
        if (form->hwnd() == active) return active;
    }
    // Else the newest form that is on the screen and takes input.
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        if ((*it)->Visible() && IsWindowEnabled((*it)->hwnd())) return (*it)->hwnd();
    }
    return nullptr;
}

void Win32Toolkit::Closed(Win32Form* form, bool quitWhenLast) {
    open_.erase(std::remove(open_.begin(), open_.end(), form), open_.end());
    // Closing the last open form ends the program.
    if (open_.empty() && quitWhenLast) PostQuitMessage(0);
}

void Win32Toolkit::MsgBox(const std::string& text, MessageStyle style) {
    const UINT icon = style == MessageStyle::Error ? MB_ICONERROR : 0;
    MessageBoxW(ActiveForm(), Widen(text).c_str(), Widen(kProductName).c_str(), MB_OK | icon);
}

bool Win32Toolkit::AskYesNo(const std::string& text) {
    return MessageBoxW(ActiveForm(), Widen(text).c_str(), Widen(kProductName).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void Win32Toolkit::EndProgram() {
    // At once: no window gets to handle anything more.
    ExitProcess(0);
}

bool Win32Toolkit::Pump() {
    if (quit_) return false;
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
        quit_ = true;
        exitCode_ = got == 0 ? static_cast<int>(msg.wParam) : 1;
        return false;
    }
    // Tab, Shift+Tab, Enter and Escape move and press within a form, as in any dialog.
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    for (Win32Form* form : open_) {
        if (form->hwnd() != root) continue;
        if (form->Shortcut(msg) || IsDialogMessageW(root, &msg)) return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

int Win32Toolkit::Run() {
    if (open_.empty()) return everOpened_ ? 0 : 1;
    while (Pump()) {
    }
    return exitCode_;
}

}  // namespace

std::unique_ptr<Toolkit> CreateToolkit() { return std::make_unique<Win32Toolkit>(); }

}  // namespace win32
