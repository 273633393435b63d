#include "engine/plan/PlanAdapters.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "catalogue/Codes.h"
#include "engine/RegistryTap.h"

namespace engine {
namespace {

constexpr uint32_t kInvalidParameter = 87;
// The registry's limits, in UTF-16 characters: a key name (each name of a path) and a value
// name. Windows refuses longer ones with ERROR_INVALID_PARAMETER, which a plan can tell at once.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

size_t Utf16Length(std::string_view text) {
    size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) ++units;  // a character starts here
        if (byte >= 0xF0) ++units;           // beyond the first plane: a surrogate pair
    }
    return units;
}

bool HasOverlongKeyName(const std::string& path) {
    for (size_t start = 0;;) {
        const size_t slash = path.find('\\', start);
        if (Utf16Length(std::string_view(path).substr(start, slash - start)) > kMaxKeyName) {
            return true;
        }
        if (slash == std::string::npos) return false;
        start = slash + 1;
    }
}

std::string Folded(std::string path) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return codes::UpperAscii(path);
}

// RegQueryValueEx on data the plan keeps.
int32_t Answer(const std::string& stored, uint8_t* data, uint32_t& size) {
    const auto needed = static_cast<uint32_t>(stored.size());
    if (data == nullptr) {
        size = needed;
        return reg::kSuccess;
    }
    if (size < needed) {
        size = needed;
        return reg::kMoreData;
    }
    std::memcpy(data, stored.data(), needed);
    size = needed;
    return reg::kSuccess;
}

}  // namespace

PlanRegistry::~PlanRegistry() {
    for (const auto& [key, handle] : handles_) {
        if (handle.machine != 0) machine_.CloseKey(handle.machine);
    }
}

const PlanRegistry::Handle* PlanRegistry::Find(RegKey key) const {
    const auto found = handles_.find(key);
    return found == handles_.end() ? nullptr : &found->second;
}

PlanRegistry::KeyPlace PlanRegistry::KeyPlaceOf(RegKey root, const std::string& subKey) const {
    KeyPlace place;
    if (const Handle* handle = Find(root)) {
        place.path = handle->path;
        place.machineRoot = handle->machine;
        place.planOnly = handle->machine == 0;
    } else {
        place.path = std::to_string(root);
        place.machineRoot = root;
    }
    const std::string below = Folded(subKey);
    if (!below.empty()) place.path += "\\" + below;
    return place;
}

RegKey PlanRegistry::Issue(Handle handle) {
    const RegKey key = next_;
    next_ += 4;
    handles_[key] = std::move(handle);
    return key;
}

int32_t PlanRegistry::OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                              RegKey& key) {
    const KeyPlace place = KeyPlaceOf(root, subKey);
    if (made_.count(place.path) != 0) {
        key = Issue({place.path, 0, access});
        return reg::kSuccess;
    }
    if (place.planOnly || deleted_.count(place.path) != 0) return reg::kFileNotFound;
    // The machine checks the access asked for; asking for write access changes nothing.
    RegKey opened = 0;
    const int32_t result = machine_.OpenKey(place.machineRoot, subKey, access, opened);
    if (result != reg::kSuccess) return result;
    key = Issue({place.path, opened, access});
    return reg::kSuccess;
}

int32_t PlanRegistry::CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                                RegKey& key) {
    if (HasOverlongKeyName(subKey)) return static_cast<int32_t>(kInvalidParameter);
    const int32_t opened = OpenKey(root, subKey, access, key);
    if (opened != reg::kFileNotFound) return opened;

    // The key is missing: the nearest key of its path that is there must let a sub key be made.
    const uint32_t view = access & RegistryTap::kViewFlags;
    const KeyPlace base = KeyPlaceOf(root, "");
    // Asked of this registry, so that keys the plan has made count as there.
    const std::vector<std::string> missing = RegistryTap::MissingKeys(*this, root, subKey, view);
    if (missing.empty()) return reg::kFileNotFound;
    const size_t last = missing.front().rfind('\\');
    // Below root; empty: root itself.
    const std::string parent =
        last == std::string::npos ? "" : RegistryTap::KeyPath(missing.front().substr(0, last));
    if (!base.planOnly && made_.count(KeyPlaceOf(root, parent).path) == 0) {
        OwnedKey probe(reg::OpenedKey{&machine_});
        const int32_t allowed =
            machine_.OpenKey(base.machineRoot, parent, reg::kCreateSubKey | view, *probe.Put());
        if (allowed != reg::kSuccess) return allowed;
    }
    for (const std::string& along : missing) {
        made_.insert(KeyPlaceOf(root, along).path);
        deleted_.erase(KeyPlaceOf(root, along).path);
    }
    key = Issue({KeyPlaceOf(root, subKey).path, 0, access});
    return reg::kSuccess;
}

