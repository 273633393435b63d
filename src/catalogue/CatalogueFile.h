#pragma once
// Where the catalogue lives, and the check its bytes pass before any parser sees them.

#include <optional>
#include <string>

namespace catalogue {

inline constexpr const char* kFileName = "OrvikOptimizations.xml";
inline constexpr const char* kStylesheetName = "OrvikOptimizations.xsl";
// The instruction that names the stylesheet beside the catalogue.
inline const std::string kStylesheetData =
    std::string("type=\"text/xsl\" href=\"") + kStylesheetName + "\"";

// A file in a folder: the folder, a backslash, the name. A folder that already ends in a
// separator (a drive root, "C:\") gets no second one.
std::string InFolder(const std::string& folder, const std::string& name);
// The catalogue beside the executable.
std::string DefaultPath(const std::string& executableFolder);

struct FileCheck {
    bool acceptable = true;
    size_t offset = 0;   // of the first byte that fails the check
    std::string reason;  // why, when it does
};

// Whether the file may be handed to the XML parser: UTF-8 (with or without byte-order mark)
// or UTF-16 with its byte-order mark, every character decodable and allowed in XML 1.0 (no NUL
// or other control character but tab and line ends, no U+FFFE or U+FFFF), a declared encoding
// that matches, and nothing before the root element but the declaration (at the very start
// only), comments, processing instructions and white space. A document type is refused
// outright: some parsers expand its entities whatever they are told, and the catalogue never
// needs one.
FileCheck CheckFile(const std::string& bytes);

// A file without byte-order mark that declares ISO-8859-1 (Latin-1) or windows-1252, the
// encodings Windows editors save in, or US-ASCII, becomes UTF-8 in converted, its declaration
// saying so and padded with blanks so that every character keeps its line and column. Any other
// file stays as it is (converted stays empty). Refused: a byte that the declared encoding does not
// define.
FileCheck ToUtf8(const std::string& bytes, std::string& converted);

// Where the first & of UTF-8 bytes stands that starts no reference (&amp;, &#38;, &#x26;),
// outside comments, CDATA sections and instructions.
std::optional<size_t> BareAmpersand(const std::string& bytes);
inline bool IsAcceptableFile(const std::string& bytes) { return CheckFile(bytes).acceptable; }

}  // namespace catalogue
