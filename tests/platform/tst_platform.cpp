#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"
#include "platform/QtProcesses.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using vigilux::platform::InstanceLock;
using vigilux::platform::QtDialogs;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void secondLockOnSamePathIsRefusedUntilReleased() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.lock"));
        auto first = std::make_unique<InstanceLock>(path);
        QVERIFY(first->tryAcquire());
        InstanceLock second(path);
        QVERIFY(!second.tryAcquire());
        first.reset();
        QVERIFY(second.tryAcquire());
    }

    void lockPathDependsOnExecutable() {
        const QString a = InstanceLock::defaultPath(QStringLiteral("/opt/a/vigilux"));
        QCOMPARE(a, InstanceLock::defaultPath(QStringLiteral("/opt/a/../a/vigilux")));
        QVERIFY(a != InstanceLock::defaultPath(QStringLiteral("/opt/b/vigilux")));
    }

    void runAndWaitReturnsTheExitCode() {
        vigilux::platform::QtProcesses processes;
        QCOMPARE(processes.runAndWait(QStringLiteral("/bin/sh -c \"exit 3\""), 1), 3);
        QCOMPARE(processes.runAndWait(QStringLiteral("/bin/true"), 1), 0);
        // A program that cannot start: no result, no message, no hang.
        QCOMPARE(processes.runAndWait(QStringLiteral("/nonexistent/program --flag"), 1), -1);
        QCOMPARE(processes.runAndWait(QString(), 1), -1);
    }

    void runAndWaitReallyWaits() {
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("done"));
        vigilux::platform::QtProcesses processes;
        processes.runAndWait(QStringLiteral("/bin/sh -c \"sleep 0.2; touch '%1'\"").arg(marker), 1);
        QVERIFY(QFile::exists(marker));
    }

    void startDoesNotWait() {
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("started"));
        vigilux::platform::QtProcesses processes;
        QVERIFY(processes.start(QStringLiteral("/bin/sh -c \"touch '%1'\"").arg(marker)));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QVERIFY(!processes.start(QStringLiteral("/nonexistent/program")));
    }

    void filterPairsBecomeQtFilters() {
        QCOMPARE(QtDialogs::toQtFilter(QStringLiteral("Звуки (*.wav)|*.wav|Все файлы|*.*")),
                 QStringLiteral("Звуки (*.wav) (*.wav);;Все файлы (*.*)"));
        QCOMPARE(QtDialogs::toQtFilter(QStringLiteral("Программы|*.exe;*.sh")),
                 QStringLiteral("Программы (*.exe *.sh)"));
        QCOMPARE(QtDialogs::toQtFilter(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
