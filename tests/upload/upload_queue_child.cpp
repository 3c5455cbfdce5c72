// The program's upload queue in a process of its own, for the test that
// kills it with files waiting and starts it again.
//
// upload_queue_child SETTINGS_FOLDER PORT [FILE...]
// Restores the journal in SETTINGS_FOLDER, queues the FILEs for the FTP
// server on 127.0.0.1:PORT (user bob, password secret, folder "photos"),
// prints "queued <restored> <added>" and ends once nothing waits.
#include "FakeDialogs.h"
#include "core/AppContext.h"
#include "platform/SystemClock.h"
#include "upload/FtpClient.h"
#include "upload/UploadQueue.h"

#include <QCoreApplication>

#include <cstdio>

using namespace vigilux;

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    platform::SystemClock clock;
    test::FakeDialogs dialogs;
    AppContext context(clock, dialogs, args.at(1));
    auto& s = context.settings;
    s.ftpUpload = true;
    s.ftpServer = QStringLiteral("127.0.0.1");
    s.ftpLogin = QStringLiteral("bob");
    s.ftpPassword = QStringLiteral("secret");
    s.ftpFolder = QStringLiteral("photos");

    upload::FtpClient ftp;
    ftp.setControlPort(static_cast<quint16>(args.at(2).toUInt()));
    ftp.setStartDelayMs(10);
    upload::UploadQueue queue(context, ftp, [](const QString&) {});
    queue.setRetryDelay([](int) { return 500; });
    const int restored = queue.restore();
    for (const QString& file : args.mid(3))
        queue.enqueueSaved(file);
    std::printf("queued %d %d\n", restored, static_cast<int>(args.size() - 3));
    std::fflush(stdout);
    if (queue.waitingCount() == 0)
        return 0;
    QObject::connect(&queue, &upload::UploadQueue::waitingChanged, &application, [](int count) {
        if (count == 0)
            QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
