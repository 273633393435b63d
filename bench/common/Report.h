#pragma once
// What every benchmark program of ours prints for a goal, one line each, so that scripts/bench
// can gather them from the host and the Windows side alike:
//
//   GOAL <name> ratio=<measured> limit=<allowed> PASS|MISS  (<what was compared>)

#include <string>
#include <vector>

namespace bench {

// The middle of the samples; for an even count, the mean of the two middle ones. 0 when empty.
double Median(std::vector<double> samples);

struct Goal {
    std::string name;
    double ratio = 0;
    double limit = 0;
    std::string detail;

    // A ratio that is not a number (nothing measured, a zero baseline) never passes.
    bool Met() const { return ratio == ratio && ratio > 0 && ratio <= limit; }
    std::string Line() const;
};

// subject / baseline, or not-a-number when the baseline is not above zero.
double Ratio(double subject, double baseline);

}  // namespace bench