const PlanRegistry::Stored* PlanRegistry::Kept(const Handle& handle,
                                               const std::string& name) const {
    const auto found = values_.find(handle.path + "\n" + codes::UpperAscii(name));
    return found == values_.end() ? nullptr : &found->second;
}

int32_t PlanRegistry::QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                                 uint32_t& size) {
    const Handle* handle = Find(key);
    if (handle == nullptr) return machine_.QueryValue(key, name, type, data, size);
    if ((handle->access & reg::kQueryValue) == 0) return reg::kAccessDenied;
    if (const Stored* stored = Kept(*handle, name)) {
        if (!stored->present) return reg::kFileNotFound;
        type = stored->type;
        return Answer(stored->data, data, size);
    }
    if (handle->machine == 0) return reg::kFileNotFound;
    return machine_.QueryValue(handle->machine, name, type, data, size);
}

int32_t PlanRegistry::QueryStored(RegKey key, const std::string& name, uint32_t& type,
                                  std::vector<uint8_t>& data) {
    const Handle* handle = Find(key);
    if (handle == nullptr) return machine_.QueryStored(key, name, type, data);
    if (handle->machine == 0 || Kept(*handle, name) || (handle->access & reg::kQueryValue) == 0) {
        return Registry::QueryStored(key, name, type, data);
    }
    return machine_.QueryStored(handle->machine, name, type, data);
}

int32_t PlanRegistry::SetValue(RegKey key, const std::string& name, uint32_t type,
                               const uint8_t* data, uint32_t size) {
    const Handle* handle = Find(key);
    if (handle == nullptr) return reg::kInvalidHandle;  // never a write to the machine
    if ((handle->access & reg::kSetValue) == 0) return reg::kAccessDenied;
    if (Utf16Length(name) > kMaxValueName) return static_cast<int32_t>(kInvalidParameter);
    values_[handle->path + "\n" + codes::UpperAscii(name)] = {
        true, type, std::string(reinterpret_cast<const char*>(data), size), name};
    return reg::kSuccess;
}

int32_t PlanRegistry::DeleteValue(RegKey key, const std::string& name) {
    const Handle* handle = Find(key);
    if (handle == nullptr) return reg::kInvalidHandle;
    if ((handle->access & reg::kSetValue) == 0) return reg::kAccessDenied;
    uint32_t type = 0;
    uint32_t size = 0;
    const int32_t found = QueryValue(key, name, type, nullptr, size);
    if (found != reg::kSuccess) return found;
    values_[handle->path + "\n" + codes::UpperAscii(name)] = {};
    return reg::kSuccess;
}

int32_t PlanRegistry::DeleteKey(RegKey root, const std::string& subKey, uint32_t view) {
    RegKey key = 0;
    const int32_t opened = OpenKey(root, subKey, reg::kEnumerateSubKeys | view, key);
    if (opened != reg::kSuccess) return opened;
    const Handle handle = *Find(key);
    std::vector<std::string> below;
    const int32_t listed = Names(handle, true, below);
    CloseKey(key);
    if (listed != reg::kSuccess) return listed;
    if (!below.empty()) return reg::kAccessDenied;  // as the machine refuses it
    if (handle.machine != 0) {
        // The machine checks the right to delete; asking for it deletes nothing.
        constexpr uint32_t kDeleteRight = 0x00010000;
        OwnedKey probe(reg::OpenedKey{&machine_});
        const KeyPlace place = KeyPlaceOf(root, subKey);
        const int32_t allowed =
            machine_.OpenKey(place.machineRoot, subKey, kDeleteRight | view, *probe.Put());
        if (allowed != reg::kSuccess) return allowed;
        deleted_.insert(handle.path);
    }
    made_.erase(handle.path);
    const std::string values = handle.path + "\n";
    for (auto it = values_.lower_bound(values);
         it != values_.end() && it->first.compare(0, values.size(), values) == 0;) {
        it = values_.erase(it);
    }
    return reg::kSuccess;
}

