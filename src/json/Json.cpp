#include "json/Json.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

namespace json {

using Ordered = nlohmann::ordered_json;

// The document as built so far, with the containers still open (innermost last). A container
// is the last element of its parent while it is open, so the pointers stay good.
struct JsonWriter::Tree {
    Ordered root;
    std::vector<Ordered*> open;
    std::string key;

    Ordered* Put(Ordered value) {
        if (open.empty()) {
            root = std::move(value);
            return &root;
        }
        Ordered& top = *open.back();
        if (top.is_object()) {
            Ordered& member = top[key];
            member = std::move(value);
            return &member;
        }
        top.push_back(std::move(value));
        return &top.back();
    }
};

JsonWriter::JsonWriter(bool oneLine) : oneLine_(oneLine), tree_(std::make_unique<Tree>()) {}
JsonWriter::~JsonWriter() = default;

JsonWriter& JsonWriter::BeginObject() {
    tree_->open.push_back(tree_->Put(Ordered::object()));
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    tree_->open.push_back(tree_->Put(Ordered::array()));
    return *this;
}

JsonWriter& JsonWriter::Close() {
    if (!tree_->open.empty()) tree_->open.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    tree_->key = name;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    tree_->Put(std::string(text));
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t number) {
    tree_->Put(number);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    tree_->Put(value);
    return *this;
}

JsonWriter& JsonWriter::Null() {
    tree_->Put(nullptr);
    return *this;
}

std::string JsonWriter::Text() const {
    return tree_->root.dump(oneLine_ ? -1 : 2, ' ', false, Ordered::error_handler_t::replace) +
           "\n";
}

namespace {

// Deeper than any document of ours; a bound keeps hostile input small.
constexpr int kMaxDepth = 64;

JsonValue Converted(const nlohmann::json& from) {
    JsonValue value;
    using Type = JsonValue::Type;
    if (from.is_boolean()) {
        value.type = Type::Bool;
        value.boolean = from.get<bool>();
    } else if (from.is_number()) {
        value.type = Type::Number;
        value.number = from.get<double>();
    } else if (from.is_string()) {
        value.type = Type::String;
        value.text = from.get<std::string>();
    } else if (from.is_array()) {
        value.type = Type::Array;
        for (const nlohmann::json& item : from) value.items.push_back(Converted(item));
    } else if (from.is_object()) {
        value.type = Type::Object;
        for (const auto& [name, member] : from.items()) value.members[name] = Converted(member);
    }
    return value;
}

const JsonValue kNone;

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
    const auto found = members.find(name);
    return found == members.end() ? kNone : found->second;
}

const JsonValue& JsonValue::operator[](size_t index) const {
    return index < items.size() ? items[index] : kNone;
}

JsonValue ParseJson(std::string_view text) {
    const auto bounded = [](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        if (depth > kMaxDepth) throw std::runtime_error("JSON: nested too deep");
        return true;
    };
    try {
        return Converted(nlohmann::json::parse(text.begin(), text.end(), bounded));
    } catch (const nlohmann::json::exception& failure) {
        throw std::runtime_error(std::string("JSON: ") + failure.what());
    }
}

}  // namespace json
