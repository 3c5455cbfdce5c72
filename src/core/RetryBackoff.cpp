#include "core/RetryBackoff.h"

namespace vigilux::core {

qint64 RetryBackoff::delayMs(int failures) {
    static constexpr qint64 Steps[] = {10'000, 30'000, 60'000, 300'000};
    if (failures < 1) {
        return Steps[0];
    }
    return failures <= 4 ? Steps[failures - 1] : Steps[3];
}

} // namespace vigilux::core
