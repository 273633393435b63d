// Peak memory of the native reader: how far the heap and the resident set rise above the
// program's baseline while a large catalogue is read, against the file's size.
//
//   orvik_bench_memory generate <path> <items>   writes a catalogue
//   orvik_bench_memory read <path>               reads it and prints the goal line
//
// Two steps, two processes: making the file must not leave its own peak in the one measured.

#include <malloc.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>

#include "bench/common/CatalogueGenerator.h"
#include "bench/common/Report.h"
#include "bench/host/HeapCounter.h"
#include "catalogue/XmlReader.h"
#include "platform/XmlDocument.h"

namespace {

long MaxResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int Generate(const std::string& path, int items) {
    if (!bench::WriteFile(path, bench::CatalogueText(bench::MakeCatalogue(items)))) {
        std::cerr << "cannot write " << path << "\n";
        return 1;
    }
    return 0;
}

int Read(const std::string& path) {
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    XmlReader reader(*xml, std::filesystem::path(path).parent_path().string());

    // A small catalogue first, so that what any first read sets up belongs to the baseline.
    const std::string small = path + ".small.xml";
    bench::WriteFile(small, bench::CatalogueText(bench::MakeCatalogue(10)));
    if (reader.ReadXML(small).size() != 10) {
        std::cerr << "the small catalogue did not read\n";
        return 1;
    }
    std::filesystem::remove(small);

    const long residentBefore = MaxResidentKiB();
    const size_t heapBefore = bench::HeapLive();
    bench::ResetHeapPeak();
    size_t items = 0;
    {
        const OptimizationList catalogue = reader.ReadXML(path);
        items = catalogue.size();
    }
    const size_t heapPeak = bench::HeapPeak();
    const long residentAfter = MaxResidentKiB();

    const double heapRise = static_cast<double>(heapPeak - heapBefore);
    const double residentRise = static_cast<double>(residentAfter - residentBefore) * 1024.0;
    std::printf("file: %.0f bytes, %zu items read\n", fileBytes, items);
    std::printf("heap: %.0f bytes above baseline at the peak (%.2f x file)\n", heapRise,
                heapRise / fileBytes);
    std::printf("resident set: %.0f bytes above baseline at the peak (%.2f x file)\n", residentRise,
                residentRise / fileBytes);
    const bench::Goal goal{"memory.host", bench::Ratio(heapRise, fileBytes), 2.0,
                           "heap peak above baseline vs file size while ReadXML reads " +
                               std::to_string(items) + " items"};
    std::cout << goal.Line() << "\n";
    return items > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc == 4) return Generate(argv[2], std::atoi(argv[3]));
    if (mode == "read" && argc == 3) return Read(argv[2]);
    std::cerr << "usage: orvik_bench_memory generate <path> <items> | read <path>\n";
    return 2;
}
