#include "FakeClock.h"
#include "app/ActionMute.h"

#include <QTest>

using namespace vigilux;
using app::ActionMute;

class TestActionMute final : public QObject {
    Q_OBJECT

private slots:
    void endsOnTime_data();
    void endsOnTime();
    void untilUnmutedAndReplacing();
};

void TestActionMute::endsOnTime_data() {
    QTest::addColumn<int>("span");
    QTest::addColumn<double>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("15 min") << int(ActionMute::Span::Minutes15) << 900000.0
                            << QStringLiteral("до 21:45");
    QTest::newRow("1 h") << int(ActionMute::Span::Hour) << 3600000.0 << QStringLiteral("до 22:30");
}

void TestActionMute::endsOnTime() {
    QFETCH(int, span);
    QFETCH(double, ms);
    QFETCH(QString, text);
    test::FakeClock clock(QDateTime(QDate(2026, 12, 6), QTime(21, 30)));
    ActionMute mute(clock);
    QVERIFY(!mute.isMuted());
    QVERIFY(mute.untilText().isEmpty());
    mute.mute(static_cast<ActionMute::Span>(span));
    QVERIFY(mute.isMuted());
    QVERIFY(!mute.isIndefinite());
    QCOMPARE(mute.untilText(), text);
    QCOMPARE(mute.until(), clock.now().addMSecs(qint64(ms)));
    clock.advance(ms - 1);
    QVERIFY(mute.isMuted());
    QCOMPARE(mute.msLeft(), 1.0);
    clock.advance(1);
    QVERIFY(!mute.isMuted());
    QVERIFY(!mute.until().isValid());
    QCOMPARE(mute.msLeft(), -1.0);
}

void TestActionMute::untilUnmutedAndReplacing() {
    test::FakeClock clock(QDateTime(QDate(2026, 12, 6), QTime(23, 50)));
    ActionMute mute(clock);
    mute.mute(ActionMute::Span::UntilUnmuted);
    clock.advance(48 * 3600 * 1000.0);
    QVERIFY(mute.isIndefinite());
    QCOMPARE(mute.untilText(), QStringLiteral("до отмены"));
    mute.unmute();
    QVERIFY(!mute.isMuted());

    // A later choice replaces the earlier one; an end after midnight says
    // the day.
    mute.mute(ActionMute::Span::UntilUnmuted);
    mute.mute(ActionMute::Span::Minutes15);
    QCOMPARE(mute.untilText(), QStringLiteral("до 09.12 00:05"));
    clock.advance(15 * 60 * 1000.0);
    QVERIFY(!mute.isMuted());
}

QTEST_GUILESS_MAIN(TestActionMute)
#include "tst_action_mute.moc"
