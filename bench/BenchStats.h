#pragma once
// Figures the benchmark programs print from their timings.

#include <algorithm>
#include <cstddef>
#include <vector>

// The value below which the fraction `p` of `values` lies (nearest rank); 0 for none.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * (values.size() - 1) + 0.5));
    return values[index];
}
