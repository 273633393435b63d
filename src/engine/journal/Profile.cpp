#include "engine/journal/Profile.h"

#include "engine/journal/Journal.h"
#include "platform/UserHives.h"

namespace engine {
namespace {

const std::string kKeyText = std::string("HKEY_USERS\\") + kProfileHive;

Problem Failure(const char* code, std::string message) {
    return {Problem::Severity::Error, code, 0, 0, std::move(message)};
}

}  // namespace

std::string DefaultHiveFile(UserHives& hives) {
    int32_t error = 0;
    const std::string folder = hives.DefaultProfileFolder(error);
    return folder.empty() ? "" : folder + "\\NTUSER.DAT";
}

std::optional<Problem> LoadedProfile::Load(const std::string& file) {
    int32_t error = 0;
    if (file.empty()) {
        hives_.DefaultProfileFolder(error);
        return Failure("hive-not-found", "the system does not say where the default profile is (" +
                                             hives_.ErrorText(error) +
                                             "): name its hive with --default-hive");
    }
    // Any other answer (access denied) is left to the load, which has the privileges.
    if (error = hives_.FindFile(file); error == 2 || error == 3) {
        return Failure("hive-not-found", file + " is not there (" + hives_.ErrorText(error) +
                                             "): loading it would make an empty default "
                                             "profile; name its hive with --default-hive");
    }
    if (const int32_t denied = hives_.EnablePrivileges()) {
        hives_.DropPrivileges();
        return Failure("no-privileges",
                       "the backup and restore privileges that loading the default profile "
                       "needs could not be enabled (" +
                           hives_.ErrorText(denied) + "): run OrvikCli as an administrator");
    }
    OwnedKey present(reg::OpenedKey{&machine_});
    if (machine_.OpenKey(reg::RootKey(reg::kUsers), kProfileHive, reg::kQueryValue,
                         *present.Put()) == reg::kSuccess) {
        hives_.DropPrivileges();
        return Failure("hive-in-use", kKeyText +
                                          " is loaded already (by a run that was ended?): "
                                          "`reg unload " +
                                          kKeyText + "` unloads it");
    }
    const int32_t failed = hives_.Load(kProfileHive, file);
    hives_.DropPrivileges();
    if (failed) {
        return Failure("hive-not-loaded", file + " could not be loaded as the default profile: " +
                                              hives_.ErrorText(failed));
    }
    loaded_ = true;
    hives_.WhenInterrupted([this] {
        UnloadNow();
        loaded_ = false;
    });
    return std::nullopt;
}

// Tried again for a while: a program that opened the hive meanwhile (a search indexer, a
// virus scanner) may let go of it. The privileges only for as long as it takes.
int32_t LoadedProfile::UnloadNow() {
    hives_.EnablePrivileges();
    int32_t failed = hives_.Unload(kProfileHive);
    for (int tried = 1; failed != 0 && tried < kUnloadTries; ++tried) {
        hives_.Pause(kUnloadPause);
        failed = hives_.Unload(kProfileHive);
    }
    hives_.DropPrivileges();
    return failed;
}

Registry& LoadedProfile::Over(Registry& inner, Users users) {
    // Both is a registry of each kind, HKEY_CURRENT_USER itself needing no mapping.
    const UserRegistry::Mapping mapped =
        users == Users::Current ? UserRegistry::Mapping::Current : UserRegistry::Mapping::Profile;
    registry_.emplace(inner, mapped, kProfileHive);
    // No key of the hive may be open while it is unloaded; the run stops writing there.
    hives_.WhenInterrupted([this] {
        registry_->Abandon();
        UnloadNow();
        loaded_ = false;
    });
    return *registry_;
}

std::optional<Problem> LoadedProfile::Unload() {
    // After this no interruption unloads it; before it one may have.
    hives_.WhenInterrupted({});
    if (!loaded_) return std::nullopt;
    loaded_ = false;
    if (registry_) registry_->Abandon();
    if (const int32_t failed = UnloadNow()) {
        return Failure("hive-not-unloaded",
                       kKeyText + " could not be unloaded (" + hives_.ErrorText(failed) +
                           "): it stays loaded until `reg unload " + kKeyText + "` or a restart");
    }
    return std::nullopt;
}

}  // namespace engine
