#include "HostileCatalogues.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace hostile {
namespace {

std::string Load(const std::string& corpus, const std::string& file, const std::string& key) {
    std::ifstream in(corpus + "/" + file, std::ios::binary);
    if (!in) throw std::runtime_error("missing hostile catalogue " + file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at = text.find("@KEY@"); at != std::string::npos; at = text.find("@KEY@", at)) {
        text.replace(at, 5, key);
        at += key.size();
    }
    return text;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

// UTF-16 of ASCII or UTF-8 text without surrogates, which is all the cases need.
std::string Utf16(const std::string& utf8, bool bigEndian) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        uint32_t code = b0;
        size_t length = 1;
        if (b0 >= 0xE0) {
            code = ((b0 & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            length = 3;
        } else if (b0 >= 0xC0) {
            code = ((b0 & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            length = 2;
        }
        const char high = static_cast<char>(code >> 8);
        const char low = static_cast<char>(code & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
        i += length;
    }
    return out;
}

std::string Entry(const std::string& key, const std::string& name, const std::string& type,
                  const std::string& value) {
    return "<RegistryEntry><Key>" + key + "</Key><ValueName>" + name + "</ValueName><KeyType>" +
           type + "</KeyType><Value>" + value + "</Value></RegistryEntry>";
}

// One enabled item with the given registry entries and other fields.
std::string Item(const std::string& entries, const std::string& fields = "") {
    return "<Item><Enabled>True</Enabled>" + fields + "<RegistryEntries>" + entries +
           "</RegistryEntries></Item>";
}

std::string Document(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Optimizations>" + items +
           "</Optimizations>\n";
}

std::vector<uint8_t> Utf8Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

ValueCheck Text(const std::string& name, const std::string& text, const std::string& subKey) {
    return {subKey, name, 1, Utf8Bytes(text)};
}

ValueCheck Dword(const std::string& name, uint32_t value, const std::string& subKey) {
    return {subKey, name, 4,
            {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}};
}

ValueCheck Bytes(const std::string& name, std::vector<uint8_t> bytes) {
    return {"", name, 3, std::move(bytes)};
}

ValueCheck Absent(const std::string& name, const std::string& subKey) {
    return {subKey, name, 0, {}};
}

std::vector<std::pair<std::string, std::string>> Bait() {
    return {{"secret.txt", kSecret},
            {"secret.dtd", std::string("<!ENTITY fromdtd \"") + kSecret + "\">"}};
}

std::vector<HostileCase> Cases(const std::string& corpus, const std::string& key) {
    std::vector<HostileCase> cases;
    const std::vector<ValueCheck> baselineValues = {
        Text("Marker", "applied"), Dword("AllBits", 0xFFFFFFFFu, "Sub"),
        Bytes("Bytes", {0x01, 0x02, 0xFF}), Absent("Disabled")};
    const std::string baseline = Load(corpus, "baseline.xml", key);
    const std::vector<ValueCheck> marker = {Text("Marker", "applied")};
    const std::vector<ValueCheck> nothing;

    // The catalogue everything else spoils, and its plain variations.
    cases.push_back({"baseline", baseline, Outcome::Applied, Outcome::Applied, 2, baselineValues});
    cases.push_back({"crlf-line-ends", Replaced(baseline, "\n", "\r\n"), Outcome::Applied,
                     Outcome::Applied, 2, baselineValues});
    cases.push_back({"cr-line-ends", Replaced(baseline, "\n", "\r"), Outcome::Applied,
                     Outcome::Applied, 2, baselineValues});
    cases.push_back({"lower-case-encoding-name", Replaced(baseline, "UTF-8", "utf-8"),
                     Outcome::Applied, Outcome::Applied, 2, baselineValues});

    // Truncated files.
    cases.push_back({"empty-file", "", Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"white-space-only", " \r\n\t\n", Outcome::Nothing, Outcome::Nothing, 0,
                     nothing});
    cases.push_back({"declaration-only", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"truncated-half", baseline.substr(0, baseline.size() / 2), Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"truncated-last-tag", baseline.substr(0, baseline.rfind('>')),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    {
        const std::string full = Document(
            Item(Entry(key, "Marker", "STRING", "applied"), "<Name>caf\xC3\xA9</Name>"));
        cases.push_back({"truncated-inside-character", full.substr(0, full.find('\xC3') + 1),
                         Outcome::Nothing, Outcome::Nothing, 0, nothing});
    }

    // Byte-order marks and encodings.
    cases.push_back({"utf8-bom", "\xEF\xBB\xBF" + baseline, Outcome::Applied, Outcome::Applied,
                     2, baselineValues});
    const std::string utf16Text = Replaced(baseline, "UTF-8", "UTF-16");
    cases.push_back({"utf16le-bom", "\xFF\xFE" + Utf16(utf16Text, false), Outcome::Applied,
                     Outcome::Applied, 2, baselineValues});
    cases.push_back({"utf16be-bom", "\xFE\xFF" + Utf16(utf16Text, true), Outcome::Applied,
                     Outcome::Applied, 2, baselineValues});
    cases.push_back({"utf16le-without-bom", Utf16(utf16Text, false), Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"utf16-declared-utf8-written", utf16Text, Outcome::Nothing, Outcome::Nothing,
                     0, nothing});
    cases.push_back({"utf8-bom-utf16-declared", "\xEF\xBB\xBF" + utf16Text, Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"utf16le-bom-utf8-declared", "\xFF\xFE" + Utf16(baseline, false),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    {
        std::string utf32 = "\xFF\xFE";
        utf32 += std::string(2, '\0');
        for (char c : baseline) utf32 += std::string(1, c) + std::string(3, '\0');
        cases.push_back({"utf32le-bom", utf32, Outcome::Nothing, Outcome::Nothing, 0, nothing});
    }
    cases.push_back({"two-utf8-boms", "\xEF\xBB\xBF\xEF\xBB\xBF" + baseline, Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"latin1-bytes-as-utf8", Replaced(baseline, "applied", "appli\xE9"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"latin1-declared", Replaced(baseline, "UTF-8", "ISO-8859-1"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"windows-1252-declared", Replaced(baseline, "UTF-8", "windows-1252"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"non-ascii-text",
                     Document(Item(Entry(key, "Gr\xC3\xBC\xC3\x9F" "e", "STRING",
                                         "\xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC &#x10348;"))),
                     Outcome::Applied, Outcome::Applied, 1,
                     {Text("Gr\xC3\xBC\xC3\x9F" "e",
                           "\xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC \xF0\x90\x8D\x88")}});

    // NUL bytes and malformed UTF-8.
    const std::string one = Document(Item(Entry(key, "Marker", "STRING", "applied")));
    cases.push_back({"nul-in-value", Replaced(one, "applied", std::string("app\0lied", 8)),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"nul-after-root", one + std::string(4, '\0'), Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"nul-before-root", std::string(1, '\0') + one, Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"nul-only", std::string(64, '\0'), Outcome::Nothing, Outcome::Nothing, 0,
                     nothing});
    cases.push_back({"nul-character-reference", Replaced(one, "applied", "app&#0;lied"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"control-character-reference", Replaced(one, "applied", "app&#x1B;lied"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    // Characters XML does not allow anywhere, not even where a parser keeps text as it is.
    cases.push_back({"control-character-in-cdata",
                     Replaced(one, "applied", "<![CDATA[app\x1Dlied]]>"), Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"control-character-in-comment",
                     Replaced(one, "applied", "app<!-- \x01 -->lied"), Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"control-character-in-instruction",
                     Replaced(one, "<Optimizations>", "<?orvik \x08?><Optimizations>"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"form-feed-in-text", Replaced(one, "applied", "app\x0Clied"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    cases.push_back({"noncharacter-in-text", Replaced(one, "applied", "app\xEF\xBF\xBFlied"),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});
    const char* const malformed[][2] = {
        {"lone-continuation-byte", "app\x80lied"},   {"overlong-slash", "app\xC0\xAFlied"},
        {"encoded-surrogate", "app\xED\xA0\x80lied"}, {"beyond-unicode", "app\xF4\x90\x80\x80lied"},
        {"cut-sequence", "app\xE2\x82lied"},          {"invalid-lead-byte", "app\xFFlied"},
    };
    for (const auto& bad : malformed) {
        cases.push_back({std::string("utf8-") + bad[0], Replaced(one, "applied", bad[1]),
                         Outcome::Nothing, Outcome::Nothing, 0, nothing});
    }

    // Entities, outside files and other documents.
    for (const char* file : {"entity-bomb.xml", "external-entity.xml", "external-dtd.xml",
                             "parameter-entity.xml", "unknown-entity.xml"}) {
        cases.push_back({file, Load(corpus, file, key), Outcome::Nothing, Outcome::Nothing, 0,
                         {Absent("Marker")}});
    }
    cases.push_back({"xinclude.xml", Load(corpus, "xinclude.xml", key), Outcome::Applied,
                     Outcome::Applied, 1, marker});
    cases.push_back({"wrong-root.xml", Load(corpus, "wrong-root.xml", key), Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"two-roots.xml", Load(corpus, "two-roots.xml", key), Outcome::Nothing,
                     Outcome::Nothing, 0, nothing});
    cases.push_back({"misplaced-declaration.xml", Load(corpus, "misplaced-declaration.xml", key),
                     Outcome::Nothing, Outcome::Nothing, 0, nothing});

    // Comments, processing instructions, CDATA and text in every place.
    cases.push_back({"comments.xml", Load(corpus, "comments.xml", key), Outcome::Applied,
                     Outcome::Applied, 1, {Text("Marker", "applied"), Absent("Commented")}});
    cases.push_back({"instructions.xml", Load(corpus, "instructions.xml", key), Outcome::Applied,
                     Outcome::Applied, 1, marker});
    cases.push_back({"cdata.xml", Load(corpus, "cdata.xml", key), Outcome::Applied,
                     Outcome::Applied, 1,
                     {Text("Marker", "applied"), Absent("Smuggled"),
                      Text("Markup", "<a href=\"x\">&amp; ]] ]]> </a>")}});
    cases.push_back({"text-in-structure.xml", Load(corpus, "text-in-structure.xml", key),
                     Outcome::Applied, Outcome::Applied, 1, marker});
    cases.push_back({"names.xml", Load(corpus, "names.xml", key), Outcome::Applied,
                     Outcome::Applied, 6,
                     {Text("Marker", "applied"), Absent("LowerCaseList"), Absent("PrefixedList"),
                      Text("UpperTrue", "yes"), Absent("One"), Absent("Yes"), Absent("Empty"),
                      Absent("Short"), Absent("AfterShort")}});

    // Numbers out of every range.
    cases.push_back({"numbers.xml", Load(corpus, "numbers.xml", key), Outcome::Applied,
                     Outcome::Applied, 12,
                     {Dword("Max", 0x7FFFFFFFu), Dword("Min", 0x80000000u),
                      Dword("AllBits", 0xFFFFFFFFu), Dword("MinusZero", 0), Dword("Padded", 42),
                      Dword("Unknown", 7), Bytes("LowerHexBytes", {0xFF, 0x00, 0x0A}),
                      Absent("TwoToThe31"), Absent("AfterTwoToThe31"), Absent("BelowMin"),
                      Absent("Unsigned"), Absent("NineHexDigits"), Absent("Huge"),
                      Absent("Digits"), Absent("NotANumber"), Absent("OddDigits"),
                      Absent("NoBytes"), Absent("PrefixedBytes"), Text("AfterQueries", "yes")}});

    // Keys and names at their edges: each failure ends only its own list.
    {
        std::string lowerRoot = key;
        lowerRoot.replace(0, lowerRoot.find('\\'), "hkey_current_user");
        cases.push_back(
            {"keys-and-names",
             Document(Item(Entry("", "EmptyKey", "STRING", "x") +
                           Entry(key, "AfterEmptyKey", "STRING", "x")) +
                      Item(Entry(lowerRoot, "LowerRoot", "STRING", "yes")) +
                      Item(Entry("HKEY_NOWHERE\\Software\\OrvikHostile", "NoRoot", "STRING", "x") +
                           Entry(key, "AfterNoRoot", "STRING", "x")) +
                      Item(Entry(key, "", "STRING", "the default value")) +
                      Item(Entry(key, "EmptyString", "STRING", ""))),
             Outcome::Applied, Outcome::Applied, 5,
             {Absent("EmptyKey"), Absent("AfterEmptyKey"), Text("LowerRoot", "yes"),
              Absent("AfterNoRoot"), Text("", "the default value"), Absent("EmptyString")}});
    }

    // Size: deep nesting, many items, long texts, long names, many attributes.
    {
        const int depth = 1000000;
        std::string deep;
        deep.reserve(depth * 8);
        for (int i = 0; i < depth; ++i) deep += "<d>";
        deep += "deep";
        for (int i = 0; i < depth; ++i) deep += "</d>";
        // Parsers may refuse such depth; if one takes it, the item is applied as written.
        cases.push_back({"deep-nesting",
                         Document(Item(Entry(key, "Marker", "STRING", "applied"),
                                       "<Name>" + deep + "</Name><Unknown>" + deep +
                                           "</Unknown>")),
                         Outcome::Applied, Outcome::AppliedOrNothing, 1, marker});
    }
    {
        const uint32_t count = 3000;
        std::string items;
        for (uint32_t i = 0; i < count; ++i) {
            // Appended piece by piece: gcc 12 warns wrongly about "literal" + std::string here.
            std::string name(1, 'V');
            name += std::to_string(i);
            std::string number = std::to_string(i + 1);
            number.insert(0, "<Number>");
            number += "</Number>";
            items += Item(Entry(key, name, "DWORD", std::to_string(i)), number);
        }
        cases.push_back({"many-items", Document(items), Outcome::Applied, Outcome::Applied,
                         static_cast<int>(count),
                         {Dword("V0", 0), Dword("V1500", 1500), Dword("V2999", 2999)}, count});
    }
    {
        const std::string longValue(300000, 'v');
        const std::string longText(8 * 1024 * 1024, 'n');
        cases.push_back({"long-texts",
                         Document(Item(Entry(key, "Long", "STRING", longValue),
                                       "<Name>" + longText + "</Name><Description>" + longText +
                                           "Justification:" + longText + "</Description>")),
                         Outcome::Applied, Outcome::Applied, 1, {Text("Long", longValue)}});
        std::string attributes;
        for (int i = 0; i < 10000; ++i) {
            attributes += " a";
            attributes += std::to_string(i);
            attributes += "=\"&amp;\"";
        }
        cases.push_back({"many-attributes",
                         Document("<Item" + attributes + "><Enabled" + attributes +
                                  ">True</Enabled><RegistryEntries>" +
                                  Entry(key, "Marker", "STRING", "applied") +
                                  "</RegistryEntries></Item>"),
                         Outcome::Applied, Outcome::Applied, 1, marker});
        // Parsers bound the length of a name (libxml2 at 50000 characters); if one takes it,
        // the unknown element is skipped.
        const std::string longName(1024 * 1024, 'e');
        cases.push_back({"long-element-name",
                         Document(Item(Entry(key, "Marker", "STRING", "applied"),
                                       "<" + longName + ">x</" + longName + ">")),
                         Outcome::Applied, Outcome::AppliedOrNothing, 1, marker});
    }
    return cases;
}

}  // namespace hostile
