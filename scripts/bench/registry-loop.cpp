// The floor for the silent-run benchmark: the same 1,000 registry values written with nothing
// but a create/set/close per value, as a program that knows them beforehand would.

#include <windows.h>

#include <string>

int wmain() {
    for (int i = 0; i < 1000; ++i) {
        const std::wstring key = L"Software\\OrvikBench\\Loop\\Group" + std::to_wstring(i / 10);
        const std::wstring name = L"Value" + std::to_wstring(i);
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &handle, nullptr) != ERROR_SUCCESS) {
            return 1;
        }
        LONG result = ERROR_SUCCESS;
        if (i % 3 == 0) {
            const DWORD value = static_cast<DWORD>(i);
            result = RegSetValueExW(handle, name.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&value), sizeof(value));
        } else if (i % 3 == 1) {
            const std::wstring text = L"text " + std::to_wstring(i);
            result = RegSetValueExW(handle, name.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        } else {
            const BYTE bytes[3] = {static_cast<BYTE>(i & 0xFF), static_cast<BYTE>(i >> 8), 0xAB};
            result = RegSetValueExW(handle, name.c_str(), 0, REG_BINARY, bytes, sizeof(bytes));
        }
        RegCloseKey(handle);
        if (result != ERROR_SUCCESS) return 2;
    }
    return 0;
}
