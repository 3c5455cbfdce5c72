// An event clip being recorded in a process of its own, for the test that
// kills the process in the middle of the event.
//
// clip_event_child FOLDER
// Hands 160x120 frames every 100 ms of a fake clock to the clip recorder and
// alarm steps from 1 s on to the event tracker, as watching does; once
// 4 s of frames are in, prints "recording <clip path>" and waits to be
// killed, the event still open.
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "capture/ClipRecorder.h"
#include "capture/EventClips.h"
#include "capture/EventTracker.h"
#include "core/AppContext.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <vector>

using namespace vigilux;

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        return 2;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context(clock, dialogs, args.at(1));
    auto& s = context.settings;
    s.savePath = args.at(1);
    s.createSubfolders = false;
    s.limitFiles = false;

    capture::EventTracker tracker(clock);
    capture::ClipRecorder recorder(context);
    capture::ClipOptions options;
    options.preRollSeconds = 1;
    options.postRollSeconds = 1;
    recorder.setOptions(options);
    capture::EventClips clips(recorder, tracker);
    clips.setEnabled(true);

    platform::FrameLayout layout =
        platform::FrameLayout::packed(platform::FrameLayout::Pixel::Yuv420p, QSize(160, 120));
    std::vector<uchar> frame(static_cast<std::size_t>(layout.bytes), 128);
    for (std::int64_t ms = 0; ms <= 4000; ms += 100) {
        // A light square moving over a grey ground.
        std::fill_n(frame.begin(), 160 * 120, uchar{96});
        const auto x0 = static_cast<int>(ms / 25 % 120);
        for (int y = 40; y < 80; ++y)
            std::fill_n(frame.begin() + y * 160 + x0, 40, uchar{224});
        clock.advance(100);
        recorder.addFrame(frame.data(), layout, ms);
        if (ms >= 1000) {
            tracker.alarmStep(20);
            clips.onAlarm(true);
        }
    }
    std::printf("recording %s\n", qPrintable(recorder.clipPath()));
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}
