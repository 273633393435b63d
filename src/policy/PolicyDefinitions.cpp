#include "policy/PolicyDefinitions.h"

#include <charconv>
#include <unordered_set>

#include "catalogue/CatalogueFile.h"
#include "platform/PolicyFolders.h"
#include "platform/XmlDocument.h"

namespace policy {
namespace {

// The elements of the ADMX and ADML schemas that say anything about registry values or texts.
enum class Tag {
    Other,
    Policy,
    SupportedOn,
    Definitions,
    Definition,
    EnabledValue,
    DisabledValue,
    EnabledList,
    DisabledList,
    Item,
    Value,
    Elements,
    Boolean,
    TrueValue,
    FalseValue,
    TrueList,
    FalseList,
    Decimal,
    LongDecimal,
    Enum,
    Text,
    MultiText,
    List,
    ValueList,
    String,
    Delete,
    StringTable,
};

Tag TagOf(std::string_view name) {
    static const std::unordered_map<std::string_view, Tag> kTags = {
        {"policy", Tag::Policy},
        {"supportedOn", Tag::SupportedOn},
        {"definitions", Tag::Definitions},
        {"definition", Tag::Definition},
        {"enabledValue", Tag::EnabledValue},
        {"disabledValue", Tag::DisabledValue},
        {"enabledList", Tag::EnabledList},
        {"disabledList", Tag::DisabledList},
        {"item", Tag::Item},
        {"value", Tag::Value},
        {"elements", Tag::Elements},
        {"boolean", Tag::Boolean},
        {"trueValue", Tag::TrueValue},
        {"falseValue", Tag::FalseValue},
        {"trueList", Tag::TrueList},
        {"falseList", Tag::FalseList},
        {"decimal", Tag::Decimal},
        {"longDecimal", Tag::LongDecimal},
        {"enum", Tag::Enum},
        {"text", Tag::Text},
        {"multiText", Tag::MultiText},
        {"list", Tag::List},
        {"valueList", Tag::ValueList},
        {"string", Tag::String},
        {"delete", Tag::Delete},
        {"stringTable", Tag::StringTable},
    };
    const auto found = kTags.find(name);
    return found == kTags.end() ? Tag::Other : found->second;
}

bool HoldsValue(Tag tag) {
    return tag == Tag::EnabledValue || tag == Tag::DisabledValue || tag == Tag::Value ||
           tag == Tag::TrueValue || tag == Tag::FalseValue;
}

std::optional<uint64_t> Unsigned(const std::string& text) {
    uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The attributes the schemas' elements carry that matter here; others are passed over.
struct Attributes {
    std::string name, key, valueName, className, displayName, value, ref, defaultKey, id,
        explainText;
    std::optional<uint64_t> minValue, maxValue;
    bool storeAsText = false;

    // Emptied for the next element, keeping what the texts hold room for.
    void Clear() {
        for (std::string* text : {&name, &key, &valueName, &className, &displayName, &value, &ref,
                                  &defaultKey, &id, &explainText}) {
            text->clear();
        }
        minValue.reset();
        maxValue.reset();
        storeAsText = false;
    }

    void Take(std::string_view attribute, std::string_view text) {
        static const std::unordered_map<std::string_view, std::string Attributes::*> kTexts = {
            {"name", &Attributes::name},
            {"key", &Attributes::key},
            {"valueName", &Attributes::valueName},
            {"class", &Attributes::className},
            {"displayName", &Attributes::displayName},
            {"value", &Attributes::value},
            {"ref", &Attributes::ref},
            {"defaultKey", &Attributes::defaultKey},
            {"id", &Attributes::id},
            {"explainText", &Attributes::explainText},
        };
        if (const auto field = kTexts.find(attribute); field != kTexts.end()) {
            this->*(field->second) = text;
        } else if (attribute == "minValue") {
            minValue = Unsigned(std::string(text));
        } else if (attribute == "maxValue") {
            maxValue = Unsigned(std::string(text));
        } else if (attribute == "storeAsText") {
            storeAsText = text == "true" || text == "1";
        }
    }
};

// Where values go: a key and a value name.
struct Place {
    std::string key, valueName;
};

// Reads the elements as their attributes come in: an element is taken once the event after its
// start shows that all of its attributes are there.
class SchemaEvents : public XmlEvents {
public:
    void StartElement(std::string_view name, XmlPosition) override {
        Settle();
        stack_.push_back(TagOf(name));
        attributes_.Clear();
        pending_ = true;
    }
    bool WantsAttributes() override { return stack_.back() != Tag::Other; }
    void Attribute(std::string_view name, std::string_view value) override {
        if (stack_.back() != Tag::Other) attributes_.Take(name, value);
    }
    bool WantsText() override {
        Settle();
        return gathering_;
    }
    void Text(std::string_view text) override {
        Settle();
        if (gathering_) text_.append(text);
    }
    void EndElement() override {
        Settle();
        Closed(stack_.back());
        stack_.pop_back();
    }
    void Error(std::string_view reason, XmlPosition at) override {
        why = reason;
        this->at = at;
    }

    std::string why;
    XmlPosition at;

protected:
    virtual void Opened(Tag tag, Tag parent, const Attributes& attributes) = 0;
    virtual void Closed(Tag tag) = 0;
    void Gather() {
        gathering_ = true;
        text_.clear();
    }
    bool Gathering() const { return gathering_; }
    std::string Gathered() {
        gathering_ = false;
        return std::move(text_);
    }

private:
    void Settle() {
        if (!pending_) return;
        pending_ = false;
        const Tag parent = stack_.size() > 1 ? stack_[stack_.size() - 2] : Tag::Other;
        if (stack_.back() != Tag::Other) Opened(stack_.back(), parent, attributes_);
    }

    std::vector<Tag> stack_;
    Attributes attributes_;
    bool pending_ = false;
    bool gathering_ = false;
    std::string text_;
};

class AdmxEvents final : public SchemaEvents {
public:
    AdmxEvents(Definitions& definitions, size_t file) : definitions_(definitions), file_(file) {}

private:
    void Opened(Tag tag, Tag parent, const Attributes& a) override {
        if (HoldsValue(parent) && (tag == Tag::Decimal || tag == Tag::LongDecimal)) {
            if (const auto number = Unsigned(a.value)) AddValue({true, *number, {}});
            return;
        }
        if (HoldsValue(parent) && tag == Tag::String) return Gather();
        if (parent == Tag::Elements) return OpenElement(tag, a);
        switch (tag) {
            case Tag::Policy: return OpenPolicy(a);
            case Tag::SupportedOn:
                if (parent == Tag::Policy && inPolicy_) Current().supportedOn = a.ref;
                return;
            case Tag::Definition:
                if (parent == Tag::Definitions) {
                    definitions_.supportedOn[a.name] = {file_, a.displayName};
                }
                return;
            case Tag::EnabledValue:
            case Tag::DisabledValue:
                policyHasValues_ = true;
                holder_ = policyPlace_;
                return;
            case Tag::EnabledList:
            case Tag::DisabledList:
                listKey_ = a.defaultKey.empty() ? policyPlace_.key : a.defaultKey;
                return;
            case Tag::TrueList:
            case Tag::FalseList:
            case Tag::ValueList:
                listKey_ = a.defaultKey.empty() ? elementPlace_.key : a.defaultKey;
                return;
            case Tag::Item:
                itemPlace_ = parent == Tag::Enum
                                 ? elementPlace_
                                 : Place{a.key.empty() ? listKey_ : a.key, a.valueName};
                return;
            case Tag::Value: holder_ = itemPlace_; return;
            case Tag::TrueValue:
            case Tag::FalseValue:
                booleanHasValues_ = true;
                holder_ = elementPlace_;
                return;
            default: return;
        }
    }

    void Closed(Tag tag) override {
        if (tag == Tag::String && Gathering()) {
            AddValue({false, 0, Gathered()});
        } else if (tag == Tag::Policy && inPolicy_) {
            // A policy with a value of its own and no stated values writes 1 and 0.
            if (!policyHasValues_ && !policyPlace_.valueName.empty()) AddOneAndZero(policyPlace_);
            inPolicy_ = false;
        } else if (tag == Tag::Boolean && !booleanHasValues_ && !elementPlace_.valueName.empty()) {
            AddOneAndZero(elementPlace_);
        }
    }

    void OpenPolicy(const Attributes& a) {
        Policy policy{a.name, PolicyClass::Both, a.displayName, {}, file_, a.explainText};
        if (a.className == "Machine") policy.policyClass = PolicyClass::Machine;
        if (a.className == "User") policy.policyClass = PolicyClass::User;
        definitions_.policies.push_back(std::move(policy));
        inPolicy_ = true;
        policyHasValues_ = false;
        policyPlace_ = {a.key, a.valueName};
        holder_ = elementPlace_ = {};
    }

    void OpenElement(Tag tag, const Attributes& a) {
        if (!inPolicy_) return;
        elementPlace_ = {a.key.empty() ? policyPlace_.key : a.key, a.valueName};
        ValueRule rule;
        switch (tag) {
            case Tag::Decimal:
            case Tag::LongDecimal:
                rule.kind = ValueRule::Kind::Range;
                rule.minValue = a.minValue.value_or(0);
                rule.maxValue = a.maxValue.value_or(9999);
                rule.asText = a.storeAsText;
                break;
            case Tag::Text:
            case Tag::MultiText: rule.kind = ValueRule::Kind::Text; break;
            case Tag::List:
                definitions_.lists[Definitions::Lookup(elementPlace_.key, "")] = {
                    Index(), {ValueRule::Kind::Text, {}, 0, 0, false}};
                return;
            case Tag::Boolean: booleanHasValues_ = false; return;
            default: return;  // enum: its items give the values
        }
        Targets(elementPlace_).push_back({Index(), std::move(rule)});
    }

    void AddOneAndZero(const Place& place) {
        holder_ = place;
        AddValue({true, 1, {}});
        AddValue({true, 0, {}});
    }

    // A value the policy allows at the holder's place, with the others it allows there.
    void AddValue(DefinedValue value) {
        if (!inPolicy_ || holder_.valueName.empty()) return;
        std::vector<PolicyTarget>& targets = Targets(holder_);
        for (PolicyTarget& target : targets) {
            if (target.policy == Index() && target.rule.kind == ValueRule::Kind::OneOf) {
                target.rule.values.push_back(std::move(value));
                return;
            }
        }
        targets.push_back({Index(), {ValueRule::Kind::OneOf, {std::move(value)}, 0, 0, false}});
    }

    std::vector<PolicyTarget>& Targets(const Place& place) {
        auto [found, fresh] =
            definitions_.values.try_emplace(Definitions::Lookup(place.key, place.valueName));
        if (fresh)
            definitions_.names[Definitions::Lookup(place.key, "")].push_back(place.valueName);
        return found->second;
    }

    Policy& Current() { return definitions_.policies.back(); }
    size_t Index() const { return definitions_.policies.size() - 1; }

    Definitions& definitions_;
    size_t file_;
    bool inPolicy_ = false;
    bool policyHasValues_ = false;
    bool booleanHasValues_ = false;
    Place policyPlace_, elementPlace_, itemPlace_, holder_;
    std::string listKey_;
};

class AdmlEvents final : public SchemaEvents {
public:
    AdmlEvents(std::unordered_map<std::string, std::string>& strings,
               const std::unordered_set<std::string>* wanted)
        : strings_(strings), wanted_(wanted) {}

private:
    void Opened(Tag tag, Tag parent, const Attributes& a) override {
        // Most of a language file is help texts, which nothing here shows.
        if (tag == Tag::String && parent == Tag::StringTable &&
            (!wanted_ || wanted_->count(a.id) != 0)) {
            id_ = a.id;
            Gather();
        }
    }
    void Closed(Tag tag) override {
        if (tag == Tag::String && Gathering()) strings_[std::move(id_)] = Gathered();
        id_.clear();
    }

    std::unordered_map<std::string, std::string>& strings_;
    const std::unordered_set<std::string>* wanted_;
    std::string id_;
};

bool ReadFile(XmlDocumentFactory& xml, const std::string& bytes, SchemaEvents& events,
              std::string& why, XmlPosition& at) {
    // The catalogue's own check first: no document type, nothing a parser might fetch.
    const catalogue::FileCheck check = catalogue::CheckFile(bytes);
    if (!check.acceptable) {
        why = check.reason;
        at = XmlPositionCounter(bytes).At(check.offset);
        return false;
    }
    if (xml.ReadEvents(bytes, events)) return true;
    why = events.why;
    at = events.at;
    return false;
}

}  // namespace

std::string Definitions::Lookup(std::string_view key, std::string_view valueName) {
    while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
    while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
    std::string lookup;
    lookup.reserve(key.size() + valueName.size() + 1);
    for (char c : key) lookup += Lower(c);
    lookup += '\n';  // in no key or value name that a definition holds
    for (char c : valueName) lookup += Lower(c);
    return lookup;
}

void Definitions::Merge(Definitions&& other) {
    const size_t offset = policies.size();
    for (Policy& policy : other.policies) policies.push_back(std::move(policy));
    for (auto& [key, added] : other.names) {
        std::vector<std::string>& known = names[key];
        for (std::string& name : added) {
            std::string lookup = key;  // ends in the separator already
            for (char c : name) lookup += Lower(c);
            if (!values.count(lookup)) known.push_back(std::move(name));
        }
    }
    for (auto& [lookup, targets] : other.values) {
        std::vector<PolicyTarget>& into = values[lookup];
        for (PolicyTarget& target : targets) {
            target.policy += offset;
            into.push_back(std::move(target));
        }
    }
    for (auto& [key, target] : other.lists) {
        target.policy += offset;
        lists.insert_or_assign(key, std::move(target));
    }
    supportedOn.merge(other.supportedOn);
}

bool ReadAdmx(XmlDocumentFactory& xml, const std::string& bytes, size_t file,
              Definitions& definitions, std::string& why, XmlPosition& at) {
    AdmxEvents events(definitions, file);
    return ReadFile(xml, bytes, events, why, at);
}

bool ReadAdml(XmlDocumentFactory& xml, const std::string& bytes,
              std::unordered_map<std::string, std::string>& strings, std::string& why,
              XmlPosition& at, const std::unordered_set<std::string>* wanted) {
    AdmlEvents events(strings, wanted);
    return ReadFile(xml, bytes, events, why, at);
}

bool PolicyLibrary::Load(const std::string& folder) {
    folder_ = folder;
    const std::optional<std::vector<std::string>> names = folders_.FileNames(folder, ".admx");
    if (!names || names->empty()) return false;
    for (const std::string& name : *names) {
        const std::string path = catalogue::InFolder(folder, name);
        definitions_.files.push_back(name);
        std::string why;
        XmlPosition at;
        // Each file on its own first: one that fails half way gives nothing.
        Definitions file;
        if (const std::optional<std::string> bytes = folders_.Read(path, why)) {
            if (ReadAdmx(xml_, *bytes, definitions_.files.size() - 1, file, why, at)) {
                definitions_.Merge(std::move(file));
                continue;
            }
        }
        problems_.push_back({path, at, why});
    }
    return true;
}

const std::unordered_map<std::string, std::string>& PolicyLibrary::Strings(size_t file) {
    const auto [found, fresh] = strings_.try_emplace(file);
    if (!fresh) return found->second;
    std::string base = definitions_.files[file];
    base.erase(base.size() - 5);  // ".admx"
    std::vector<std::string> languages = folders_.Languages();
    languages.push_back("en-US");
    for (const std::string& language : languages) {
        const std::string path =
            catalogue::InFolder(catalogue::InFolder(folder_, language), base + ".adml");
        std::string why;
        XmlPosition at;
        const std::optional<std::string> bytes = folders_.Read(path, why);
        if (!bytes) continue;  // not in this language
        if (!ReadAdml(xml_, *bytes, found->second, why, at, &WantedIds(file))) {
            problems_.push_back({path, at, why});
        }
        break;
    }
    return found->second;
}

const std::unordered_set<std::string>& PolicyLibrary::WantedIds(size_t file) {
    if (wanted_.empty()) {
        wanted_.resize(definitions_.files.size());
        const auto want = [&](size_t in, const std::string& reference) {
            if (reference.rfind("$(string.", 0) == 0 && reference.size() > 10) {
                wanted_[in].insert(reference.substr(9, reference.size() - 10));
            }
        };
        for (const Policy& policy : definitions_.policies) {
            want(policy.file, policy.displayName);
            want(policy.file, policy.explainText);
        }
        for (const auto& [name, text] : definitions_.supportedOn) want(text.first, text.second);
    }
    return wanted_[file];
}

std::string PolicyLibrary::Text(size_t file, const std::string& reference) {
    constexpr std::string_view kOpen = "$(string.";
    if (reference.size() <= kOpen.size() || reference.compare(0, kOpen.size(), kOpen) != 0 ||
        reference.back() != ')') {
        return reference;
    }
    const std::string id = reference.substr(kOpen.size(), reference.size() - kOpen.size() - 1);
    const auto& strings = Strings(file);
    const auto found = strings.find(id);
    return found == strings.end() ? std::string() : found->second;
}

std::string PolicyLibrary::DisplayName(size_t policy) {
    const Policy& defined = definitions_.policies[policy];
    const std::string text = Text(defined.file, defined.displayName);
    return text.empty() ? defined.name : text;
}

std::string PolicyLibrary::Explanation(size_t policy) {
    const Policy& defined = definitions_.policies[policy];
    return Text(defined.file, defined.explainText);
}

std::string PolicyLibrary::SupportedOn(size_t policy) {
    std::string reference = definitions_.policies[policy].supportedOn;
    // "windows:SUPPORTED_X": the prefix names the file's namespace, the name is unique enough.
    if (const size_t colon = reference.find(':'); colon != std::string::npos) {
        reference.erase(0, colon + 1);
    }
    const auto found = definitions_.supportedOn.find(reference);
    if (found == definitions_.supportedOn.end()) return {};
    return Text(found->second.first, found->second.second);
}

}  // namespace policy
