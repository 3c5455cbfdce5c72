#include "FakeClock.h"
#include "core/AppContext.h"
#include "core/NotifyOptions.h"
#include "core/NotifySettings.h"
#include "events/EventTracker.h"
#include "notify/EventNotifier.h"
#include "notify/Notifications.h"
#include "notify/NotifyQueue.h"
#include "support/FakeDialogs.h"
#include "support/ScriptedHttpServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using vigilux::core::NotifySettings;
using vigilux::events::EventTracker;
using vigilux::events::MotionEvent;
using vigilux::notify::EventNotifier;
using vigilux::notify::Notification;
using vigilux::notify::NotifyChannel;
using vigilux::notify::NotifyQueue;
using vigilux::test::FakeClock;
using Kind = vigilux::notify::Notification::Kind;

// The queue is never started, so what the notifier asked for stays in its
// lanes to be looked at.
class TestEventNotifier : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_rigs = 0;

    struct Rig {
        NotifySettings settings;
        FakeClock clock;
        EventTracker tracker{clock};
        bool muted = false;
        std::unique_ptr<NotifyQueue> queue;
        std::unique_ptr<EventNotifier> notifier;

        explicit Rig(const QString& journal) {
            settings.telegramOn = true;
            settings.mailOn = true;
            queue = std::make_unique<NotifyQueue>(journal, settings, clock);
            notifier = std::make_unique<EventNotifier>(tracker, *queue, settings,
                                                       [this] { return muted; });
        }
        QList<Notification> telegram() const { return queue->waiting(NotifyChannel::Telegram); }
        QList<Notification> mail() const { return queue->waiting(NotifyChannel::Mail); }
        // One event: a first step, its pictures, more steps until lastStepAfterMs,
        // then the gap.
        void event(int change, const QStringList& files, double lastStepAfterMs = 0) {
            tracker.alarmStep(change);
            for (const QString& f : files)
                tracker.addSavedFile(f);
            // Steps every 5 s keep the event open.
            for (double ms = 5000; ms <= lastStepAfterMs; ms += 5000) {
                clock.advance(5000);
                tracker.alarmStep(change * 2);
            }
            clock.advance(tracker.gapSeconds() * 1000.0);
            tracker.poll();
        }
    };

    QString journal() { return m_dir.filePath(QStringLiteral("n%1.journal").arg(++m_rigs)); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Start with the first picture and its caption, then the summary, the same
    // on both channels and in that order.
    void startWithPictureThenSummary() {
        Rig rig(journal());
        rig.event(12, {QStringLiteral("/p/a.jpg"), QStringLiteral("/p/b.jpg")}, 65000);

        for (const QList<Notification>& lane : {rig.telegram(), rig.mail()}) {
            QCOMPARE(lane.size(), 2);
            QCOMPARE(lane[0].kind, Kind::Picture);
            QCOMPARE(lane[0].file, QStringLiteral("/p/a.jpg"));
            QCOMPARE(
                lane[0].text,
                QStringLiteral("Событие 1: движение в кадре, 06.12.2026 21:30:05, изменение 12 %"));
            QCOMPARE(lane[0].subject, QStringLiteral("Движение в кадре: событие 1"));
            QCOMPARE(lane[1].kind, Kind::Text);
            QCOMPARE(lane[1].text, QStringLiteral("Событие 1 закончилось: 1 мин 5 с, снимков: 2, "
                                                  "наибольшее изменение 24 %"));
        }
    }

    // No picture: the start goes as text, before the summary, whether the
    // event ends first or the wait for a picture runs out.
    void startWithoutPicture() {
        Rig rig(journal());
        rig.event(7, {});
        QCOMPARE(rig.telegram().size(), 2);
        QCOMPARE(rig.telegram()[0].kind, Kind::Text);
        QVERIFY(rig.telegram()[0].text.startsWith(QStringLiteral("Событие 1: движение")));
        QVERIFY(rig.telegram()[1].text.startsWith(QStringLiteral("Событие 1 закончилось")));

        rig.notifier->setPictureWaitMs(0);
        rig.tracker.alarmStep(30);
        QTRY_COMPARE(rig.telegram().size(), 3);
        QCOMPARE(rig.telegram()[2].kind, Kind::Text);
        // A picture after the start went out adds nothing.
        rig.tracker.addSavedFile(QStringLiteral("/p/late.jpg"));
        QCOMPARE(rig.telegram().size(), 3);
        rig.tracker.finish();
        QCOMPARE(rig.telegram().size(), 4);
        QCOMPARE(rig.mail().size(), 4);
    }

    // Muted at the start: silent to the end, even when unmuted meanwhile.
    // Muted during the event: the summary is not sent.
    void muteSilences() {
        Rig rig(journal());
        rig.muted = true;
        rig.tracker.alarmStep(10);
        rig.tracker.addSavedFile(QStringLiteral("/p/a.jpg"));
        rig.muted = false;
        rig.tracker.finish();
        QCOMPARE(rig.telegram().size(), 0);

        rig.tracker.alarmStep(10);
        rig.tracker.addSavedFile(QStringLiteral("/p/b.jpg"));
        rig.muted = true;
        rig.tracker.finish();
        QCOMPARE(rig.telegram().size(), 1);
        QCOMPARE(rig.telegram()[0].file, QStringLiteral("/p/b.jpg"));
        QCOMPARE(rig.mail().size(), 1);

        // The clip of an event muted from its start stays home too.
        const QString clip = m_dir.filePath(QStringLiteral("muted.mp4"));
        QFile file(clip);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, 'v'));
        file.close();
        rig.tracker.alarmStep(10);
        rig.tracker.finish();
        rig.muted = false;
        rig.notifier->clipFinished(clip);
        QCOMPARE(rig.telegram().size(), 1);
    }

    // A channel that is off gets nothing; clips go where they are wanted and
    // fit.
    void channelsAndClips() {
        Rig rig(journal());
        rig.settings.mailOn = false;
        rig.event(10, {QStringLiteral("/p/a.jpg")});
        QCOMPARE(rig.telegram().size(), 2);
        QCOMPARE(rig.mail().size(), 0);

        const QString clip = m_dir.filePath(QStringLiteral("clip.mp4"));
        QFile file(clip);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2048, 'v'));
        file.close();
        rig.settings.mailOn = true;
        rig.settings.mailClip = true;
        rig.settings.mailClipMaxMb = 0; // too big for the mailbox
        rig.notifier->clipFinished(clip);
        QCOMPARE(rig.telegram().size(), 3);
        QCOMPARE(rig.telegram()[2].kind, Kind::Video);
        QCOMPARE(rig.telegram()[2].file, clip);
        QCOMPARE(rig.telegram()[2].text, QStringLiteral("Видео события 1"));
        QCOMPARE(rig.mail().size(), 0);

        rig.settings.mailClipMaxMb = 1;
        rig.settings.sendClips = false;
        rig.notifier->clipFinished(clip);
        QCOMPARE(rig.telegram().size(), 3);
        QCOMPARE(rig.mail().size(), 1);
        // A clip that is gone is not queued.
        rig.notifier->clipFinished(m_dir.filePath(QStringLiteral("missing.mp4")));
        QCOMPARE(rig.mail().size(), 1);
    }

    // At start, an event the last run left open: its summary, then its
    // clip; nothing while muted.
    void interruptedEventSummaryThenClip() {
        Rig rig(journal());
        rig.settings.mailOn = false;
        const QString clip = m_dir.filePath(QStringLiteral("interrupted.mp4"));
        QFile file(clip);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2048, 'v'));
        file.close();
        MotionEvent e;
        e.number = 3;
        e.interrupted = true;
        rig.muted = true;
        rig.notifier->finishInterrupted(e, true, {clip});
        QCOMPARE(rig.telegram().size(), 0);
        rig.muted = false;
        rig.notifier->finishInterrupted(e, true, {clip});
        QCOMPARE(rig.telegram().size(), 2);
        QVERIFY(rig.telegram()[0].text.startsWith(QStringLiteral("Событие 3 прервано:")));
        QCOMPARE(rig.telegram()[1].text, QStringLiteral("Видео события 3"));
        rig.notifier->finishInterrupted(e, false, {clip}); // its summary went out before
        QCOMPARE(rig.telegram().size(), 3);
        QCOMPARE(rig.telegram()[2].kind, Kind::Video);
    }

    // A clip that is done before its event has ended (its post-roll is
    // shorter than the event's gap) still follows the event's summary.
    void clipAfterSummaryWhenDoneFirst() {
        Rig rig(journal());
        rig.settings.mailOn = false;
        const QString clip = m_dir.filePath(QStringLiteral("early.mp4"));
        QFile file(clip);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2048, 'v'));
        file.close();
        rig.tracker.alarmStep(10);
        rig.tracker.addSavedFile(QStringLiteral("/p/a.jpg"));
        rig.notifier->clipFinished(clip); // done while the event is open
        QCOMPARE(rig.telegram().size(), 1);
        rig.clock.advance(rig.tracker.gapSeconds() * 1000.0);
        rig.tracker.poll();
        QCOMPARE(rig.telegram().size(), 3);
        QCOMPARE(rig.telegram()[1].kind, Kind::Text);
        QCOMPARE(rig.telegram()[2].kind, Kind::Video);
    }

    // The program's wiring: settings from options.ini (the token scrambled
    // there), the queue beside it, a real HTTP peer for the Bot API that
    // receives the picture byte for byte and then the summary.
    void deliveredThroughNotifications() {
        QTemporaryDir dir;
        FakeClock clock;
        vigilux::test::FakeDialogs dialogs;
        vigilux::AppContext context(clock, dialogs, dir.path());
        context.ini.setFileName(dir.filePath(QStringLiteral("options.ini")));
        context.settings.savePath = dir.path(); // where the picture is saved
        vigilux::test::ScriptedHttpServer api;
        QVERIFY(api.listen());
        for (int i = 0; i < 2; ++i)
            api.replies.enqueue({vigilux::test::ScriptedHttpServer::ok(R"({"ok":true})"), true});
        {
            NotifySettings s;
            s.telegramOn = true;
            s.telegramApi = QStringLiteral("http://127.0.0.1:%1").arg(api.port());
            s.telegramToken = QStringLiteral("777:secretToken");
            s.telegramChat = QStringLiteral("42");
            vigilux::core::NotifyOptions(context.ini, s, nullptr).save();
        }
        const QString picture = dir.filePath(QStringLiteral("a.jpg"));
        QByteArray bytes(3000, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7);
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        QStringList status;
        vigilux::notify::Notifications notifications(context,
                                                     [&](const QString& text) { status << text; });
        EventTracker tracker(clock);
        notifications.follow(tracker, [] { return false; });
        notifications.start();
        QCOMPARE(notifications.journalPath(),
                 dir.filePath(vigilux::notify::Notifications::journalFileName()));
        tracker.alarmStep(40);
        tracker.addSavedFile(picture);
        tracker.finish();
        QTRY_COMPARE_WITH_TIMEOUT(api.connections(), 2, 30000);
        QTRY_COMPARE(notifications.queue()->pendingCount(), 0);
        QVERIFY(api.requests[0].contains("/bot777:secretToken/sendPhoto"));
        QVERIFY(api.requests[0].contains(bytes));
        QVERIFY(api.requests[0].contains(QStringLiteral("Событие 1: движение в кадре").toUtf8()));
        QVERIFY(api.requests[1].contains("/sendMessage"));
        QVERIFY(api.requests[1].contains(QStringLiteral("Событие 1 закончилось").toUtf8()));
        QVERIFY(status.isEmpty());
    }

    void durations() {
        QCOMPARE(EventNotifier::durationText(0), QStringLiteral("0 с"));
        QCOMPARE(EventNotifier::durationText(59.6), QStringLiteral("1 мин 0 с"));
        QCOMPARE(EventNotifier::durationText(3 * 3600 + 61), QStringLiteral("3 ч 1 мин"));
        QCOMPARE(EventNotifier::durationText(-5), QStringLiteral("0 с"));
    }
};

QTEST_GUILESS_MAIN(TestEventNotifier)
#include "tst_event_notifier.moc"
