#pragma once
// Registry values and keys as people read them, in the console program's reports and the
// editor's details alike.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/RunObserver.h"

namespace engine {

// A value's state: "REG_SZ "x"", "REG_DWORD 2", "REG_MULTI_SZ "a", "b"", "(absent)".
std::string StateText(const RegistryData& value);
// A REG_MULTI_SZ's strings, without the NULs between and after them.
std::vector<std::string> MultiStrings(const RegistryData& value);
// A value name as people know it: "(Default)" for the key's default value.
std::string ValueNameText(const std::string& name);
// An error's description with the registry roots by name, not by their handle's number.
std::string DescriptionText(const ErrorRecord& error);
// A registry type code as its Windows name ("REG_DWORD", "REG_QWORD"), or "type N" for a
// number without one.
std::string TypeName(uint32_t type);
// A value's data: text without its final NUL, a 4-byte DWORD and an 8-byte QWORD as their
// unsigned numbers, anything else as hexadecimal byte pairs between commas (the catalogue's
// BINARY form).
std::string DataText(const RegistryData& value);
// A service or task action's name and state: "SysMain: Manual -> Disabled, running" (before and
// after; "running -> stopped" for a service the action stops), "\Microsoft\...\ScheduledDefrag: not
// on this machine".
std::string SystemText(const ActionRecord& record);
// "HKEY_LOCAL_MACHINE\Software\x" from a root handle and a path below it.
std::string KeyText(int32_t root, const std::string& subKey);

}  // namespace engine
