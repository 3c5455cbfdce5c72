#include "core/LineJournal.h"
#include "core/RetryBackoff.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using vigilux::core::LineJournal;
using vigilux::core::RetryBackoff;

namespace {
unsigned mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777u : ~0u;
}
} // namespace

class TestLineJournal : public QObject {
    Q_OBJECT
private slots:
    void appendsAndReadsRecordsInOrder() {
        QTemporaryDir dir;
        LineJournal journal(dir.filePath(QStringLiteral("sub/queue.journal")));
        QVERIFY(journal.readAll().isEmpty());
        QVERIFY(journal.append(QStringLiteral("+ /tmp/а б.jpg")));
        QVERIFY(journal.append(QStringLiteral("two\nlines")));
        QCOMPARE(journal.readAll(),
                 QStringList({QStringLiteral("+ /tmp/а б.jpg"), QStringLiteral("two lines")}));
    }

    // A kill in the middle of a write leaves a line without its end: it is
    // not a record, and the next append starts on a line of its own.
    void tornLastLineIsSkippedAndNotJoined() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("j"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("whole\r\ntorn-reco");
        }
        LineJournal journal(path);
        QCOMPARE(journal.readAll(), QStringList{QStringLiteral("whole")});
        QVERIFY(journal.append(QStringLiteral("next")));
        QCOMPARE(journal.readAll(),
                 QStringList({QStringLiteral("whole"), QStringLiteral("torn-reco"),
                              QStringLiteral("next")}));
    }

    void rewriteReplacesEverythingAndFailuresAreReported() {
        QTemporaryDir dir;
        LineJournal journal(dir.filePath(QStringLiteral("j")));
        QVERIFY(journal.append(QStringLiteral("a")));
        QVERIFY(journal.rewrite({QStringLiteral("b"), QStringLiteral("c")}));
        QCOMPARE(journal.readAll(), QStringList({QStringLiteral("b"), QStringLiteral("c")}));
        // The file held open for appends was replaced: appends go to the new one.
        QVERIFY(journal.append(QStringLiteral("d")));
        QCOMPARE(journal.readAll(),
                 QStringList({QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
        QVERIFY(journal.rewrite({}));
        QVERIFY(journal.readAll().isEmpty());

        LineJournal blocked(dir.filePath(QStringLiteral("j/inside"))); // "j" is a file
        QVERIFY(!blocked.append(QStringLiteral("x")));
        QVERIFY(!blocked.lastError().isEmpty());
        QVERIFY(!blocked.rewrite({QStringLiteral("x")}));
    }

    // Journals are private; a symlink or FIFO at a journal's place is neither
    // read (a FIFO would block) nor written through, and a rewrite puts a
    // private regular file there.
    void foreignFileAtTheJournalsPlace_data() {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("symlink") << false;
        QTest::newRow("FIFO") << true;
    }
    void foreignFileAtTheJournalsPlace() {
        QFETCH(bool, fifo);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("sub/target"));
        QVERIFY(LineJournal(target).append(QStringLiteral("keep")));
        QCOMPARE(mode(target), 0600u);
        QCOMPARE(mode(dir.filePath(QStringLiteral("sub"))), 0700u);
        const QString path = dir.filePath(QStringLiteral("sub/j"));
        QVERIFY(fifo ? ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0
                     : QFile::link(target, path));
        LineJournal journal(path);
        QVERIFY(!journal.forEach([](const QString&) { QFAIL("read through"); }));
        QVERIFY(!journal.append(QStringLiteral("x")));
        QVERIFY(journal.rewrite({QStringLiteral("y")}));
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(mode(path), 0600u);
        QCOMPARE(journal.readAll(), QStringList{QStringLiteral("y")});
        QCOMPARE(LineJournal(target).readAll(), QStringList{QStringLiteral("keep")});
    }

    // A record far longer than any the program writes is skipped whole.
    void oversizedRecordIsSkipped() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("j")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("a\n" + QByteArray(LineJournal::kMaxRecordBytes * 3, 'x') + "\nb\n");
        file.close();
        QCOMPARE(LineJournal(file.fileName()).readAll(),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    }

    void backoffStepsAndGivesUpAfterADay() {
        QCOMPARE(RetryBackoff::delayMs(1), 10'000);
        QCOMPARE(RetryBackoff::delayMs(2), 30'000);
        QCOMPARE(RetryBackoff::delayMs(3), 60'000);
        QCOMPARE(RetryBackoff::delayMs(4), 300'000);
        QCOMPARE(RetryBackoff::delayMs(50), 300'000);
        QVERIFY(!RetryBackoff::givesUp(0, RetryBackoff::GiveUpAfterMs - 1));
        QVERIFY(RetryBackoff::givesUp(0, RetryBackoff::GiveUpAfterMs));
    }
};

QTEST_GUILESS_MAIN(TestLineJournal)
#include "tst_line_journal.moc"
