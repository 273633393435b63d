// Writes how it was started into the file its one argument names: "1" when STARTF_USESHOWWINDOW
// was set, else "0", then wShowWindow. The line appears under that name only once it is whole.

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <string>

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2) return 2;
    STARTUPINFOW info{};
    info.cb = sizeof(info);
    GetStartupInfoW(&info);
    const std::wstring target = arguments[1];
    const std::wstring partial = target + L".part";
    std::ofstream(partial.c_str()) << ((info.dwFlags & STARTF_USESHOWWINDOW) ? 1 : 0) << ' '
                                   << info.wShowWindow << '\n';
    return MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
