#include "benchstats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace BenchStats {

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    const auto n = values.size();
    auto rank = size_t(std::ceil(p / 100.0 * double(n)));
    rank = std::clamp<size_t>(rank, 1, n);
    std::nth_element(values.begin(), values.begin() + (rank - 1), values.end());
    return values[rank - 1];
}

double median(std::vector<double> values) {
    return percentile(std::move(values), 50.0);
}

}  // namespace BenchStats
