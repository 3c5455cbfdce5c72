#pragma once

#include <QtGlobal>

namespace vigilux::core {

// When a delivery that failed is tried again: 10 s, 30 s, 1 min, 5 min after
// the 1st to 4th failure, then every 5 min, until 24 hours have passed since
// the first failure. Shared by the upload queue and the notifications.
struct RetryBackoff {
    static constexpr qint64 GiveUpAfterMs = 24LL * 60 * 60 * 1000;

    // The wait after the `failures`-th failure in a row (1 = the first).
    static qint64 delayMs(int failures);

    // True when an item that first failed at `firstFailureMs` and failed
    // again at `nowMs` is not to be tried any more.
    static bool givesUp(qint64 firstFailureMs, qint64 nowMs) {
        return nowMs - firstFailureMs >= GiveUpAfterMs;
    }
};

} // namespace vigilux::core
