// The real toolkit on real windows: the check-box list notifies program and user changes once,
// inside the call; clicks, keys and modal forms behave as the windows rely on. Menus and timers
// are driven through the whole program in ProgramTest.
// Needs a display (Xvfb under Wine).

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/win32/toolkit/GdiDrawing.h"
#include "platform/win32/toolkit/Win32Toolkit.h"

namespace {

// Handles the queued messages of this thread until the condition holds or time runs out.
bool PumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
    return true;
}

void PumpAWhile(int milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override {
        toolkit = win32::CreateToolkit();
        FormLayout layout{"frmTest", "Toolkit test", FormKind::Main, 300, 200, {255, 255, 255}};
        form = toolkit->CreateForm(layout);
        hwnd = FindWindowW(L"OrvikForm", L"Toolkit test");
        ASSERT_NE(hwnd, nullptr) << "no window could be made: is DISPLAY set (Xvfb)?";
    }
    HWND Child(const wchar_t* windowClass, const wchar_t* text = nullptr) {
        return FindWindowExW(hwnd, nullptr, windowClass, text);
    }
    static void ClickAt(HWND control) {
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    }

    std::unique_ptr<Toolkit> toolkit;
    std::unique_ptr<Form> form;
    HWND hwnd = nullptr;
};

}  // namespace

TEST_F(ToolkitTest, CheckListNotifiesEveryChangeOnceInsideTheCall) {
    CheckList& list = form->AddCheckList("lbTest", {10, 10, 200, 150}, {11, false});
    std::vector<std::pair<int, bool>> checks;  // row, tick as seen inside the notification
    int clicks = 0;
    int indexSeen = -2;
    list.ItemCheck = [&](int row) { checks.emplace_back(row, list.Selected(row)); };
    list.Click = [&] {
        ++clicks;
        indexSeen = list.ListIndex();
    };
    form->Show();

    EXPECT_EQ(list.NewIndex(), -1);
    for (const char* text : {"Alpha", "Beta", "Gamma"}) list.AddItem(text);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.NewIndex(), 2);
    EXPECT_EQ(list.List(1), "Beta");
    list.SetItemData(0, -40000);
    list.SetItemData(2, 2147483647);
    EXPECT_EQ(list.ItemData(0), -40000);
    EXPECT_EQ(list.ItemData(1), 0);
    EXPECT_EQ(list.ItemData(2), 2147483647);
    EXPECT_TRUE(checks.empty());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(list.ListIndex(), -1);

    list.SetSelected(1, true);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0], std::make_pair(1, true));
    list.SetSelected(1, true);  // no change, no notification
    list.SetSelected(7, true);  // no such row
    list.SetSelected(1, false);
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[1], std::make_pair(1, false));

    list.SetListIndex(2);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(indexSeen, 2);
    list.SetListIndex(2);
    list.SetListIndex(9);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(list.ListIndex(), 2);

    // What the view itself reports afterwards is not counted again.
    PumpAWhile(100);
    EXPECT_EQ(checks.size(), 2u);
    EXPECT_EQ(clicks, 1);

    // The user: Space ticks the current row, an arrow key moves the current row.
    HWND view = Child(WC_LISTVIEWW);
    ASSERT_NE(view, nullptr);
    SetFocus(view);
    SendMessageW(view, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(view, WM_KEYUP, VK_SPACE, 0);
    PumpAWhile(50);
    ASSERT_EQ(checks.size(), 3u);
    EXPECT_EQ(checks[2], std::make_pair(2, true));
    EXPECT_TRUE(list.Selected(2));
    SendMessageW(view, WM_KEYDOWN, VK_UP, 0);
    PumpAWhile(50);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(indexSeen, 1);
    EXPECT_EQ(list.ListIndex(), 1);

    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.NewIndex(), -1);
    EXPECT_EQ(clicks, 2);
    list.AddItem("Again");
    list.SetListIndex(0);
    EXPECT_EQ(clicks, 3);
}

