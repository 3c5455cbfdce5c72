#pragma once

#include <QLineF>
#include <QSize>

namespace vigilux::app {

// The main window's layout routine: remembers the size of the last pass
// and scales the border lines by the change. The first pass only records
// the size.
class Resizer final {
public:
    // Records `inner`; returns the size of the previous pass, or an invalid
    // size on the first pass (then nothing is to be moved).
    QSize pass(QSize inner);

    QSize recorded() const { return m_size; }

    // A line scaled by the change from `from` to `to` (x by the widths,
    // y by the heights).
    static QLineF scale(const QLineF& line, QSize from, QSize to);

private:
    QSize m_size;
};

} // namespace vigilux::app
