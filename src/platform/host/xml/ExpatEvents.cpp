// The native build's XML events, from expat (Debian's libexpat1-dev).

#include <expat.h>

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "platform/host/xml/HostXml.h"

namespace {

// Splits expat's "uri, local name, prefix" triplets; never in a name or a namespace name.
constexpr char kSeparator = '\x01';

class ExpatParse {
public:
    ExpatParse(const std::string& bytes, XmlEvents& events)
        : bytes_(bytes), events_(events), marked_(XmlPositionCounter(bytes).MarkSize() != 0) {}
    ExpatParse(const ExpatParse&) = delete;
    ExpatParse& operator=(const ExpatParse&) = delete;
    ~ExpatParse() {
        if (parser_) XML_ParserFree(parser_);
    }

    bool Run() {
        // Namespace-aware, as MSXML is: a prefix nobody declared is an error on both sides.
        // UTF-16 by its byte-order mark whatever the declaration calls it ("unicode" too).
        const bool utf16 = XmlPositionCounter(bytes_).UnitSize() == 2;
        parser_ = XML_ParserCreateNS(utf16 ? "UTF-16" : nullptr, kSeparator);
        if (!parser_) throw std::runtime_error("expat cannot be used: out of memory");
        XML_SetReturnNSTriplet(parser_, 1);
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &ExpatParse::OnStart, &ExpatParse::OnEnd);
        XML_SetCharacterDataHandler(parser_, &ExpatParse::OnText);
        XML_SetStartDoctypeDeclHandler(parser_, &ExpatParse::OnDocumentType);
        XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);

        // In pieces: expat copies what it is given, and the whole file at once would be held
        // twice while it is read. (Given pieces, it also counts lines and columns as it goes,
        // which is where the positions come from.)
        constexpr size_t kPiece = 64 * 1024;
        bool ok = true;
        size_t at = 0;
        do {
            const size_t length = std::min(kPiece, bytes_.size() - at);
            const bool last = at + length == bytes_.size();
            ok = XML_Parse(parser_, bytes_.data() + at, static_cast<int>(length), last) ==
                 XML_STATUS_OK;
            at += length;
        } while (ok && at < bytes_.size());
        if (failure_) std::rethrow_exception(failure_);
        if (!ok) {
            const char* reason = documentType_ ? "a document type is not allowed"
                                               : XML_ErrorString(XML_GetErrorCode(parser_));
            events_.Error(reason ? reason : "not well-formed", Here());
        }
        return ok;
    }

private:
    // Where the event begins. expat counts positions by the shared rule but for one thing: it
    // takes a byte-order mark for a character of the first line.
    XmlPosition Here() const {
        const auto line = static_cast<uint32_t>(XML_GetCurrentLineNumber(parser_));
        const auto column = static_cast<uint32_t>(XML_GetCurrentColumnNumber(parser_)) + 1;
        return {line, line == 1 && marked_ && column > 1 ? column - 1 : column};
    }

    // Handlers catch everything: nothing may unwind through expat's C frames.
    template <typename Step>
    static void Guarded(void* self, Step step) {
        auto* parse = static_cast<ExpatParse*>(self);
        try {
            step(*parse);
        } catch (...) {
            parse->failure_ = std::current_exception();
            XML_StopParser(parse->parser_, XML_FALSE);
        }
    }

    // "uri local prefix" back to the name as written: prefix, colon, local name.
    std::string_view Written(std::string_view name) {
        std::string_view local = name;
        std::string_view prefix;
        if (const size_t first = local.find(kSeparator); first != local.npos) {
            local.remove_prefix(first + 1);
            if (const size_t second = local.find(kSeparator); second != local.npos) {
                prefix = local.substr(second + 1);
                local = local.substr(0, second);
            }
        }
        if (prefix.empty()) return local;
        name_.assign(prefix).append(1, ':').append(local);
        return name_;
    }

    static void OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
        Guarded(self, [name, attributes](ExpatParse& p) {
            const XmlPosition at = p.Here();
            p.events_.StartElement(p.Written(name), at);
            if (!p.events_.WantsAttributes()) return;
            for (const XML_Char** pair = attributes; pair && *pair; pair += 2) {
                p.events_.Attribute(p.Written(pair[0]), pair[1]);
            }
        });
    }

    static void OnEnd(void* self, const XML_Char*) {
        Guarded(self, [](ExpatParse& p) { p.events_.EndElement(); });
    }

    static void OnText(void* self, const XML_Char* text, int length) {
        Guarded(self, [=](ExpatParse& p) {
            if (p.events_.WantsText()) {
                p.events_.Text(std::string_view(text, static_cast<size_t>(length)));
            }
        });
    }

    // A document type is refused outright, before any of its declarations takes effect.
    static void OnDocumentType(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        auto* parse = static_cast<ExpatParse*>(self);
        parse->documentType_ = true;
        XML_StopParser(parse->parser_, XML_FALSE);
    }

    const std::string& bytes_;
    XmlEvents& events_;
    const bool marked_;  // the file starts with a byte-order mark
    XML_Parser parser_ = nullptr;
    std::string name_;
    std::exception_ptr failure_;
    bool documentType_ = false;
};

}  // namespace

bool HostXmlFactory::ReadEvents(const std::string& bytes, XmlEvents& events) {
    ExpatParse parse(bytes, events);
    return parse.Run();
}
