#include "platform/win32/app/Win32Startup.h"

#include <windows.h>
#include <objbase.h>

#include "platform/win32/common/WideText.h"

namespace win32 {

std::string ProcessCommandLine() {
    const wchar_t* line = GetCommandLineW();
    return line ? Narrow(std::wstring(line)) : std::string();
}

ComApartment::ComApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ready_ = SUCCEEDED(hr);
}

ComApartment::~ComApartment() {
    if (ready_) CoUninitialize();
}

void Win32MessageBoxes::ShowOk(const std::string& text) {
    // No owner window: task-modal keeps every window of this thread waiting, as a modal box
    // must, also in a silent run where there is no window at all.
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(kApplicationTitle).c_str(),
                MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

namespace {

constexpr wchar_t kPlainWindowClass[] = L"OrvikPlainWindow";

struct PlainWindowText {
    std::wstring text;
};

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            break;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            const auto* content =
                reinterpret_cast<PlainWindowText*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (content) {
                RECT area;
                GetClientRect(window, &area);
                InflateRect(&area, -16, -16);
                SetBkMode(dc, TRANSPARENT);
                DrawTextW(dc, content->text.c_str(), static_cast<int>(content->text.size()), &area,
                          DT_WORDBREAK | DT_NOPREFIX);
            }
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RunPlainWindow(const std::string& caption, const std::string& text) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kPlainWindowClass;
    RegisterClassExW(&windowClass);

    PlainWindowText content{Widen(text)};
    const int width = 480;
    const int height = 200;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND window = CreateWindowExW(0, kPlainWindowClass, Widen(caption).c_str(),
                                  WS_OVERLAPPEDWINDOW, left, top, width, height, nullptr, nullptr,
                                  instance, &content);
    if (!window) return false;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

}  // namespace win32
