#pragma once
// The registry with HKEY_CURRENT_USER as the run is told to see it: the current user's own, or a
// profile hive loaded below HKEY_USERS (the default profile, from which new users are made). A
// run for both has one of each (see UserTarget). Every call is made under one lock, so that
// Abandon, called from another thread when the program is interrupted, finds no call under way,
// closes what is open and so lets the hive be unloaded.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Registry.h"

class UserRegistry final : public Registry {
public:
    // Whose HKEY_CURRENT_USER it shows: the current user's own, or the loaded profile's.
    enum class Mapping { Current, Profile };

    // hive: where the profile is loaded, as a path below HKEY_USERS.
    UserRegistry(Registry& inner, Mapping mapping, std::string hive);
    ~UserRegistry() override;
    UserRegistry(const UserRegistry&) = delete;
    UserRegistry& operator=(const UserRegistry&) = delete;

    // Closes every key still open; every later call fails with 1018 (ERROR_KEY_DELETED).
    void Abandon();

    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) override;
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override;
    int32_t QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                       uint32_t& size) override;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t DeleteValue(RegKey key, const std::string& name) override;
    int32_t DeleteKey(RegKey root, const std::string& subKey, uint32_t view) override;
    int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) override;
    int32_t QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) override;
    int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) override;
    int32_t ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) override;
    int32_t CloseKey(RegKey key) override;
    uint32_t ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) override;
    int32_t QueryStored(RegKey key, const std::string& name, uint32_t& type,
                        std::vector<uint8_t>& data) override;
    int32_t SetStored(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override;

private:
    struct Target {
        RegKey root;
        std::string subKey;
    };
    // Where a key named by a root and a path is, one place per user it stands for.
    std::vector<Target> Targets(RegKey root, const std::string& subKey) const;
    // The keys a handle of ours stands for; null for a handle that is not ours.
    const std::vector<RegKey>* Members(RegKey key) const;
    RegKey Issue(std::vector<RegKey> members);
    // Opens or creates the key at each target; all: every target must succeed.
    template <typename Call>
    int32_t Open(RegKey root, const std::string& subKey, bool all, RegKey& key, Call call);
    // The first member's answer.
    template <typename Call>
    int32_t First(RegKey key, Call call);
    // Every member's answer: the first failure, or success.
    template <typename Call>
    int32_t Each(RegKey key, Call call);
    void CloseAll();

    Registry& inner_;
    const Mapping mapping_;
    const std::string hive_;
    std::mutex lock_;
    std::map<RegKey, std::vector<RegKey>> handles_;
    RegKey next_ = 0x5E000;
    bool abandoned_ = false;
};
