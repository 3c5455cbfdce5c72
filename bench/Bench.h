#pragma once

#include <functional>
#include <vector>

namespace vigilux::bench {

// A benchmark prints its own result lines to standard output.
struct Case {
    const char* name;
    std::function<void()> run;
};

std::vector<Case>& registry();

// Registers a benchmark at static-initialisation time:
//   static const bool registered = vigilux::bench::add("detector", &runDetector);
bool add(const char* name, std::function<void()> run);

// Median of the values; the vector is reordered.
double median(std::vector<double>& values);

} // namespace vigilux::bench
