#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <expat.h>

#include "bench/host/HeapCounter.h"

namespace {

TEST(HeapCounter, FollowsLiveBytesAndKeepsThePeak) {
    // Read first, checked after: the checks themselves may allocate.
    const size_t before = bench::HeapLive();
    bench::ResetHeapPeak();
    size_t during = 0;
    {
        auto block = std::make_unique<std::vector<char>>(1 << 20);
        during = bench::HeapLive();
    }
    const size_t after = bench::HeapLive();
    const size_t peak = bench::HeapPeak();
    EXPECT_GE(during, before + (1u << 20));
    // A block this large is mapped on its own: what it takes is rounded up to whole pages.
    EXPECT_LE(during, before + (1u << 20) + 8192);
    EXPECT_EQ(after, before);
    EXPECT_GE(peak, during);

    bench::ResetHeapPeak();
    const size_t reset = bench::HeapPeak();
    const size_t live = bench::HeapLive();
    char* volatile array = new char[100];  // the array forms count as well
    delete[] array;
    const size_t arrayPeak = bench::HeapPeak();
    EXPECT_EQ(reset, live);
    EXPECT_GE(arrayPeak, live + 100);
}

TEST(HeapCounter, CountsWhatACLibraryAllocates) {
    std::string text = "<Optimizations>";
    for (int i = 0; i < 2000; ++i) text += "<Item><Name>entry</Name></Item>";
    text += "</Optimizations>";
    const size_t before = bench::HeapLive();
    bench::ResetHeapPeak();
    XML_Parser parser = XML_ParserCreate(nullptr);
    // Given the whole text at once, expat keeps a copy of it while it parses.
    const bool parsed =
        XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
    const size_t during = bench::HeapLive();
    XML_ParserFree(parser);
    const size_t after = bench::HeapLive();
    ASSERT_TRUE(parsed);
    EXPECT_GT(during, before + text.size());
    EXPECT_EQ(after, before);
    EXPECT_GT(bench::HeapPeak(), before + text.size());
}

}  // namespace
