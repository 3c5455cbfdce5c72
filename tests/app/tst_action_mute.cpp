#include "FakeClock.h"
#include "app/ActionMute.h"
#include "app/AlarmActions.h"
#include "app/QuietTime.h"
#include "core/Settings.h"

#include <QSignalSpy>
#include <QTest>

using namespace vigilux;
using app::ActionMute;
using app::AlarmActions;

class TestActionMute final : public QObject {
    Q_OBJECT

private slots:
    void endsOnTime_data();
    void endsOnTime();
    void untilUnmutedAndReplacing();
    void quietTimeSaysWhenItEnds();
    void actionsPerStepOrEvent();
    void trayTips();
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

void TestActionMute::quietTimeSaysWhenItEnds() {
    test::FakeClock clock(QDateTime(QDate(2026, 12, 6), QTime(21, 30)));
    app::QuietTime quiet(clock);
    QSignalSpy changed(&quiet, &app::QuietTime::changed);
    quiet.mute(ActionMute::Span::Hour);
    QCOMPARE(quiet.statusText(), QStringLiteral(" Оповещения отключены до 22:30"));
    QVERIFY(quiet.endTimer().isActive());
    QVERIFY(quiet.endTimer().interval() <= 60001); // rechecked at least once a minute
    clock.advance(30 * 60 * 1000.0);
    quiet.check(); // still muted: nothing to tell
    QCOMPARE(changed.size(), 1);
    QVERIFY(quiet.endTimer().isActive());
    clock.advance(30 * 60 * 1000.0);
    quiet.check();
    quiet.check();
    QCOMPARE(changed.size(), 2); // the end, once
    QCOMPARE(quiet.statusText(), QStringLiteral(" Оповещения включены"));

    quiet.mute(ActionMute::Span::UntilUnmuted);
    QVERIFY(!quiet.endTimer().isActive());
    quiet.unmute();
    QCOMPARE(changed.size(), 4);
    QVERIFY(!quiet.isMuted());
}

void TestActionMute::actionsPerStepOrEvent() {
    core::Settings s;
    s.soundOnAlarm = true;
    s.balloonOnAlarm = true;
    s.runOnAlarm = true;
    const auto pattern = [&](bool starts, bool muted, bool inTray) -> QString {
        const AlarmActions a = AlarmActions::forStep(s, starts, muted, inTray);
        return QString::number(a.sound) + QString::number(a.balloon) + QString::number(a.program);
    };
    // Per step (the default): every counted step, the balloon only in the tray.
    QCOMPARE(pattern(false, false, true), QStringLiteral("111"));
    QCOMPARE(pattern(false, false, false), QStringLiteral("101"));
    // Per event, each switch on its own.
    s.soundPerEvent = true;
    s.programPerEvent = true;
    QCOMPARE(pattern(false, false, true), QStringLiteral("010"));
    QCOMPARE(pattern(true, false, true), QStringLiteral("111"));
    s.balloonPerEvent = true;
    QCOMPARE(pattern(false, false, true), QStringLiteral("000"));
    // A mute silences all three, the start of an event too.
    QCOMPARE(pattern(true, true, true), QStringLiteral("000"));
    // A per-event switch never turns an action on by itself.
    s.soundOnAlarm = false;
    QCOMPARE(pattern(true, false, true), QStringLiteral("011"));
}

void TestActionMute::trayTips() {
    QCOMPARE(AlarmActions::trayTip(true, 0, {}),
             QStringLiteral("Vigilux [>] включена автосъемка."));
    QCOMPARE(AlarmActions::trayTip(false, 0, {}), QStringLiteral("Vigilux"));
    QCOMPARE(AlarmActions::trayTip(false, 0, QStringLiteral("до отмены")),
             QStringLiteral("Vigilux: без оповещений до отмены"));
    // The longest tip still fits the 63 characters a tray tip may have.
    const QString longest =
        AlarmActions::trayTip(true, 2147483647, QStringLiteral("до 09.12 00:05"));
    QCOMPARE(longest,
             QStringLiteral("Vigilux [>] событий: 2147483647, без оповещений до 09.12 00:05"));
    QVERIFY(longest.size() <= 63);
}

QTEST_GUILESS_MAIN(TestActionMute)
#include "tst_action_mute.moc"
