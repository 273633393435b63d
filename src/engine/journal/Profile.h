#pragma once
// The default profile's hive, loaded below HKEY_USERS while a command works on it: privileges
// first, then the hive, then the registry that maps HKEY_CURRENT_USER onto it; unloaded when
// done, after a failure too, and when Ctrl+C or a closed console ends the program.

#include <optional>
#include <string>

#include "engine/UserRegistry.h"
#include "engine/Users.h"
#include "engine/checks/Checks.h"

class UserHives;

namespace engine {

// The hive new users are made from, unless --default-hive names another.
inline constexpr const char* kDefaultHiveFile = "C:\\Users\\Default\\NTUSER.DAT";

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
    UserHives& hives_;
    Registry& machine_;
    std::optional<UserRegistry> registry_;
    bool loaded_ = false;
};

}  // namespace engine
