// Appends events to the log named by its argument until it is killed.
#include "events/EventLog.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        return 2;
    vigilux::events::EventLog log;
    log.setPath(args.at(1));
    // Long lines, so a line that were written in pieces would show.
    const QString folder = QStringLiteral("/tmp/") + QString(2000, QLatin1Char('x'));
    const QDateTime start(QDate(2026, 12, 6), QTime(21, 30));
    for (int n = 1;; ++n) {
        vigilux::events::MotionEvent event;
        event.number = n;
        event.startTime = start.addSecs(n);
        event.endTime = start.addSecs(n + 1);
        event.endMs = 1000.0;
        event.steps = 3;
        event.peakChange = 40;
        event.files = {folder + QStringLiteral("/a.jpg"), folder + QStringLiteral("/b.jpg")};
        if (!log.append(event))
            return 1;
    }
}
