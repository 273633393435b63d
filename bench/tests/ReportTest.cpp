#include <gtest/gtest.h>

#include <cmath>

#include "bench/common/Report.h"

namespace {

TEST(BenchReport, MedianTakesTheMiddleOfUnsortedSamples) {
    EXPECT_DOUBLE_EQ(bench::Median({9, 1, 5}), 5);
    EXPECT_DOUBLE_EQ(bench::Median({4, 1, 3, 2}), 2.5);
    EXPECT_DOUBLE_EQ(bench::Median({7}), 7);
    EXPECT_DOUBLE_EQ(bench::Median({}), 0);
    // One slow outlier, as a neighbour's build makes, does not move it.
    EXPECT_DOUBLE_EQ(bench::Median({10, 11, 10, 500, 12}), 11);
}

TEST(BenchReport, GoalPassesOnlyOnAMeasuredRatioWithinItsLimit) {
    EXPECT_TRUE((bench::Goal{"read", 1.5, 1.5, ""}).Met());
    EXPECT_FALSE((bench::Goal{"read", 1.5001, 1.5, ""}).Met());
    EXPECT_TRUE((bench::Goal{"read", bench::Ratio(30, 20), 1.5, ""}).Met());
    // Nothing measured, or a baseline that took no time, is no pass.
    EXPECT_TRUE(std::isnan(bench::Ratio(5, 0)));
    EXPECT_FALSE((bench::Goal{"read", bench::Ratio(5, 0), 1.5, ""}).Met());
    EXPECT_FALSE((bench::Goal{"read", bench::Ratio(0, 5), 1.5, ""}).Met());
    EXPECT_FALSE((bench::Goal{"read", bench::Ratio(-1, 5), 1.5, ""}).Met());
}

TEST(BenchReport, GoalLineCarriesNameFiguresAndVerdict) {
    EXPECT_EQ((bench::Goal{"write.host", 1.2345, 1.5, "writer vs parser"}).Line(),
              "GOAL write.host ratio=1.234 limit=1.500 PASS  (writer vs parser)");
    EXPECT_EQ((bench::Goal{"memory.wine", 4.5, 4, "peak"}).Line(),
              "GOAL memory.wine ratio=4.500 limit=4.000 MISS  (peak)");
}

}  // namespace
