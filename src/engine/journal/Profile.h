#pragma once
// The default profile's hive, loaded below HKEY_USERS while a command works on it: privileges
// first, then the hive, then the registry that maps HKEY_CURRENT_USER onto it; unloaded when
// done, after a failure too, and when Ctrl+C or a closed console ends the program. The backup
// and restore privileges are enabled only around the load and the unload, so that the
// commands a run starts meanwhile, and later, do not inherit them enabled.

#include <chrono>
#include <optional>
#include <string>

#include "engine/UserRegistry.h"
#include "engine/Users.h"
#include "engine/checks/Checks.h"

class UserHives;

namespace engine {

// The hive new users are made from, in the folder the system names for the default profile
// (another drive, a moved profiles folder, "Default User" on XP and 2003); empty when the system
// cannot say, which Load then reports.
std::string DefaultHiveFile(UserHives& hives);

// How often and how far apart an unload is tried before the hive is reported as left loaded.
inline constexpr int kUnloadTries = 5;
inline constexpr std::chrono::milliseconds kUnloadPause{500};

class LoadedProfile {
public:
    LoadedProfile(UserHives& hives, Registry& machine) : hives_(hives), machine_(machine) {}
    ~LoadedProfile() { Unload(); }
    LoadedProfile(const LoadedProfile&) = delete;
    LoadedProfile& operator=(const LoadedProfile&) = delete;

    // Nothing written yet when it gives a problem.
    std::optional<Problem> Load(const std::string& file);
    // The registry over inner, whose HKEY_CURRENT_USER is what users says; one per profile.
    Registry& Over(Registry& inner, Users users);
    // A problem when the hive stays loaded.
    std::optional<Problem> Unload();

private:
    int32_t UnloadNow();

    UserHives& hives_;
    Registry& machine_;
    std::optional<UserRegistry> registry_;
    bool loaded_ = false;
};

}  // namespace engine
