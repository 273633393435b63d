#include "bench/common/Report.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace bench {

double Median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    if (samples.size() % 2 == 1) return samples[middle];
    return (samples[middle - 1] + samples[middle]) / 2;
}

double Ratio(double subject, double baseline) {
    if (!(baseline > 0)) return std::numeric_limits<double>::quiet_NaN();
    return subject / baseline;
}

std::string Goal::Line() const {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, " ratio=%.3f limit=%.3f ", ratio, limit);
    return "GOAL " + name + numbers + (Met() ? "PASS" : "MISS") + "  (" + detail + ")";
}

}  // namespace bench