TEST_F(ToolkitTest, LabelsAndPicturesReportClicksAndButtonsTakeKeys) {
    LabelLayout layout;
    layout.name = "lblPlain";
    layout.caption = "Plain";
    layout.box = {10, 10, 100, 20};
    Label& plain = form->AddLabel(layout);
    layout.name = "lblButton";
    layout.caption = "Press";
    layout.box = {10, 40, 100, 30};
    layout.actsAsButton = true;
    Label& button = form->AddLabel(layout);
    Picture& picture = form->AddPicture({"imgTest", {150, 10, 54, 59}, {0, 133, 195}, true});
    int plainClicks = 0, buttonClicks = 0, pictureClicks = 0;
    plain.Click = [&] { ++plainClicks; };
    button.Click = [&] { ++buttonClicks; };
    picture.Click = [&] { ++pictureClicks; };
    form->Show();

    ClickAt(Child(L"OrvikLabel", L"Plain"));
    ClickAt(Child(L"OrvikPicture", L"imgTest"));
    ASSERT_TRUE(PumpUntil([&] { return plainClicks == 1 && pictureClicks == 1; }));

    // A caption set from code is what the window shows and says.
    plain.SetCaption("Changed text");
    EXPECT_EQ(plain.Caption(), "Changed text");
    EXPECT_NE(Child(L"OrvikLabel", L"Changed text"), nullptr);

    HWND press = Child(L"OrvikLabel", L"Press");
    SetFocus(press);
    SendMessageW(press, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(press, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(buttonClicks, 2);
    EXPECT_TRUE(GetWindowLongW(press, GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLongW(Child(L"OrvikLabel", L"Changed text"), GWL_STYLE) & WS_TABSTOP);
    // A press that starts outside the control is no click.
    PostMessageW(press, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpAWhile(50);
    EXPECT_EQ(buttonClicks, 2);
}

TEST_F(ToolkitTest, ModalFormKeepsTheOthersFromInputUntilItCloses) {
    form->Show();
    auto dialog = toolkit->CreateForm({"frmDialog", "Dialog", FormKind::Dialog, 200, 100, {}});
    Timer& close = dialog->AddTimer("close", 100, true);
    bool ownerWasEnabled = true;
    int unloaded = 0;
    dialog->Unloaded = [&] { ++unloaded; };
    close.Tick = [&] {
        ownerWasEnabled = IsWindowEnabled(hwnd);
        dialog->Unload();
    };
    dialog->ShowModal();  // returns only once the timer has closed it
    EXPECT_FALSE(ownerWasEnabled);
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    EXPECT_EQ(unloaded, 1);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_EQ(FindWindowW(L"OrvikForm", L"Dialog"), nullptr);
    dialog->Unload();
    EXPECT_EQ(unloaded, 1);

    // Escape and the close box close a dialog, as the user expects.
    auto second = toolkit->CreateForm({"frmDialog", "Second", FormKind::Dialog, 200, 100, {}});
    Timer& escape = second->AddTimer("escape", 100, true);
    escape.Tick = [&] {
        escape.SetEnabled(false);
        PostMessageW(FindWindowW(L"OrvikForm", L"Second"), WM_COMMAND, IDCANCEL, 0);
    };
    second->ShowModal();
    EXPECT_EQ(FindWindowW(L"OrvikForm", L"Second"), nullptr);
}

TEST(GdiDrawingTest, RendersShapesSmoothlyAtTheRequestedSize) {
    Drawing d;
    d.width = 20;
    d.height = 10;
    d.background = {255, 255, 255};
    DrawShape left;
    left.kind = DrawShape::Kind::Polygon;
    left.points = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    left.colour = {0, 133, 195};
    d.shapes.push_back(left);
    // Drawn at twice the size: the left half is accent blue, the right half white.
    win32::GdiObject<HBITMAP> bitmap(win32::RenderDrawing(d, 40, 20));
    ASSERT_NE(bitmap.Get(), nullptr);
    BITMAP info{};
    GetObjectW(bitmap.Get(), sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 40);
    EXPECT_EQ(info.bmHeight, 20);
    ASSERT_NE(info.bmBits, nullptr);
    const auto* pixels = static_cast<const uint32_t*>(info.bmBits);
    EXPECT_EQ(pixels[10 * 40 + 5] & 0xFFFFFF, 0x0085C3u);
    EXPECT_EQ(pixels[10 * 40 + 35] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(pixels[0] >> 24, 0xFFu);  // opaque
    EXPECT_EQ(win32::RenderDrawing(d, 0, 10), nullptr);
}

TEST_F(ToolkitTest, SpaceTicksTheRowMadeCurrentBeforeTheFormShowed) {
    CheckList& list = form->AddCheckList("lbTest", {10, 10, 200, 150}, {11, false});
    std::vector<int> checks;
    list.ItemCheck = [&](int row) { checks.push_back(row); };
    list.AddItem("Alpha");
    list.AddItem("Beta");
    list.SetListIndex(0);
    form->Show();
    HWND view = Child(WC_LISTVIEWW);
    EXPECT_EQ(GetFocus(), view);
    SendMessageW(view, WM_KEYDOWN, VK_SPACE, 0);
    PumpAWhile(50);
    EXPECT_EQ(checks, std::vector<int>{0});
    EXPECT_TRUE(list.Selected(0));
}

