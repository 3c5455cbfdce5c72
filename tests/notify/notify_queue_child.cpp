// A process that queues notifications for a Telegram server that is down and
// then waits, so the queue test can kill it with messages waiting.
// Usage: notify_queue_child JOURNAL PORT COUNT
#include "core/NotifySettings.h"
#include "notify/NotifyQueue.h"
#include "platform/SystemClock.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    vigilux::core::NotifySettings settings;
    settings.telegramOn = true;
    settings.telegramApi = QStringLiteral("http://127.0.0.1:") + args.at(2);
    settings.telegramToken = QStringLiteral("1:child");
    settings.telegramChat = QStringLiteral("42");
    vigilux::platform::SystemClock clock;
    vigilux::notify::NotifyQueue queue(args.at(1), settings, clock);
    queue.start();
    for (int i = 1; i <= args.at(3).toInt(); ++i) {
        vigilux::notify::Notification m;
        m.channel = vigilux::notify::NotifyChannel::Telegram;
        m.text = QStringLiteral("сообщение %1").arg(i);
        queue.enqueue(m);
    }
    std::printf("queued\n");
    std::fflush(stdout);
    return app.exec();
}
