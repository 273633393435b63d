#pragma once
// The machine's policy definitions (the .admx files of a PolicyDefinitions folder) as what they
// allow each registry value to hold, and their display texts from the language files (.adml),
// which are read only for the files whose texts are asked for.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/XmlEvents.h"

class PolicyFolders;
class XmlDocumentFactory;

namespace policy {

enum class PolicyClass { Machine, User, Both };

// A value as a definition states it: a number (decimal, longDecimal) or a text (string).
struct DefinedValue {
    bool isNumber = true;
    uint64_t number = 0;
    std::string text;
    bool operator==(const DefinedValue&) const = default;
};

// What one policy allows one registry value to hold.
struct ValueRule {
    enum class Kind {
        OneOf,  // values: enabled/disabled values, list, enum and boolean items
        Range,  // a decimal from minValue to maxValue; a text holding one when asText
        Text,   // text, multiText and list elements
    };
    Kind kind = Kind::OneOf;
    std::vector<DefinedValue> values;
    uint64_t minValue = 0;
    uint64_t maxValue = 9999;
    bool asText = false;
};

struct Policy {
    std::string name;
    PolicyClass policyClass = PolicyClass::Both;
    std::string displayName;  // as written: "$(string.ID)"
    std::string supportedOn;  // the reference as written: "windows:SUPPORTED_Windows7"
    size_t file = 0;          // into Definitions::files
    std::string explainText;  // as written: "$(string.ID)"
};

// A value that a policy writes.
struct PolicyTarget {
    size_t policy = 0;  // into Definitions::policies
    ValueRule rule;
};

struct Definitions {
    std::vector<std::string> files;  // the .admx files' names, without folder
    std::vector<Policy> policies;
    // By Lookup(key, valueName).
    std::unordered_map<std::string, std::vector<PolicyTarget>> values;
    // By Lookup(key, ""): the value names defined under the key, as written.
    std::unordered_map<std::string, std::vector<std::string>> names;
    // By Lookup(key, ""): the policy whose list element writes any value name under the key.
    std::unordered_map<std::string, PolicyTarget> lists;
    // supportedOn definitions by name (without namespace prefix): file and display name.
    std::unordered_map<std::string, std::pair<size_t, std::string>> supportedOn;

    // Takes the definitions of another file in, after these.
    void Merge(Definitions&& other);

    // The map key of a value: its key without backslashes at its ends and its name, in lower
    // case, as the registry compares them.
    static std::string Lookup(std::string_view key, std::string_view valueName);
};

// Reads one .admx file's definitions into definitions as the file numbered file. False, with the
// parser's reason and position, when the file is no well-formed XML (definitions then holds what
// came before the fault).
bool ReadAdmx(XmlDocumentFactory& xml, const std::string& bytes, size_t file,
              Definitions& definitions, std::string& why, XmlPosition& at);
// The string table of an .adml file: id to text, only the ids wanted when they are given. The
// same failures.
bool ReadAdml(XmlDocumentFactory& xml, const std::string& bytes,
              std::unordered_map<std::string, std::string>& strings, std::string& why,
              XmlPosition& at, const std::unordered_set<std::string>* wanted = nullptr);

// A file of the folder that could not be read: its definitions or texts are left out.
struct FileProblem {
    std::string path;
    XmlPosition at;
    std::string reason;
};

// The definitions of one folder, read once; the texts of a file are read when first asked for,
// in the user's first language that has the file, else en-US.
class PolicyLibrary {
public:
    PolicyLibrary(PolicyFolders& folders, XmlDocumentFactory& xml) : folders_(folders), xml_(xml) {}

    // Reads every .admx of the folder. False when the folder is missing or holds none.
    bool Load(const std::string& folder);
    const std::string& Folder() const { return folder_; }
    const Definitions& Read() const { return definitions_; }

    // The policy's display name from the language file, else its name.
    std::string DisplayName(size_t policy);
    // The policy's explanation from the language file; empty when there is none.
    std::string Explanation(size_t policy);
    // The text of the policy's "supported on" definition; empty when there is none.
    std::string SupportedOn(size_t policy);
    // Every file that could not be read so far, in the order it was met.
    const std::vector<FileProblem>& Problems() const { return problems_; }

private:
    std::string Text(size_t file, const std::string& reference);
    const std::unordered_map<std::string, std::string>& Strings(size_t file);
    // The ids of the texts that the definitions of the file refer to.
    const std::unordered_set<std::string>& WantedIds(size_t file);

    PolicyFolders& folders_;
    XmlDocumentFactory& xml_;
    std::string folder_;
    Definitions definitions_;
    std::unordered_map<size_t, std::unordered_map<std::string, std::string>> strings_;
    std::vector<FileProblem> problems_;
    std::vector<std::unordered_set<std::string>> wanted_;  // by file, made when first needed
};

}  // namespace policy
