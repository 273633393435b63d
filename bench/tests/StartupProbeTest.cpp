// The start-up probe must stop the clock at the editor, never at the splash, and never at a
// window whose program is not taking input yet. Needs a display (Xvfb under Wine).

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bench/win32/StartupProbe.h"

namespace {

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

class StartupProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Plain;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"OrvikProbeTest";
        RegisterClassExW(&windowClass);
    }
    static HWND Make(bool menu, bool show) {
        HWND window = CreateWindowExW(0, L"OrvikProbeTest", L"Probe", WS_OVERLAPPEDWINDOW, 0, 0,
                                      200, 100, nullptr, menu ? CreateMenu() : nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        if (window && menu) {
            AppendMenuW(GetMenu(window), MF_STRING, 1, L"&File");
            DrawMenuBar(window);
        }
        if (window && show) ShowWindow(window, SW_SHOW);
        return window;
    }
};

TEST_F(StartupProbeTest, FindsOnlyAVisibleWindowWithAMenuBarOfThatProcess) {
    const DWORD self = GetCurrentProcessId();
    HWND splash = Make(false, true);
    ASSERT_NE(splash, nullptr) << "no window could be made: is DISPLAY set (Xvfb)?";
    EXPECT_EQ(bench::FindEditorWindow(self), nullptr);  // the splash has no menu bar
    EXPECT_EQ(bench::FindAnyWindow(self), splash);

    HWND hidden = Make(true, false);
    EXPECT_EQ(bench::FindEditorWindow(self), nullptr);  // made, not yet shown
    ShowWindow(hidden, SW_SHOW);
    EXPECT_EQ(bench::FindEditorWindow(self), hidden);
    EXPECT_EQ(bench::FindEditorWindow(self + 4), nullptr);  // another process's windows

    DestroyWindow(hidden);
    DestroyWindow(splash);
    EXPECT_EQ(bench::FindAnyWindow(self), nullptr);
}

TEST_F(StartupProbeTest, AWindowAnswersOnlyWhileItsThreadHandlesMessages) {
    std::atomic<HWND> made{nullptr};
    std::atomic<bool> pump{false};
    std::atomic<bool> stop{false};
    std::thread owner([&] {
        made = Make(true, true);
        while (!stop) {
            if (pump) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            }
            Sleep(5);
        }
        DestroyWindow(made);
    });
    while (!made) Sleep(5);

    // Busy elsewhere (as while the editor is being built): no answer within the wait.
    EXPECT_FALSE(bench::Answers(made, 150));
    pump = true;
    EXPECT_TRUE(bench::Answers(made, 2000));
    stop = true;
    owner.join();
}

}  // namespace
