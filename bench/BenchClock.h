#pragma once
// The benchmarks' one clock and their summary figures.

#include <vector>

// Microseconds on the performance counter.
double NowUs();

// The value below which the given fraction of the samples lie (nearest rank).
double Percentile(std::vector<double> samples, double fraction);
