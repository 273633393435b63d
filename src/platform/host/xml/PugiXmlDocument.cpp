// The native build's files and the writer's document object, over pugixml from Debian's
// libpugixml-dev.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <pugixml.hpp>

#include "platform/host/xml/HostXml.h"

namespace {

class PugiElement : public XmlElement {
public:
    explicit PugiElement(pugi::xml_node node) : node_(node) {}

    std::unique_ptr<XmlElement> AppendElement(const std::string& name) override {
        return std::make_unique<PugiElement>(node_.append_child(name.c_str()));
    }

    void AppendText(const std::string& text) override {
        node_.append_child(pugi::node_pcdata).set_value(text.c_str());
    }

private:
    pugi::xml_node node_;
};

class PugiDocument : public XmlDocument {
public:
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
};

}  // namespace

std::unique_ptr<XmlDocument> HostXmlFactory::NewDocument() {
    return std::make_unique<PugiDocument>();
}

std::optional<std::string> HostXmlFactory::ReadFileBytes(const std::string& path,
                                                         std::string& why) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    std::error_code ignored;
    if (std::filesystem::is_directory(native, ignored)) {
        why = "it is a folder";
        return std::nullopt;
    }
    std::ifstream in(native, std::ios::binary | std::ios::ate);
    if (!in) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    // Sized once: a catalogue may be large, and it is held once while it is read.
    const std::streamoff size = in.tellg();
    if (size < 0 || !in.seekg(0)) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), size)) return std::nullopt;
    return bytes;
}

std::unique_ptr<XmlDocumentFactory> NewXmlDocumentFactory() {
    return std::make_unique<HostXmlFactory>();
}
