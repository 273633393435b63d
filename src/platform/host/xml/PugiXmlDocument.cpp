#include "platform/host/xml/PugiXmlDocument.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

#include <pugixml.hpp>

#include "platform/Utf8.h"

namespace {

// Text is parsed with its references left as written, so that an unknown entity is caught here
// (pugixml would keep it as text) and the references are expanded by Decode.
constexpr unsigned kParseFlags =
    pugi::parse_cdata | pugi::parse_eol | pugi::parse_wconv_attribute | pugi::parse_fragment;

// Expands the five predefined entities and character references of parsed text. False for any
// other reference and for control characters, which a conforming parser refuses. Runs of plain
// text go over in one piece: a large catalogue is almost all plain text.
bool Decode(std::string_view raw, std::string& out) {
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        size_t plain = i;
        while (plain < raw.size()) {
            const unsigned char c = static_cast<unsigned char>(raw[plain]);
            if (c == '&' || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) break;
            ++plain;
        }
        out.append(raw, i, plain - i);
        i = plain;
        if (i == raw.size()) break;
        if (raw[i] != '&') return false;  // a control character
        const size_t end = raw.find(';', i);
        if (end == std::string_view::npos) return false;
        const std::string_view ref = raw.substr(i + 1, end - i - 1);
        if (ref == "amp") out += '&';
        else if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty() || digits.size() > 8) return false;
            uint32_t code = 0;
            for (char d : digits) {
                uint32_t v;
                if (d >= '0' && d <= '9') v = static_cast<uint32_t>(d - '0');
                else if (hex && d >= 'a' && d <= 'f') v = static_cast<uint32_t>(d - 'a' + 10);
                else if (hex && d >= 'A' && d <= 'F') v = static_cast<uint32_t>(d - 'A' + 10);
                else return false;
                code = code * (hex ? 16 : 10) + v;
            }
            if (!utf8::IsXmlChar(code)) return false;
            utf8::Append(out, code);
        } else {
            return false;
        }
        i = end;
    }
    return true;
}

// Visits every node below top in document order, without recursion: a file may nest elements
// far deeper than the stack reaches. Stops at the first visit that gives false.
template <typename Visit>
bool EachNodeBelow(const pugi::xml_node& top, Visit visit) {
    pugi::xml_node node = top.first_child();
    while (node) {
        if (!visit(node)) return false;
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != top && !node.next_sibling()) node = node.parent();
        if (node == top) break;
        node = node.next_sibling();
    }
    return true;
}

// `scratch` takes the decoded text; one buffer serves a whole walk.
bool AttributesAreSound(const pugi::xml_node& node, std::string& scratch) {
    for (pugi::xml_attribute attribute : node.attributes()) {
        if (!Decode(attribute.value(), scratch)) return false;
    }
    return true;
}

bool TextNodesAreSound(const pugi::xml_node& top) {
    std::string scratch;
    if (!AttributesAreSound(top, scratch)) return false;
    return EachNodeBelow(top, [&scratch](const pugi::xml_node& node) {
        if (node.type() == pugi::node_pcdata) return Decode(node.value(), scratch);
        return node.type() != pugi::node_element || AttributesAreSound(node, scratch);
    });
}

void CollectText(const pugi::xml_node& top, std::string& out) {
    std::string decoded;
    EachNodeBelow(top, [&out, &decoded](const pugi::xml_node& node) {
        if (node.type() == pugi::node_pcdata) {
            Decode(node.value(), decoded);  // checked when the document was parsed
            out += decoded;
        } else if (node.type() == pugi::node_cdata) {
            out += node.value();
        }
        return true;
    });
}

class PugiElement : public XmlElement {
public:
    explicit PugiElement(pugi::xml_node node) : node_(node) {}

    std::string Name() const override { return node_.name(); }

    std::string Text() const override {
        std::string text;
        CollectText(node_, text);
        return text;
    }

    std::vector<std::unique_ptr<XmlElement>> ChildElements() const override {
        std::vector<std::unique_ptr<XmlElement>> children;
        for (pugi::xml_node child : node_.children()) {
            if (child.type() == pugi::node_element) {
                children.push_back(std::make_unique<PugiElement>(child));
            }
        }
        return children;
    }

    std::unique_ptr<XmlElement> AppendElement(const std::string& name) override {
        return std::make_unique<PugiElement>(node_.append_child(name.c_str()));
    }

    void AppendText(const std::string& text) override {
        // Created text is stored unescaped; Decode never sees it.
        node_.append_child(pugi::node_pcdata).set_value(text.c_str());
    }

private:
    pugi::xml_node node_;
};

class PugiDocument : public XmlDocument {
public:
    bool Parse(const std::string& bytes) override {
        doc_.reset();
        parsed_ = false;
        const pugi::xml_parse_result result =
            doc_.load_buffer(bytes.data(), bytes.size(), kParseFlags, pugi::encoding_auto);
        if (!result) return false;
        // Parsed as a fragment so that what a document may not hold stays visible: exactly one
        // root element and no text beside it.
        int elements = 0;
        for (pugi::xml_node node : doc_.children()) {
            if (node.type() == pugi::node_element) ++elements;
            if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return false;
        }
        if (elements != 1 || !TextNodesAreSound(doc_)) return false;
        parsed_ = true;
        return true;
    }

    std::unique_ptr<XmlElement> Root() override {
        if (!parsed_) return nullptr;
        for (pugi::xml_node node : doc_.children()) {
            if (node.type() == pugi::node_element) return std::make_unique<PugiElement>(node);
        }
        return nullptr;
    }

    std::unique_ptr<XmlElement> Create(const std::string& rootName,
                                       const std::string& stylesheetData) override {
        doc_.reset();
        pugi::xml_node declaration = doc_.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "UTF-8";
        // The line breaks between the top-level nodes are the ones MSXML writes.
        doc_.append_child(pugi::node_pcdata).set_value("\n");
        pugi::xml_node stylesheet = doc_.append_child(pugi::node_pi);
        stylesheet.set_name("xml-stylesheet");
        stylesheet.set_value(stylesheetData.c_str());
        doc_.append_child(pugi::node_pcdata).set_value("\n");
        pugi::xml_node root = doc_.append_child(rootName.c_str());
        doc_.append_child(pugi::node_pcdata).set_value("\n");
        parsed_ = true;
        return std::make_unique<PugiElement>(root);
    }

    bool Save(const std::string& path) override {
        std::string native = path;
        std::replace(native.begin(), native.end(), '\\', '/');
        std::ofstream out(native, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        // Raw: the layout is in the text nodes the writer made.
        doc_.save(out, "", pugi::format_raw, pugi::encoding_utf8);
        out.flush();
        return static_cast<bool>(out);
    }

private:
    pugi::xml_document doc_;
    bool parsed_ = false;
};

}  // namespace

std::unique_ptr<XmlDocument> PugiXmlDocumentFactory::NewDocument() {
    return std::make_unique<PugiDocument>();
}

std::optional<std::string> PugiXmlDocumentFactory::ReadFileBytes(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    std::ifstream in(native, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return bytes.str();
}

std::unique_ptr<XmlDocumentFactory> NewXmlDocumentFactory() {
    return std::make_unique<PugiXmlDocumentFactory>();
}
