#pragma once

#include <QDateTime>
#include <QString>

namespace vigilux {

// "hh:mm:ss." + two digits of hundredths: the time text of file names and
// the date imprint.
QString timeTextWithHundredths(const QDateTime& time);

} // namespace vigilux
