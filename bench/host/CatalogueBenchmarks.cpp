// Catalogue reader and writer at scale on the native build, each against its parser or document
// object doing the same work alone: expat reading the same file with handlers that do nothing,
// and pugixml building and saving the same document.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <expat.h>
#include <pugixml.hpp>

#include "bench/common/CatalogueGenerator.h"
#include "bench/common/Report.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

namespace {

constexpr int kItems = 10000;

struct Files {
    std::string folder;
    std::string catalogue;  // the generated catalogue the readers load
    std::string parserOut;  // what pugixml alone saves
    std::string writerOut;  // what the writer saves
    OptimizationList items;
};

Files& Shared() {
    static Files files;
    return files;
}

// The parser alone: the file read into memory and parsed by expat as the reader has it parsed
// (namespace-aware, in pieces of 64 KB), into handlers that do nothing. pieces = 0: the whole
// file at once, which spares expat its count of lines and columns but makes it copy the file.
void ParseAlone(benchmark::State& state, size_t pieces) {
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    for (auto _ : state) {
        const std::optional<std::string> bytes = xml->ReadFileBytes(Shared().catalogue);
        XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
        XML_SetReturnNSTriplet(parser, 1);
        XML_SetElementHandler(
            parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
        XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
        const size_t size = bytes ? bytes->size() : 0;
        const size_t piece = pieces == 0 ? size : pieces;
        bool ok = bytes.has_value();
        for (size_t at = 0; ok && at < size; at += piece) {
            const size_t length = std::min(piece, size - at);
            ok = XML_Parse(parser, bytes->data() + at, static_cast<int>(length),
                           at + length == size) == XML_STATUS_OK;
        }
        if (!ok) state.SkipWithError("expat could not parse the catalogue");
        XML_ParserFree(parser);
    }
}
void BM_ParserAlone(benchmark::State& state) { ParseAlone(state, 64 * 1024); }
void BM_ParserAloneWholeFile(benchmark::State& state) { ParseAlone(state, 0); }

void BM_ReadXML(benchmark::State& state) {
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    XmlReader reader(*xml, Shared().folder);
    for (auto _ : state) {
        OptimizationList catalogue = reader.ReadXML(Shared().catalogue);
        if (catalogue.size() != static_cast<size_t>(kItems))
            state.SkipWithError("the reader did not read every item");
        benchmark::DoNotOptimize(catalogue.data());
    }
}

// pugixml alone building the writer's document, layout text included, and saving it.
class PugiBuilder {
public:
    explicit PugiBuilder(pugi::xml_node node, int depth) : node_(node), depth_(depth) {}
    ~PugiBuilder() { Text(node_, Indent(depth_)); }
    PugiBuilder Open(const char* name) { return PugiBuilder(Line(name), depth_ + 1); }
    void Value(const char* name, const std::string& text) { Text(Line(name), text); }

private:
    static std::string Indent(int depth) {
        std::string text(1, '\n');
        text.append(static_cast<size_t>(depth) * 2, ' ');
        return text;
    }
    static void Text(pugi::xml_node node, const std::string& text) {
        node.append_child(pugi::node_pcdata).set_value(text.c_str());
    }
    pugi::xml_node Line(const char* name) {
        Text(node_, Indent(depth_ + 1));
        return node_.append_child(name);
    }
    pugi::xml_node node_;
    int depth_;
};

bool SaveWithPugi(const OptimizationList& items, const std::string& path) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    doc.append_child(pugi::node_pcdata).set_value("\n");
    pugi::xml_node stylesheet = doc.append_child(pugi::node_pi);
    stylesheet.set_name("xml-stylesheet");
    stylesheet.set_value("type=\"text/xsl\" href=\"OrvikOptimizations.xsl\"");
    doc.append_child(pugi::node_pcdata).set_value("\n");
    {
        PugiBuilder root(doc.append_child("Optimizations"), 0);
        for (const OptimizationItemPtr& record : items) {
            PugiBuilder item = root.Open("Item");
            item.Value("Number", record->Number);
            item.Value("Name", record->Name);
            item.Value("Description",
                       record->Description + "Justification:" + record->Justification);
            std::string versions;
            for (int32_t code : record->osVersions) {
                for (char c : codes::GetOSString(code)) {
                    if (c != ' ') versions += c;
                }
                versions += ' ';
            }
            item.Value("OSVersion", versions);
            item.Value("Enabled", record->Enabled ? "True" : "False");
            item.Value("Mode", codes::GetMode(record->mode));
            item.Value("Impact", record->Impact);
            item.Value("Category", record->Category);
            if (!record->regItems.empty()) {
                PugiBuilder list = item.Open("RegistryEntries");
                for (const RegistryItem& reg : record->regItems) {
                    PugiBuilder entry = list.Open("RegistryEntry");
                    entry.Value("Key", reg.Key);
                    entry.Value("ValueName", reg.ValueName);
                    entry.Value("KeyType", RegistryItem::GetKeyType(reg.KeyType));
                    entry.Value("Value", reg.Value);
                }
            }
            if (!record->cmdItems.empty()) {
                PugiBuilder list = item.Open("CommandLines");
                for (const cmdItem& cmd : record->cmdItems)
                    list.Open("CommandLine").Value("Command", cmd.Command);
            }
            if (!record->wmiItems.empty()) {
                PugiBuilder list = item.Open("WMIQueries");
                for (const wmiItem& wmi : record->wmiItems) {
                    PugiBuilder entry = list.Open("WMIQuery");
                    entry.Value("Command", wmi.Command);
                    entry.Value("WarningLevel", std::to_string(wmi.WarningLevel));
                }
            }
        }
    }
    doc.append_child(pugi::node_pcdata).set_value("\n");
    return doc.save_file(path.c_str(), "", pugi::format_raw, pugi::encoding_utf8);
}

void BM_SaveParserAlone(benchmark::State& state) {
    for (auto _ : state) {
        if (!SaveWithPugi(Shared().items, Shared().parserOut))
            state.SkipWithError("pugixml could not save");
    }
}

void BM_WriteXMLFile(benchmark::State& state) {
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    XmlWriter writer(*xml, Shared().folder);
    for (auto _ : state) {
        if (!writer.WriteXMLFile(Shared().items, Shared().writerOut))
            state.SkipWithError("the writer could not save");
    }
}

// Every benchmark is repeated; the median of the repetitions stands for it.
void Configure(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_ParserAlone)->Apply(Configure);
BENCHMARK(BM_ParserAloneWholeFile)->Apply(Configure);
BENCHMARK(BM_ReadXML)->Apply(Configure);
BENCHMARK(BM_SaveParserAlone)->Apply(Configure);
BENCHMARK(BM_WriteXMLFile)->Apply(Configure);

// Prints as usual and keeps each benchmark's median processor and real time.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: scripts/bench/run picks the goal lines out of this output.
    MedianReporter() : ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                !run.error_occurred) {
                cpu[run.run_name.function_name] = run.GetAdjustedCPUTime();
                wall[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
    }
    std::map<std::string, double> cpu;
    std::map<std::string, double> wall;
};

