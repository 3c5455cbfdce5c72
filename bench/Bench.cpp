#include "Bench.h"

#include <algorithm>

namespace vigilux::bench {

std::vector<Case>& registry() {
    static std::vector<Case> cases;
    return cases;
}

bool add(const char* name, std::function<void()> run) {
    registry().push_back({name, std::move(run)});
    return true;
}

double median(std::vector<double>& values) {
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace vigilux::bench
