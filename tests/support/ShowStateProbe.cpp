// Writes how it was started into the file its first argument names: "1" when STARTF_USESHOWWINDOW
// was set, else "0", then wShowWindow. The line appears under that name only once it is whole.
// A second argument makes it wait that many milliseconds first, a third is its exit code.

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <string>

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2 || count > 4) return 2;
    STARTUPINFOW info{};
    info.cb = sizeof(info);
    GetStartupInfoW(&info);
    if (count > 2) Sleep(static_cast<DWORD>(std::stoul(arguments[2])));
    const std::wstring target = arguments[1];
    const std::wstring partial = target + L".part";
    std::ofstream(partial.c_str())
        << ((info.dwFlags & STARTF_USESHOWWINDOW) ? 1 : 0) << ' ' << info.wShowWindow << '\n';
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;
    return count > 3 ? std::stoi(arguments[3]) : 0;
}
