#include "platform/CommandLine.h"
#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"
#include "platform/QtProcesses.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using vigilux::platform::CommandLine;
using vigilux::platform::InstanceLock;

namespace {
// A script at `path` that writes its argument count and arguments to
// `marker`, so a test sees exactly how it was called.
void writeScript(const QString& path, const QString& marker) {
    QDir().mkpath(QFileInfo(path).path());
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$#:$*\" > '%1'\nexit 7\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
}

QString readMarker(const QString& marker) {
    QFile f(marker);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}
} // namespace
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

    void commandLinesWithSpacesFindTheProgram_data() {
        QTest::addColumn<QString>("text"); // %1 stands for the temporary folder
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        const QString script = QStringLiteral("%1/my scripts/alarm.sh");
        QTest::newRow("whole value") << script << script << QStringList();
        QTest::newRow("with arguments")
            << script + QStringLiteral(" one \"two three\"") << script
            << QStringList{QStringLiteral("one"), QStringLiteral("two three")};
        QTest::newRow("quoted") << QStringLiteral("\"%1/my scripts/alarm.sh\" x") << script
                                << QStringList{QStringLiteral("x")};
        // The longest prefix naming a file wins.
        QTest::newRow("longest prefix")
            << QStringLiteral("%1/my scripts/alarm.sh now y")
            << QStringLiteral("%1/my scripts/alarm.sh now") << QStringList{QStringLiteral("y")};
        QTest::newRow("program on PATH")
            << QStringLiteral("sh -c true") << QStringLiteral("sh")
            << QStringList{QStringLiteral("-c"), QStringLiteral("true")};
        QTest::newRow("blank") << QStringLiteral("   ") << QString() << QStringList();
    }
    void commandLinesWithSpacesFindTheProgram() {
        QFETCH(QString, text);
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        writeScript(dir.filePath(QStringLiteral("my scripts/alarm.sh")), QString());
        writeScript(dir.filePath(QStringLiteral("my scripts/alarm.sh now")), QString());
        const CommandLine parsed =
            CommandLine::parse(text.replace(QStringLiteral("%1"), dir.path()));
        QCOMPARE(parsed.program, program.replace(QStringLiteral("%1"), dir.path()));
        QCOMPARE(parsed.arguments, arguments);
    }

    void scriptsInFoldersWithSpacesRunWaitingAndNot() {
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("called"));
        const QString script = dir.filePath(QStringLiteral("my scripts/alarm.sh"));
        writeScript(script, marker);
        vigilux::platform::QtProcesses processes;

        QCOMPARE(processes.runAndWait(script, 1), 7);
        QCOMPARE(readMarker(marker), QStringLiteral("0:"));
        QCOMPARE(processes.runAndWait(script + QStringLiteral(" a b"), 1), 7);
        QCOMPARE(readMarker(marker), QStringLiteral("2:a b"));

        QFile::remove(marker);
        QVERIFY(processes.start(script));
        QTRY_COMPARE_WITH_TIMEOUT(readMarker(marker), QStringLiteral("0:"), 5000);
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
