#include "core/TimeText.h"

namespace vigilux {

QString timeTextWithHundredths(const QDateTime& time) {
    const QTime t = time.time();
    return t.toString(QStringLiteral("hh:mm:ss.")) +
           QStringLiteral("%1").arg(t.msec() / 10, 2, 10, QLatin1Char('0'));
}

} // namespace vigilux