double Find(const std::map<std::string, double>& medians, const char* name) {
    const auto it = medians.find(name);
    return it == medians.end() ? 0.0 : it->second;
}

// Judged on processor time: on a shared machine wall time mostly measures the neighbours.
bench::Goal GoalOf(const MedianReporter& reporter, const char* name, const char* subject,
                   const char* baseline, const std::string& detail) {
    char wall[64];
    std::snprintf(wall, sizeof wall, "; wall-time ratio %.3f",
                  bench::Ratio(Find(reporter.wall, subject), Find(reporter.wall, baseline)));
    return {name, bench::Ratio(Find(reporter.cpu, subject), Find(reporter.cpu, baseline)), 1.5,
            detail + wall};
}

}  // namespace

int main(int argc, char** argv) {
    // Repetitions of the four benchmarks are interleaved unless told otherwise, so that a
    // neighbour's load on this shared machine falls on subject and baseline alike.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    Files& files = Shared();
    files.folder =
        (std::filesystem::temp_directory_path() / ("orvik-bench-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(files.folder);
    files.catalogue = files.folder + "/catalogue.xml";
    files.parserOut = files.folder + "/parser-saved.xml";
    files.writerOut = files.folder + "/writer-saved.xml";
    files.items = bench::MakeCatalogue(kItems);
    const std::string text = bench::CatalogueText(files.items);
    if (!bench::WriteFile(files.catalogue, text)) {
        std::cerr << "cannot write " << files.catalogue << "\n";
        return 1;
    }
    std::cout << "catalogue: " << kItems << " items, " << text.size() << " bytes\n";

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Both saved documents must be the very file the generator made, or the comparison is off.
    const bool same =
        bench::ReadFile(files.parserOut) == text && bench::ReadFile(files.writerOut) == text;
    std::filesystem::remove_all(files.folder);
    if (!same) {
        std::cout << "the writer and pugixml saved different documents: no write ratio\n";
    }

    const bench::Goal read = GoalOf(reporter, "read.host", "BM_ReadXML", "BM_ParserAlone",
                                    "ReadXML vs reading the file and expat parsing it in 64 KB "
                                    "pieces into empty handlers, 10000 items");
    bench::Goal write = GoalOf(reporter, "write.host", "BM_WriteXMLFile", "BM_SaveParserAlone",
                               "WriteXMLFile vs pugixml build and save_file, 10000 items");
    if (!same) write.ratio = bench::Ratio(0, 0);
    std::cout << read.Line() << "\n" << write.Line() << "\n";
    return 0;
}
