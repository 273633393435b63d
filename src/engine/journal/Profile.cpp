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

std::optional<Problem> LoadedProfile::Load(const std::string& file) {
    if (const int32_t denied = hives_.EnablePrivileges()) {
        return Failure("no-privileges",
                       "the backup and restore privileges that loading the default profile "
                       "needs could not be enabled (" +
                           hives_.ErrorText(denied) + "): run OrvikCli as an administrator");
    }
    OwnedKey present(reg::OpenedKey{&machine_});
    if (machine_.OpenKey(reg::RootKey(reg::kUsers), kProfileHive, reg::kQueryValue,
                         *present.Put()) == reg::kSuccess) {
        return Failure("hive-in-use", kKeyText +
                                          " is loaded already (by a run that was ended?): "
                                          "`reg unload " +
                                          kKeyText + "` unloads it");
    }
    if (const int32_t failed = hives_.Load(kProfileHive, file)) {
        return Failure("hive-not-loaded", file + " could not be loaded as the default profile: " +
                                              hives_.ErrorText(failed));
    }
    loaded_ = true;
    hives_.WhenInterrupted([this] {
        hives_.Unload(kProfileHive);
        loaded_ = false;
    });
    return std::nullopt;
}

Registry& LoadedProfile::Over(Registry& inner, Users users) {
    // Both is a registry of each kind, HKEY_CURRENT_USER itself needing no mapping.
    const UserRegistry::Mapping mapped =
        users == Users::Current ? UserRegistry::Mapping::Current : UserRegistry::Mapping::Profile;
    registry_.emplace(inner, mapped, kProfileHive);
    // No key of the hive may be open while it is unloaded; the run stops writing there.
    hives_.WhenInterrupted([this] {
        registry_->Abandon();
        hives_.Unload(kProfileHive);
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
    if (const int32_t failed = hives_.Unload(kProfileHive)) {
        return Failure("hive-not-unloaded",
                       kKeyText + " could not be unloaded (" + hives_.ErrorText(failed) +
                           "): it stays loaded until `reg unload " + kKeyText + "` or a restart");
    }
    return std::nullopt;
}

}  // namespace engine
