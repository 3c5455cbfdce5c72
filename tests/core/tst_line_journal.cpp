#include "core/LineJournal.h"
#include "core/RetryBackoff.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using vigilux::core::LineJournal;
using vigilux::core::RetryBackoff;

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
