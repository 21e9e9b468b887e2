// Timing helpers shared by the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double SecondsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median time of `runs` calls of work.
template <typename TWork> double MedianTime(int runs, TWork work)
{
    std::vector<double> times;
    for (int run = 0; run < runs; run++) {
        const auto start = BenchClock::now();
        work();
        times.push_back(SecondsSince(start));
    }
    return Median(times);
}
