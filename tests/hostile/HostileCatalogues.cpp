#include "HostileCatalogues.h"

#include "Harness.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace hostile {
namespace {

namespace fs = std::filesystem;
using harness::Catalogue;
using harness::EnabledItem;
using harness::RegistryEntry;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

// ASCII text in UTF-16, little-endian unless said otherwise.
std::string Utf16(const std::string& ascii, bool bigEndian = false) {
    std::string out;
    for (char c : ascii) out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
}

// A committed catalogue with key in place of @KEY@, in UTF-8 or UTF-16 as the file is written
// (those in other encodings are refused whole).
std::string Load(const fs::path& file, const std::string& key) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("missing hostile catalogue " + file.string());
    std::string text(std::istreambuf_iterator<char>(in), {});
    text = Replaced(text, "@KEY@", key);
    text = Replaced(text, Utf16("@KEY@"), Utf16(key));
    return Replaced(text, Utf16("@KEY@", true), Utf16(key, true));
}

ValueCheck Text(const std::string& name, const std::string& text, const std::string& sub = "") {
    return {sub, name, 1, std::vector<uint8_t>(text.begin(), text.end())};
}

ValueCheck Dword(const std::string& name, uint32_t v, const std::string& sub = "") {
    return {sub, name, 4, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}

ValueCheck Bytes(const std::string& name, std::vector<uint8_t> bytes) {
    return {"", name, 3, std::move(bytes)};
}

ValueCheck Absent(const std::string& name) { return {"", name, 0, {}}; }

std::string Repeated(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> Bait() {
    return {{"secret.txt", kSecret},
            {"secret.dtd", std::string("<!ENTITY fromdtd \"") + kSecret + "\">"}};
}

std::vector<HostileCase> Cases(const std::string& corpus, const std::string& key) {
    std::vector<HostileCase> cases;
    auto add = [&](const std::string& name, std::vector<ValueCheck> values) {
        cases.push_back({name, Load(fs::path(corpus) / name, key), Outcome::Applied, values});
    };
    // Every file in refused/ is refused whole; every one in baseline/ is the baseline in other
    // line ends and encodings.
    const std::vector<ValueCheck> baselineValues = {
        Text("Marker", "applied"), Dword("AllBits", 0xFFFFFFFFu, "Sub"),
        Bytes("Bytes", {0x01, 0x02, 0xFF}), Absent("Disabled")};
    for (const auto& [folder, outcome] :
         {std::pair{"refused", Outcome::Nothing}, std::pair{"baseline", Outcome::Applied}}) {
        std::vector<fs::path> files;
        for (const auto& file : fs::directory_iterator(fs::path(corpus) / folder)) {
            files.push_back(file.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            cases.push_back(
                {file.stem().string(), Load(file, key), outcome,
                 outcome == Outcome::Applied ? baselineValues : std::vector<ValueCheck>{}});
        }
    }

    const std::vector<ValueCheck> marker = {Text("Marker", "applied")};
    add("non-ascii-text.xml", {Text("Gr\xC3\xBC\xC3\x9F"
                                    "e",
                                    "\xE2\x82\xAC \xE6\x97\xA5\xE6"
                                    "\x9C\xAC \xF0\x90\x8D\x88")});
    // Comments, processing instructions, CDATA and text in every place.
    for (const char* file : {"xinclude.xml", "instructions.xml", "text-in-structure.xml"}) {
        add(file, marker);
    }
    add("comments.xml", {Text("Marker", "applied"), Absent("Commented")});
    add("cdata.xml", {Text("Marker", "applied"), Absent("Smuggled"),
                      Text("Markup", "<a href=\"x\">&amp; ]] ]]> </a>")});
    add("names.xml", {Text("Marker", "applied"), Absent("LowerCaseList"), Absent("PrefixedList"),
                      Text("UpperTrue", "yes"), Absent("One"), Absent("Yes"), Absent("Empty"),
                      Absent("Short"), Absent("AfterShort")});
    // Numbers out of every range; halves round to the even number, as earlier readers did.
    std::vector<ValueCheck> numbers = {Bytes("LowerHexBytes", {0xFF, 0x00, 0x0A}),
                                       Bytes("PlainBytes", {0x01, 0x02, 0xFF}),
                                       Text("AfterQueries", "yes")};
    const std::pair<const char*, uint32_t> dwords[] = {
        {"Max", 0x7FFFFFFFu}, {"Min", 0x80000000u},  {"AllBits", 0xFFFFFFFFu},
        {"MinusZero", 0},     {"Padded", 42},        {"Unknown", 7},
        {"HalfToEven", 2},    {"HalfUp", 2},         {"MinusHalf", 0xFFFFFFFEu},
        {"Exponent", 1000},   {"LeadingZeros", 255}, {"Tabbed", 7}};
    for (const auto& [name, value] : dwords) numbers.push_back(Dword(name, value));
    for (const char* name :
         {"TwoToThe31", "AfterTwoToThe31", "BelowMin", "Unsigned", "NineHexDigits", "Huge",
          "Digits", "NotANumber", "OddDigits", "NoBytes", "PrefixedBytes"}) {
        numbers.push_back(Absent(name));
    }
    add("numbers.xml", numbers);

    // Deep nesting and long names parsers may refuse, but if one takes them, it is applied.
    // Built with append: gcc 12 warns wrongly about "literal" + std::string here.
    std::string items;
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        items += EnabledItem(RegistryEntry(key, std::string("V").append(n), "DWORD", n),
                             std::string("<Number>").append(n).append("</Number>"));
    }
    cases.push_back({"many-items",
                     Catalogue(items),
                     Outcome::Applied,
                     {Dword("V0", 0), Dword("V1500", 1500), Dword("V2999", 2999)},
                     3000});
    const std::string longValue(300000, 'v'), longText(8 * 1024 * 1024, 'n');
    cases.push_back({"long-texts",
                     Catalogue(EnabledItem(RegistryEntry(key, "Long", "STRING", longValue),
                                           "<Name>" + longText + "</Name><Description>" + longText +
                                               "Justification:" + longText + "</Description>")),
                     Outcome::Applied,
                     {Text("Long", longValue)}});
    std::string attributes;
    for (int i = 0; i < 10000; ++i) {
        attributes.append(" a").append(std::to_string(i)).append("=\"&amp;\"");
    }
    cases.push_back(
        {"many-attributes",
         Catalogue("<Item" + attributes + "><Enabled" + attributes +
                   ">True</Enabled><OSVersion>All</OSVersion><RegistryEntries>" +
                   RegistryEntry(key, "Marker", "STRING", "applied") + "</RegistryEntries></Item>"),
         Outcome::Applied, marker});
    const std::string deep = Repeated("<d>", 1000000) + "deep" + Repeated("</d>", 1000000);
    const std::string longName(1024 * 1024, 'e');
    for (const auto& [name, fields] : std::vector<std::pair<std::string, std::string>>{
             {"deep-nesting", "<Name>" + deep + "</Name><Unknown>" + deep + "</Unknown>"},
             {"long-element-name", "<" + longName + ">x</" + longName + ">"}}) {
        const std::string entry = RegistryEntry(key, "Marker", "STRING", "applied");
        cases.push_back(
            {name, Catalogue(EnabledItem(entry, fields)), Outcome::AppliedOrNothing, marker});
    }
    return cases;
}

}  // namespace hostile
