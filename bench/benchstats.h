#pragma once

#include <vector>

// Order statistics of a handful of measurements.
namespace BenchStats {

// The value below which p percent of the values lie, by nearest rank (p in
// (0, 100]): the 99th percentile of 1,000 values is the 990th smallest.
// NaN for no values.
double percentile(std::vector<double> values, double p);

// The middle value; the lower middle one for an even count, so that the
// result is always a measured value.
double median(std::vector<double> values);

}  // namespace BenchStats
