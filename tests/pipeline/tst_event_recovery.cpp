#include "VideoTools.h"
#include "core/LineJournal.h"
#include "events/EventLog.h"
#include "pipeline/EventJournal.h"
#include "pipeline/EventRecovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;
using pipeline::EventRecovery;
using pipeline::RecoveredEvent;

namespace {

// What a restart finishes: each event handed over, and events.csv's lines.
struct Restart {
    QList<RecoveredEvent> handed;
    QStringList status;
    QList<QStringList> lines;
};

Restart restart(const QString& journal, const QString& saves) {
    Restart r;
    EventRecovery recovery(journal, saves, [&r](const QString& text) { r.status << text; });
    recovery.run([&r](const RecoveredEvent& e) { r.handed << e; });
    r.lines = test::readEventLog(QDir(saves).filePath(events::EventLog::FileName));
    return r;
}

} // namespace

class TestEventRecovery : public QObject {
    Q_OBJECT
private slots:
    void killedMidEventIsFinishedOnce();
    void journalLeftovers_data();
    void journalLeftovers();
};

// A watching program killed (SIGKILL) in the middle of an event: the next
// start logs the event as interrupted and hands its clip over, once.
void TestEventRecovery::killedMidEventIsFinishedOnce() {
    QTemporaryDir saves;
    QTemporaryDir config;
    const QString journal = config.filePath(pipeline::EventJournal::fileName());
    QProcess child;
    child.start(QStringLiteral(VIGILUX_CLIP_EVENT_CHILD), {saves.path(), journal});
    QVERIFY(child.waitForStarted(10000));
    QByteArray line;
    while (!line.endsWith('\n') && child.waitForReadyRead(60000))
        line += child.readLine();
    QVERIFY2(line.startsWith("recording "), line.constData());
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    const QString clip = QString::fromLocal8Bit(line.mid(10).trimmed());

    const Restart first = restart(journal, saves.path());
    QCOMPARE(first.handed.size(), 1);
    QVERIFY(first.handed[0].loggedNow);
    QCOMPARE(first.handed[0].clips, QStringList{clip});
    QVERIFY(EventRecovery::plays(clip));
    QCOMPARE(first.lines.size(), 1);
    const QStringList fields = first.lines[0];
    QCOMPARE(fields.size(), events::EventLog::FieldsWithNote);
    QCOMPARE(fields.last(), events::EventLog::InterruptedNote);
    QCOMPARE(fields[9], QFileInfo(clip).fileName());
    // Motion from 1 s to 4 s, the clip's whole fragments up to 3 s or more.
    QVERIFY2(fields[3].toDouble() >= 1.9 && fields[3].toDouble() <= 3.1, qPrintable(fields[3]));

    const Restart second = restart(journal, saves.path());
    QCOMPARE(second.handed.size(), 0);
    QCOMPARE(second.lines, first.lines);
}

// Journals as a kill may leave them, or as somebody may have edited them.
void TestEventRecovery::journalLeftovers_data() {
    QTest::addColumn<QStringList>("records"); // %1: the save folder
    QTest::addColumn<QString>("clip");        // the file the records name, made before
    QTest::addColumn<int>("lines");           // events.csv lines afterwards
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("handed");  // the clip was handed over
    QTest::addColumn<bool>("remains"); // the clip file is still there
    const QString ev = QStringLiteral("event\t1796589000000\t4");
    // Twelve seconds, three pictures of which the journal keeps the first and the last.
    const QString seen = QStringLiteral("seen\t1796589000000\t1796589012000\t9\t40");
    const QString pictures = QStringLiteral("file\t1796589000000\t1\t%1/p1.jpg\n"
                                            "file\t1796589000000\t3\t%1/p3.jpg");
    const QString clip = QStringLiteral("clip\t1796589000000\t%1/a.mp4");
    const QString logged = QStringLiteral("logged\t1796589000000");
    QTest::newRow("unplayable clip removed, line says so")
        << QStringList{ev, seen, pictures, clip} << QStringLiteral("junk") << 1
        << QStringLiteral("interrupted;cut") << false << false;
    QTest::newRow("logged event, clip not yet handed over")
        << QStringList{ev, seen, clip, logged} << QStringLiteral("clip") << 0 << QString() << true
        << true;
    QTest::newRow("clip handed over already")
        << QStringList{ev, seen, clip, logged, QStringLiteral("closed\t%1/a.mp4")}
        << QStringLiteral("clip") << 0 << QString() << false << true;
    QTest::newRow("clip outside the save folder untouched")
        << QStringList{ev, seen, pictures, QStringLiteral("clip\t1796589000000\t%1/../a.mp4")}
        << QStringLiteral("outside") << 1 << QStringLiteral("interrupted") << false << true;
}

void TestEventRecovery::journalLeftovers() {
    QFETCH(QStringList, records);
    QFETCH(QString, clip);
    QFETCH(int, lines);
    QFETCH(QString, note);
    QFETCH(bool, handed);
    QFETCH(bool, remains);
    QTemporaryDir root;
    const QString saves = root.filePath(QStringLiteral("saves"));
    QVERIFY(QDir().mkpath(saves));
    const QString file = clip == QLatin1String("outside") ? root.filePath(QStringLiteral("a.mp4"))
                                                          : saves + QStringLiteral("/a.mp4");
    if (clip == QLatin1String("junk")) {
        QFile junk(file);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(740, 'x'));
    } else {
        QVERIFY(
            test::runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                             QStringLiteral("testsrc=size=64x48:rate=10:duration=2"), file}));
    }
    const QString journal = root.filePath(pipeline::EventJournal::fileName());
    core::LineJournal j(journal);
    for (const QString& r : records)
        for (const QString& one : r.arg(saves).split(QLatin1Char('\n')))
            QVERIFY(j.append(one));

    const Restart r = restart(journal, saves);
    QCOMPARE(r.lines.size(), lines);
    if (lines > 0) {
        QCOMPARE(r.lines[0].last(), note);
        QCOMPARE(r.lines[0].mid(3, 7),
                 (QStringList{QStringLiteral("12.000"), QStringLiteral("9"), QStringLiteral("40"),
                              QStringLiteral("p1.jpg"), QStringLiteral("p3.jpg"),
                              QStringLiteral("3"), QString()}));
    }
    QCOMPARE(!r.handed.isEmpty() && !r.handed[0].clips.isEmpty(), handed);
    QCOMPARE(QFileInfo::exists(file), remains);
    if (!remains)
        QVERIFY(r.status.join(QLatin1Char('\n')).contains(QStringLiteral("удалено")));
    QVERIFY(j.readAll().isEmpty());
    QCOMPARE(restart(journal, saves).handed.size(), 0);
}

QTEST_GUILESS_MAIN(TestEventRecovery)
#include "tst_event_recovery.moc"
