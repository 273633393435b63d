#pragma once
// Windows-version, mode and key-type code tables. Names are upper-cased and compared exactly; an
// unrecognised name is code 0, never an error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/ValueTypes.h"
#include "catalogue/VersionList.h"
#include "platform/ServiceControl.h"

namespace codes {

inline constexpr int32_t kWindows2000 = 0;
inline constexpr int32_t kWindowsXP = 1;
inline constexpr int32_t kWindowsServer2003 = 2;
inline constexpr int32_t kWindowsVista = 3;
inline constexpr int32_t kWindowsServer2008 = 4;
inline constexpr int32_t kWindows7 = 5;
inline constexpr int32_t kWindowsServer2003R2 = 6;
inline constexpr int32_t kAll = 7;
inline constexpr int32_t kWindows8 = 8;
inline constexpr int32_t kWindowsServer2012 = 9;
inline constexpr int32_t kWindowsServer2008R2 = 10;
inline constexpr int32_t kWindows81 = 11;
inline constexpr int32_t kWindowsServer2012R2 = 12;
inline constexpr int32_t kWindows10 = 13;
inline constexpr int32_t kWindowsServer2016 = 14;
inline constexpr int32_t kWindowsServer2019 = 15;
inline constexpr int32_t kWindowsServer2022 = 16;
inline constexpr int32_t kWindows11 = 17;
inline constexpr int32_t kWindowsServer2025 = 18;
// One past the highest code: the codes run from 0 to kVersionCount - 1.
inline constexpr int32_t kVersionCount = 19;

// The code a machine of this version was identified as before it had a code of its own (8 for
// Windows 8.1, 10 and 11; 9 for Server 2012 R2 to 2025; 4 for Server 2008 R2), else -1.
int32_t FormerCode(int32_t machine);
// Whether an entry meant for osVersions is offered on a machine identified as machine: the
// list holds the machine's own code or All, or it holds the machine's former code and none of
// the later codes that share that former code (so "Windows 8 Windows 8.1" is not offered on
// Windows 10, while stored catalogues, which name no later code, keep working).
bool IsOffered(const VersionList& osVersions, int32_t machine);

inline constexpr int32_t kModeHiDef = 0;
inline constexpr int32_t kModeNormal = 1;
inline constexpr int32_t kModeBasic = 2;

// ASCII upper-casing: the names compared are ASCII, and other bytes of UTF-8 text stay intact.
std::string UpperAscii(std::string text);

int32_t SetOSVersion(const std::string& Value);
// Throws std::out_of_range for a code outside 0..kVersionCount - 1.
std::string GetOSString(int32_t osVersion);
// Whether a version or mode code has a name, that is, whether GetOSString or GetMode takes it.
bool KnownVersion(int32_t osVersion);
bool KnownMode(int32_t mode);
int32_t SetMode(const std::string& Value);
// Throws std::out_of_range for a code outside 0..2.
std::string GetMode(int32_t mode);

// A service's StartType and a task's State by name, letter case ignored as for the other names:
// Automatic, AutomaticDelayed, Manual, Disabled, Boot, System; Enabled, Disabled. None for any
// other name (validate's error; a run fails the action).
std::optional<ServiceStart> ServiceStartByName(const std::string& name);
std::optional<bool> TaskEnabledByName(const std::string& name);
// The names as the catalogue spells them, for messages and the report: "Automatic, ... or System".
std::string StartTypeNameList();
// The catalogue's name of a start (AutomaticDelayed for a delayed automatic start); the empty
// text for a type the Service Control Manager does not define.
std::string StartTypeName(const ServiceStart& start);

// A Number that rows can be tied by: a plain decimal from -32768 to 32767, without blanks, plus
// sign or leading zeros ("0" and "-5" are plain; "07", " 7", "+7", "-0" and "40000" are not).
std::optional<int16_t> PlainNumber(const std::string& text);

}  // namespace codes
