#pragma once
// Reads the catalogue file into the catalogue: one new OptimizationItem per item element, in
// file order, each record with the position of its element. A file that is missing or cannot be
// loaded gives an empty catalogue; nothing is reported and nothing is thrown, unless an observer
// asks to be told.

#include <optional>
#include <string>

#include "catalogue/OptimizationItem.h"

class XmlDocumentFactory;

// Something the reader passes over or reads as a default, where the file holds it.
struct ReadNotice {
    enum class Kind {
        Unreadable,              // the file cannot be read (text: why); the catalogue is empty
        RefusedFile,             // the bytes failed the check before parsing (text: why); empty
        ParseError,              // why, about the file where it can tell, else the parser's; empty
        UnknownElement,          // skipped with its content; for the root, the catalogue is empty
        UnknownName,             // a version, mode or key-type name (text) that became code 0
        UnreadableWarningLevel,  // text: the value; the query warns at kUnreadableWarningLevel
        UnclearEnabled,          // text: the value, neither True nor False; read as false
        UnclearStop,             // a service's Stop, the same
        MissingElement,  // a registry entry without the element named (Key, ValueName, Value)
        UnusualName,     // an item or entry element named otherwise than the writer's (text)
        WrongRoot,       // the root is no Optimizations element; the catalogue is empty
    };
    Kind kind;
    XmlPosition at;
    std::string element;  // the element's name (empty for the file as a whole)
    std::string text;
};

class ReadObserver {
public:
    virtual ~ReadObserver() = default;
    virtual void Notice(const ReadNotice& notice) = 0;
};

class XmlReader {
public:
    // executableFolder: where the catalogue lives when no path is given. observer, when given,
    // hears of everything the reader would otherwise pass over in silence.
    XmlReader(XmlDocumentFactory& xml, std::string executableFolder,
              ReadObserver* observer = nullptr)
        : xml_(xml), executableFolder_(std::move(executableFolder)), observer_(observer) {}

    // HardPath empty: OrvikOptimizations.xml beside the executable; else the file's full path.
    OptimizationList ReadXML(const std::string& HardPath = std::string());
    // The catalogue from the file's bytes as the caller read them (none: the file could not be
    // read), so that what is hashed or kept is the very bytes parsed.
    // why: what kept the file from being read, in the system's words.
    OptimizationList ReadXMLBytes(const std::optional<std::string>& bytes,
                                  const std::string& why = std::string());

private:
    void Unreadable(const std::string& why);

    XmlDocumentFactory& xml_;
    std::string executableFolder_;
    ReadObserver* observer_;
};

namespace catalogue {

// The level a query warns at when its WarningLevel element holds anything but a whole decimal
// number in the 16-bit range: it warns as soon as the query finds one object, since a level the
// file cannot state must neither hide what the query finds nor warn when it finds nothing.
inline constexpr int16_t kUnreadableWarningLevel = 1;

}  // namespace catalogue