int32_t PlanRegistry::Names(const Handle& handle, bool keys, std::vector<std::string>& names) {
    std::set<std::string> seen;  // folded
    std::vector<char> buffer(keys ? 3 * kMaxKeyName + 1 : 3 * kMaxValueName + 1);
    for (uint32_t index = 0; handle.machine != 0; ++index) {
        auto length = static_cast<uint32_t>(buffer.size());
        const int32_t result =
            keys ? machine_.EnumKey(handle.machine, index, buffer.data(), length)
                 : machine_.EnumValue(handle.machine, index, buffer.data(), length);
        if (result == reg::kNoMoreItems) break;
        if (result != reg::kSuccess) return result;
        std::string name = keys ? std::string(buffer.data()) : std::string(buffer.data(), length);
        const std::string folded = codes::UpperAscii(name);
        seen.insert(folded);
        const Stored* kept = keys ? nullptr : Kept(handle, name);
        const bool gone = keys ? deleted_.count(handle.path + "\\" + folded) != 0
                               : kept != nullptr && !kept->present;
        if (!gone) names.push_back(std::move(name));
    }
    if (keys) {
        // Keys the plan made straight below this one.
        const std::string prefix = handle.path + "\\";
        for (auto it = made_.lower_bound(prefix);
             it != made_.end() && it->compare(0, prefix.size(), prefix) == 0; ++it) {
            const std::string name = it->substr(prefix.size());
            if (name.find('\\') == std::string::npos && seen.insert(name).second) {
                names.push_back(name);
            }
        }
        return reg::kSuccess;
    }
    const std::string prefix = handle.path + "\n";
    for (auto it = values_.lower_bound(prefix);
         it != values_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->second.present && seen.insert(it->first.substr(prefix.size())).second) {
            names.push_back(it->second.name);
        }
    }
    return reg::kSuccess;
}

int32_t PlanRegistry::EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) {
    const Handle* handle = Find(key);
    if (handle == nullptr) return machine_.EnumKey(key, index, name, size);
    std::vector<std::string> names;
    if (const int32_t listed = Names(*handle, true, names)) return listed;
    if (index >= names.size()) return reg::kNoMoreItems;
    if (names[index].size() + 1 > size) return reg::kMoreData;
    std::memcpy(name, names[index].c_str(), names[index].size() + 1);
    return reg::kSuccess;
}

int32_t PlanRegistry::QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) {
    const Handle* handle = Find(key);
    if (handle == nullptr) return machine_.QueryInfoKey(key, maxValueNameLength);
    std::vector<std::string> names;
    if (const int32_t listed = Names(*handle, false, names)) return listed;
    maxValueNameLength = 0;
    for (const std::string& name : names) {
        maxValueNameLength = std::max(maxValueNameLength, static_cast<uint32_t>(name.size()));
    }
    return reg::kSuccess;
}

int32_t PlanRegistry::EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) {
    const Handle* handle = Find(key);
    if (handle == nullptr) return machine_.EnumValue(key, index, name, nameLength);
    std::vector<std::string> names;
    if (const int32_t listed = Names(*handle, false, names)) return listed;
    if (index >= names.size()) return reg::kNoMoreItems;
    if (names[index].size() + 1 > nameLength) return reg::kMoreData;
    std::memcpy(name, names[index].c_str(), names[index].size() + 1);
    nameLength = static_cast<uint32_t>(names[index].size());
    return reg::kSuccess;
}

int32_t PlanRegistry::ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) {
    return machine_.ConnectRegistry(machine, root, key);
}

int32_t PlanRegistry::CloseKey(RegKey key) {
    const auto found = handles_.find(key);
    if (found == handles_.end()) return machine_.CloseKey(key);
    if (found->second.machine != 0) machine_.CloseKey(found->second.machine);
    handles_.erase(found);
    return reg::kSuccess;
}

uint32_t PlanRegistry::ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) {
    return machine_.ExpandEnvironment(source, buffer, size);
}

