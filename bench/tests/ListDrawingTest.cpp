// Filling a large list holds its drawing until the program is back in its message loop (what
// keeps the editor's fill fast under Wine): the rows must then be on screen, whenever the list
// was filled, and the ticks and notifications must be those of a list that draws at once.
// Needs a display (Xvfb under Wine).

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/win32/toolkit/Win32Toolkit.h"

namespace {

void PumpAWhile(int milliseconds) {
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

// Dark pixels (row text) in the top rows of the view, as the screen shows them now.
int DarkPixelsInTopRows(HWND view) {
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (!SendMessageW(view, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row))) return -1;
    HDC dc = GetDC(view);
    int dark = 0;
    const int bottom = row.top + 3 * (row.bottom - row.top);
    for (int y = row.top; y < bottom; ++y) {
        for (int x = row.left; x < row.right; x += 1) {
            const COLORREF c = GetPixel(dc, x, y);
            if (c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) ++dark;
        }
    }
    ReleaseDC(view, dc);
    return dark;
}

class ListDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        toolkit = win32::CreateToolkit();
        form = toolkit->CreateForm(
            {"frmList", "List drawing test", FormKind::Main, 320, 320, {255, 255, 255}});
        hwnd = FindWindowW(L"OrvikForm", L"List drawing test");
        ASSERT_NE(hwnd, nullptr) << "no window could be made: is DISPLAY set (Xvfb)?";
        list = &form->AddCheckList("lbTest", {10, 10, 300, 300}, {11, false});
        list->ItemCheck = [this](int) { ++checks; };
        view = FindWindowExW(hwnd, nullptr, WC_LISTVIEWW, nullptr);
        ASSERT_NE(view, nullptr);
    }

    void Fill(int rows) {
        for (int i = 0; i < rows; ++i) {
            list->AddItem("Row number " + std::to_string(i));
            list->SetItemData(list->NewIndex(), i);
            list->SetSelected(list->NewIndex(), i % 2 == 0);
        }
    }

    std::unique_ptr<Toolkit> toolkit;
    std::unique_ptr<Form> form;
    CheckList* list = nullptr;
    HWND hwnd = nullptr;
    HWND view = nullptr;
    int checks = 0;
};

TEST_F(ListDrawingTest, ListFilledOnScreenIsDrawnOnceTheProgramWaitsAgain) {
    form->Show();
    PumpAWhile(100);
    Fill(600);
    EXPECT_EQ(list->ListCount(), 600);
    EXPECT_EQ(checks, 300);  // every tick notified inside its call, held drawing or not
    EXPECT_TRUE(list->Selected(598));
    EXPECT_FALSE(list->Selected(599));
    EXPECT_EQ(list->ItemData(599), 599);

    PumpAWhile(200);
    EXPECT_TRUE(IsWindowVisible(view));
    EXPECT_GT(DarkPixelsInTopRows(view), 20) << "the rows were not drawn";

    // Emptied and filled again in one go: drawn again too, with the new rows.
    list->Clear();
    Fill(5);
    PumpAWhile(200);
    EXPECT_EQ(list->ListCount(), 5);
    EXPECT_TRUE(IsWindowVisible(view));
    EXPECT_GT(DarkPixelsInTopRows(view), 20);
}

TEST_F(ListDrawingTest, ListFilledBeforeItsFormShowsIsDrawnWhenItShows) {
    Fill(400);  // as the editor does: its list is filled while the window is being made
    form->Show();
    PumpAWhile(200);
    EXPECT_TRUE(IsWindowVisible(view));
    EXPECT_EQ(list->ListCount(), 400);
    EXPECT_GT(DarkPixelsInTopRows(view), 20) << "the rows were not drawn";
    // The user's Space still ticks the current row while drawing is held and after.
    list->SetListIndex(1);
    SetFocus(view);
    SendMessageW(view, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(view, WM_KEYUP, VK_SPACE, 0);
    PumpAWhile(50);
    EXPECT_TRUE(list->Selected(1));
}

}  // namespace
