#include "engine/UserRegistry.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

}  // namespace

UserRegistry::UserRegistry(Registry& inner, Mapping mapping, std::string hive)
    : inner_(inner), mapping_(mapping), hive_(std::move(hive)) {}

UserRegistry::~UserRegistry() { CloseAll(); }

void UserRegistry::CloseAll() {
    for (const auto& [key, members] : handles_) {
        for (const RegKey member : members) inner_.CloseKey(member);
    }
    handles_.clear();
}

void UserRegistry::Abandon() {
    const Lock guard(lock_);
    CloseAll();
    abandoned_ = true;
}

const std::vector<RegKey>* UserRegistry::Members(RegKey key) const {
    const auto found = handles_.find(key);
    return found == handles_.end() ? nullptr : &found->second;
}

RegKey UserRegistry::Issue(std::vector<RegKey> members) {
    const RegKey key = next_;
    next_ += 4;
    handles_[key] = std::move(members);
    return key;
}

std::vector<UserRegistry::Target> UserRegistry::Targets(RegKey root,
                                                        const std::string& subKey) const {
    if (const std::vector<RegKey>* members = Members(root)) {
        std::vector<Target> targets;
        for (const RegKey member : *members) targets.push_back({member, subKey});
        return targets;
    }
    if (root != reg::RootKey(reg::kCurrentUser) || mapping_ == Mapping::Current) {
        return {{root, subKey}};
    }
    return {{reg::RootKey(reg::kUsers), subKey.empty() ? hive_ : hive_ + "\\" + subKey}};
}

template <typename Call>
int32_t UserRegistry::Open(RegKey root, const std::string& subKey, bool all, RegKey& key,
                           Call call) {
    key = 0;
    const Lock guard(lock_);
    if (abandoned_) return reg::kKeyDeleted;
    std::vector<RegKey> members;
    int32_t failure = reg::kSuccess;
    for (const Target& target : Targets(root, subKey)) {
        RegKey opened = 0;
        const int32_t result = call(target, opened);
        if (result == reg::kSuccess) {
            members.push_back(opened);
        } else if (failure == reg::kSuccess) {
            failure = result;
        }
    }
    if (members.empty() || (all && failure != reg::kSuccess)) {
        for (const RegKey member : members) inner_.CloseKey(member);
        return failure;
    }
    key = Issue(std::move(members));
    return reg::kSuccess;
}

template <typename Call>
int32_t UserRegistry::First(RegKey key, Call call) {
    const Lock guard(lock_);
    if (abandoned_) return reg::kKeyDeleted;
    const std::vector<RegKey>* members = Members(key);
    return call(members ? members->front() : key);
}

template <typename Call>
int32_t UserRegistry::Each(RegKey key, Call call) {
    const Lock guard(lock_);
    if (abandoned_) return reg::kKeyDeleted;
    const std::vector<RegKey>* members = Members(key);
    if (members == nullptr) return call(key);
    int32_t failure = reg::kSuccess;
    for (const RegKey member : *members) {
        const int32_t result = call(member);
        if (failure == reg::kSuccess) failure = result;
    }
    return failure;
}

int32_t UserRegistry::OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                              RegKey& key) {
    return Open(root, subKey, false, key, [&](const Target& target, RegKey& opened) {
        return inner_.OpenKey(target.root, target.subKey, access, opened);
    });
}

int32_t UserRegistry::CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                                RegKey& key) {
    return Open(root, subKey, true, key, [&](const Target& target, RegKey& created) {
        return inner_.CreateKey(target.root, target.subKey, access, created);
    });
}

int32_t UserRegistry::QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                                 uint32_t& size) {
    return First(key,
                 [&](RegKey member) { return inner_.QueryValue(member, name, type, data, size); });
}

int32_t UserRegistry::SetValue(RegKey key, const std::string& name, uint32_t type,
                               const uint8_t* data, uint32_t size) {
    return Each(key,
                [&](RegKey member) { return inner_.SetValue(member, name, type, data, size); });
}

int32_t UserRegistry::QueryStored(RegKey key, const std::string& name, uint32_t& type,
                                  std::vector<uint8_t>& data) {
    return First(key, [&](RegKey member) { return inner_.QueryStored(member, name, type, data); });
}

int32_t UserRegistry::SetStored(RegKey key, const std::string& name, uint32_t type,
                                const std::vector<uint8_t>& data) {
    return Each(key, [&](RegKey member) { return inner_.SetStored(member, name, type, data); });
}

int32_t UserRegistry::DeleteValue(RegKey key, const std::string& name) {
    return Each(key, [&](RegKey member) { return inner_.DeleteValue(member, name); });
}

int32_t UserRegistry::DeleteKey(RegKey root, const std::string& subKey, uint32_t view) {
    const Lock guard(lock_);
    if (abandoned_) return reg::kKeyDeleted;
    int32_t failure = reg::kSuccess;
    for (const Target& target : Targets(root, subKey)) {
        const int32_t result = inner_.DeleteKey(target.root, target.subKey, view);
        if (failure == reg::kSuccess) failure = result;
    }
    return failure;
}

int32_t UserRegistry::EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) {
    return First(key, [&](RegKey member) { return inner_.EnumKey(member, index, name, size); });
}

int32_t UserRegistry::QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) {
    return First(key,
                 [&](RegKey member) { return inner_.QueryInfoKey(member, maxValueNameLength); });
}

int32_t UserRegistry::EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) {
    return First(key,
                 [&](RegKey member) { return inner_.EnumValue(member, index, name, nameLength); });
}

int32_t UserRegistry::ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) {
    const Lock guard(lock_);
    return inner_.ConnectRegistry(machine, root, key);
}

int32_t UserRegistry::CloseKey(RegKey key) {
    const Lock guard(lock_);
    const auto found = handles_.find(key);
    if (found == handles_.end()) return abandoned_ ? reg::kSuccess : inner_.CloseKey(key);
    for (const RegKey member : found->second) inner_.CloseKey(member);
    handles_.erase(found);
    return reg::kSuccess;
}

uint32_t UserRegistry::ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) {
    return inner_.ExpandEnvironment(source, buffer, size);
}
