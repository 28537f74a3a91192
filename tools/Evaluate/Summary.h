#pragma once

// Mean, median, 95th percentile and largest of a list of errors.

#include <string>
#include <vector>

namespace vela::evaluate {

struct Summary {
    int count = 0;
    // Zero when count is 0 (written as null).
    double mean = 0.0, median = 0.0, p95 = 0.0, max = 0.0;
};

// The p-th percentile (0..100) of sorted values, interpolated linearly
// between the two nearest ranks (rank p / 100 x (n - 1)); 0 for no values.
double Percentile(const std::vector<double>& sorted, double p);

Summary Summarize(std::vector<double> values);

}  // namespace vela::evaluate
