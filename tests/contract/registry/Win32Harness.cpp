#include <windows.h>

#include <cstdlib>

#include "RegistryHarness.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/registry/Win32Registry.h"

std::unique_ptr<Registry> MakeTestRegistry() { return std::make_unique<win32::Win32Registry>(); }

// The C runtime passes the variable on to the process environment that the platform's expansion
// reads.
void SetTestEnvironment(Registry&, const std::string& name, const std::string& value) {
    _putenv_s(name.c_str(), value.c_str());
}

void RemoveTestKey(RegKey root, const std::string& path) {
    RegDeleteTreeW(reinterpret_cast<HKEY>(root), win32::Widen(path).c_str());
}

bool PoseAsWow64(Registry&) { return sizeof(void*) == 4; }
