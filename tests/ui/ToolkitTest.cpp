// The real toolkit on real windows (Xvfb under Wine); clicks, keys and modal forms are driven
// through the whole program in ProgramTest.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "CheckListScenario.h"
#include "platform/win32/toolkit/GdiDrawing.h"
#include "platform/win32/toolkit/Win32Toolkit.h"

namespace {

void Pump(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = toolkit->CreateForm({"frmTest", "Toolkit test", FormKind::Main, 300, 200, {}});
        hwnd = FindWindowW(L"OrvikForm", L"Toolkit test");
        ASSERT_NE(hwnd, nullptr) << "no window could be made: is DISPLAY set (Xvfb)?";
    }

    std::unique_ptr<Toolkit> toolkit = win32::CreateToolkit();
    std::unique_ptr<Form> form;
    HWND hwnd = nullptr;
};

}  // namespace

TEST_F(ToolkitTest, CheckListHoldsToTheScenarioAndTakesTheUsersKeys) {
    CheckList& list = form->AddCheckList("lbTest", {10, 10, 200, 150}, {11, false});
    form->Show();
    CheckListScenario(list, [] { Pump(100); });

    // The user's arrow key moves the current row; Space ticks it in the program's test.
    list.AddItem("Second");
    std::vector<int> clicks;
    list.Click = [&] { clicks.push_back(list.ListIndex()); };
    HWND view = FindWindowExW(hwnd, nullptr, WC_LISTVIEWW, nullptr);
    SetFocus(view);
    SendMessageW(view, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(view, WM_KEYUP, VK_DOWN, 0);
    Pump(50);
    EXPECT_EQ(clicks, std::vector<int>{1});
}

TEST_F(ToolkitTest, MenuCommandsReachTheirItemsAtEveryDepth) {
    std::string clicked;
    MenuItem& file = form->AddMenu("mnuFile", "&File");
    file.AddItem("mnuSave", "&Save").Click = [&] { clicked += "save "; };
    MenuItem& select = form->AddMenu("mnuSelect", "&Select");
    MenuItem& impact = select.AddItem("mnuImpact", "By Impact");
    impact.AddItem("mnuLow", "Low").Click = [&] { clicked += "low "; };
    impact.AddItem("mnuHigh", "High").Click = [&] { clicked += "high "; };
    form->Show();
    HMENU bar = GetMenu(hwnd);
    ASSERT_NE(bar, nullptr);
    const UINT save = GetMenuItemID(GetSubMenu(bar, 0), 0);
    const UINT high = GetMenuItemID(GetSubMenu(GetSubMenu(bar, 1), 0), 1);
    for (UINT id : {high, save}) PostMessageW(hwnd, WM_COMMAND, id, 0);
    Pump(100);
    EXPECT_EQ(clicked, "high save ");
}

TEST(GdiDrawingTest, DrawsLargeAndAveragesDownToTheRequestedSize) {
    Drawing d{20, 10, {255, 255, 255}, {}};
    DrawShape left;
    left.points = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    left.colour = {0, 133, 195};
    d.shapes.push_back(left);
    // Drawn at twice the size: the left half accent blue, the right half white, the seam a mix.
    win32::GdiObject<HBITMAP> bitmap(win32::RenderDrawing(d, 40, 20));
    ASSERT_NE(bitmap.Get(), nullptr);
    BITMAP info{};
    GetObjectW(bitmap.Get(), sizeof(info), &info);
    ASSERT_EQ(info.bmWidth, 40);
    ASSERT_EQ(info.bmHeight, 20);
    const auto* pixels = static_cast<const uint32_t*>(info.bmBits);
    EXPECT_EQ(pixels[10 * 40 + 5], 0xFF0085C3u);  // opaque
    EXPECT_EQ(pixels[10 * 40 + 35], 0xFFFFFFFFu);
    EXPECT_EQ(win32::RenderDrawing(d, 0, 10), nullptr);
}
