// What the native reader holds at its peak while it reads a large catalogue, counted exactly
// through the heap counter: the file's bytes, the parser's state and the records.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench/common/CatalogueGenerator.h"
#include "bench/host/HeapCounter.h"
#include "catalogue/XmlReader.h"
#include "platform/XmlDocument.h"

namespace {

TEST(ReaderMemory, PeakStaysWithinTwiceTheFileAndAllIsGivenBack) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("orvik-reader-memory-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "catalogue.xml").string();
    ASSERT_TRUE(bench::WriteFile(path, bench::CatalogueText(bench::MakeCatalogue(3000))));
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));

    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    XmlReader reader(*xml, folder.string());
    const size_t before = bench::HeapLive();
    bench::ResetHeapPeak();
    size_t items = 0;
    size_t held = 0;
    {
        const OptimizationList catalogue = reader.ReadXML(path);
        items = catalogue.size();
        held = bench::HeapLive() - before;
    }
    const size_t peak = bench::HeapPeak() - before;
    const size_t after = bench::HeapLive();
    std::filesystem::remove_all(folder);

    ASSERT_EQ(items, 3000u);
    EXPECT_LE(static_cast<double>(peak), 2.0 * fileBytes)
        << "peak " << peak << " bytes for a file of " << fileBytes;
    // The records alone stay below the file's size: nothing of the parse is kept.
    EXPECT_LT(static_cast<double>(held), fileBytes);
    EXPECT_EQ(after, before);
}

}  // namespace
