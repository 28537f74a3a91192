#include "Evaluate/Summary.h"

#include <algorithm>
#include <cmath>

namespace vela::evaluate {

double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0.0;
    const double rank = std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(std::floor(rank));
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (rank - static_cast<double>(below));
}

Summary Summarize(std::vector<double> values) {
    Summary s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    s.count = static_cast<int>(values.size());
    double sum = 0.0;
    for (double v : values) sum += v;
    s.mean = sum / static_cast<double>(values.size());
    s.median = Percentile(values, 50.0);
    s.p95 = Percentile(values, 95.0);
    s.max = values.back();
    return s;
}

}  // namespace vela::evaluate
