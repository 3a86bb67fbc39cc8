// Small statistics for the benchmark programs.
#pragma once

#include <algorithm>
#include <vector>

struct Spread {
    double median;
    double low;   // 10th percentile
    double high;  // 90th percentile
};

inline Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) {
        return Spread{0, 0, 0};
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double fraction) {
        size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
        return values[index];
    };
    return Spread{at(0.5), at(0.1), at(0.9)};
}
