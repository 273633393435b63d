#pragma once
// A catalogue's registry value against the policy definitions: whether it is under a policy key,
// which policy defines it, and what is wrong with it where Windows would silently ignore it.

#include <optional>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "policy/PolicyDefinitions.h"

namespace policy {

struct PolicyWarning {
    std::string code;  // policy-unknown-value, policy-value-not-allowed, policy-wrong-hive
    std::string message;
};

struct PolicyFinding {
    // Under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER, below a key named Policies.
    bool policyKey = false;
    std::optional<size_t> policy;  // the policy that defines the value
    std::vector<PolicyWarning> warnings;
};

PolicyFinding CheckValue(const RegistryItem& item, PolicyLibrary& library);

// The number of single-character edits (insert, delete, change, swap two neighbours) that make
// one name of the other, in any letter case; limit + 1 when it takes more than limit.
size_t EditDistance(std::string_view a, std::string_view b, size_t limit);

// For the editor's details: each policy that defines values of the entry, once, as
// "Policy: Turn off AutoRun (supported on: At least Windows 7)".
std::vector<std::string> PolicyLines(const OptimizationItem& entry, PolicyLibrary& library);

// A policy as messages name it: its name and, in brackets, its display name.
std::string PolicyTitle(PolicyLibrary& library, size_t policy);

}  // namespace policy
