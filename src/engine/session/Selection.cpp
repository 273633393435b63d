// Which entries a run takes, and what it warns of before it runs.

#include <algorithm>

#include "catalogue/Codes.h"
#include "engine/session/Session.h"

namespace engine {
namespace {

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool Chosen(const OptimizationItem& entry, const Selection& selection) {
    return (selection.items.empty() || Holds(selection.items, entry.Number)) &&
           (selection.categories.empty() ||
            Holds(selection.categories, codes::UpperAscii(entry.Category))) &&
           (selection.impacts.empty() ||
            Holds(selection.impacts, codes::UpperAscii(entry.Impact))) &&
           !Holds(selection.excluded, entry.Number);
}

// A value of the selection that no entry has: a typing error.
std::string WrongUsage(const OptimizationList& catalogue, const Selection& selection) {
    std::string wrong;
    const auto check = [&](const std::vector<std::string>& values, const char* what, auto field) {
        for (const std::string& value : values) {
            if (!wrong.empty()) return;
            if (std::none_of(
                    catalogue.begin(), catalogue.end(),
                    [&](const OptimizationItemPtr& entry) { return field(*entry) == value; })) {
                wrong = "no entry has the " + std::string(what) + " " + value;
            }
        }
    };
    check(selection.items, "Number", [](const OptimizationItem& e) { return e.Number; });
    check(selection.excluded, "Number", [](const OptimizationItem& e) { return e.Number; });
    check(selection.categories, "category",
          [](const OptimizationItem& e) { return codes::UpperAscii(e.Category); });
    check(selection.impacts, "impact",
          [](const OptimizationItem& e) { return codes::UpperAscii(e.Impact); });
    return wrong;
}

// The selection as it would be typed: "--items 1 --impact HIGH"; empty when it selects all.
std::string SelectionText(const Selection& selection) {
    std::string text;
    const auto add = [&](const char* option, const std::vector<std::string>& values) {
        if (values.empty()) return;
        if (!text.empty()) text.push_back(' ');
        text.append(option);
        for (size_t i = 0; i < values.size(); ++i) {
            text.push_back(i == 0 ? ' ' : ',');
            text.append(values[i]);
        }
    };
    add("--items", selection.items);
    add("--category", selection.categories);
    add("--impact", selection.impacts);
    add("--exclude", selection.excluded);
    return text;
}

// HKEY_CURRENT_USER\Software\Classes is the user's classes hive (UsrClass.dat) once the user
// is logged on; new users get their own, not the default profile's. The value is written into
// the default profile's hive all the same, where no new user will read it: said before the run.
void WarnClassesInProfile(const OptimizationList& selected, std::vector<Problem>& warnings) {
    const std::string classes = "HKEY_CURRENT_USER\\SOFTWARE\\CLASSES";
    for (const OptimizationItemPtr& entry : selected) {
        for (const RegistryItem& value : entry->regItems) {
            const std::string key = codes::UpperAscii(value.Key);
            if (key.rfind(classes, 0) != 0 ||
                (key.size() > classes.size() && key[classes.size()] != '\\')) {
                continue;
            }
            warnings.push_back(
                {Problem::Severity::Warning, "classes-not-in-profile", value.Position.line,
                 value.Position.column,
                 value.Key + " is in each user's own classes hive (UsrClass.dat), not in the "
                             "default profile's: new users do not get this value"});
        }
    }
}

}  // namespace

// Entries named by items but not enabled stay out, with a warning.
Selected Select(const OptimizationList& catalogue, const Selection& selection) {
    Selected selected;
    selected.wrongUsage = WrongUsage(catalogue, selection);
    if (!selected.wrongUsage.empty()) return selected;
    // Each value is in the catalogue, but together they take nothing: as much a typing error.
    // (Entries for other Windows versions are taken here; the run leaves them out later.)
    const std::string asked = SelectionText(selection);
    if (!asked.empty() &&
        std::none_of(catalogue.begin(), catalogue.end(),
                     [&](const OptimizationItemPtr& entry) { return Chosen(*entry, selection); })) {
        selected.wrongUsage = "no entry of the catalogue is selected by " + asked;
        return selected;
    }
    for (const OptimizationItemPtr& entry : catalogue) {
        if (!Chosen(*entry, selection)) continue;
        if (!selection.items.empty() && !entry->Enabled) {
            selected.warnings.push_back(
                {Problem::Severity::Warning, "item-not-enabled", entry->Position.line,
                 entry->Position.column,
                 "entry " + entry->Number +
                     " is named by --items but not enabled in the catalogue: it is left out"});
        }
        if (entry->Enabled) selected.entries.push_back(entry);
    }
    if (selection.users != Users::Current)
        WarnClassesInProfile(selected.entries, selected.warnings);
    return selected;
}

}  // namespace engine
