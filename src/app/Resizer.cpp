#include "app/Resizer.h"

namespace vigilux::app {

QSize Resizer::pass(QSize inner) {
    const QSize previous = m_size;
    m_size = inner;
    return previous;
}

QLineF Resizer::scale(const QLineF& line, QSize from, QSize to) {
    if (from.width() <= 0 || from.height() <= 0)
        return line;
    const double sx = double(to.width()) / from.width();
    const double sy = double(to.height()) / from.height();
    return QLineF(line.x1() * sx, line.y1() * sy, line.x2() * sx, line.y2() * sy);
}

} // namespace vigilux::app