namespace {

std::optional<std::string> Locate(const std::string& name, const std::vector<std::string>& folders,
                                  ProgramSearch& search) {
    if (name.empty()) return std::nullopt;
    const size_t separator = name.find_last_of("\\/");
    const std::string last = separator == std::string::npos ? name : name.substr(separator + 1);
    const std::string file = last.find('.') == std::string::npos ? name + ".exe" : name;
    if (separator != std::string::npos || name.find(':') != std::string::npos) {
        if (search.IsFile(file)) return file;
        return std::nullopt;
    }
    for (const std::string& folder : folders) {
        const std::string path =
            folder + (folder.empty() || folder.back() == '\\' ? "" : "\\") + file;
        if (search.IsFile(path)) return path;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FindProgram(const std::string& commandLine, ProgramSearch& search) {
    const size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string::npos) return std::nullopt;
    std::vector<std::string> names;
    if (commandLine[start] == '"') {
        const size_t closing = commandLine.find('"', start + 1);
        names.push_back(commandLine.substr(start + 1, closing - start - 1));
    } else {
        // An unquoted path with blanks is ambiguous: each run of words up to a blank is tried,
        // the shortest first.
        for (size_t blank = commandLine.find_first_of(" \t", start);;
             blank = commandLine.find_first_of(" \t", blank + 1)) {
            names.push_back(commandLine.substr(start, blank - start));
            if (blank == std::string::npos) break;
        }
    }
    const std::vector<std::string> folders = search.SearchFolders();
    for (const std::string& name : names) {
        if (std::optional<std::string> found = Locate(name, folders, search)) return found;
    }
    return std::nullopt;
}

uint32_t PlanLauncher::Start(const std::string& commandLine, WindowStyle, StartScope*) {
    lastProgram.reset();
    if (commandLine.find('\0') != std::string::npos) return kInvalidParameter;
    lastProgram = FindProgram(commandLine, search_);
    return lastProgram ? 0 : static_cast<uint32_t>(reg::kFileNotFound);
}

uint32_t PlanServices::Query(const std::string& name, ServiceState& state) {
    const std::string folded = codes::UpperAscii(name);
    auto read = read_.find(folded);
    if (read == read_.end()) {
        ServiceState machine;
        const uint32_t found = machine_.Query(name, machine);
        read = read_.emplace(folded, std::make_pair(found, machine)).first;
    }
    state = read->second.second;
    if (read->second.first != 0) return read->second.first;
    if (const auto kept = kept_.find(folded); kept != kept_.end()) {
        state.start = kept->second;
    }
    if (const auto kept = running_.find(folded); kept != running_.end()) {
        state.running = kept->second;
    }
    return 0;
}

uint32_t PlanServices::KeepRunning(const std::string& name, bool running) {
    ServiceState state;
    if (const uint32_t found = Query(name, state)) return found;
    if (running && !state.running && state.start.type == services::kDisabled) {
        return services::kDisabledStart;
    }
    running_[codes::UpperAscii(name)] = running;
    return 0;
}

// The machine is asked for the service, so that a plan meets one that is not there; what it
// would refuse beyond that (rights, a protected service) only a run finds.
uint32_t PlanServices::SetStart(const std::string& name, const ServiceStart& start) {
    ServiceState state;
    if (const uint32_t found = Query(name, state)) return found;
    ServiceStart kept = start;
    if (kept.type != services::kAutomatic) kept.delayed = state.start.delayed;
    kept_[codes::UpperAscii(name)] = kept;
    return 0;
}

int32_t PlanTasks::IsEnabled(const std::string& path, bool& enabled) {
    const std::string folded = codes::UpperAscii(path);
    auto read = read_.find(folded);
    if (read == read_.end()) {
        bool machine = false;
        const int32_t found = machine_.IsEnabled(path, machine);
        read = read_.emplace(folded, std::make_pair(found, machine)).first;
    }
    enabled = read->second.second;
    if (read->second.first < 0) return read->second.first;
    if (const auto kept = kept_.find(folded); kept != kept_.end()) enabled = kept->second;
    return read->second.first;
}

int32_t PlanTasks::SetEnabled(const std::string& path, bool enabled) {
    bool now = false;
    if (const int32_t found = IsEnabled(path, now); found < 0) return found;
    kept_[codes::UpperAscii(path)] = enabled;
    return 0;
}

namespace {

// Whether the upper-cased command line names the program, alone or as a path's last part, with
// or without ".EXE": "powercfg -h off", "C:\Windows\System32\powercfg.exe", "cmd /c powercfg".
bool NamesProgram(const std::string& text, const std::string& program) {
    for (size_t at = text.find(program); at != std::string::npos; at = text.find(program, at + 1)) {
        const size_t end = at + program.size();
        const bool starts =
            at == 0 || std::string_view(" \t\"\\/").find(text[at - 1]) != std::string_view::npos;
        const bool ends = end == text.size() || text[end] == ' ' || text[end] == '"' ||
                          text.compare(end, 4, ".EXE") == 0;
        if (starts && ends) return true;
    }
    return false;
}

}  // namespace

std::string UnknowableEffect(const std::string& commandLine) {
    const std::string text = codes::UpperAscii(commandLine);
    const auto has = [&](const char* word) { return text.find(word) != std::string::npos; };
    if (has("REMOVE-APPXPACKAGE") || has("REMOVE-APPXPROVISIONEDPACKAGE")) {
        return "an app removed cannot be read before nor put back by undo";
    }
    if (NamesProgram(text, "POWERCFG")) {
        return "powercfg: the power settings it changes are not read before, and undo cannot "
               "put them back";
    }
    if (NamesProgram(text, "BCDEDIT")) {
        return "bcdedit: the boot configuration it changes is not read before, and undo cannot "
               "put it back";
    }
    return {};
}

}  // namespace engine
