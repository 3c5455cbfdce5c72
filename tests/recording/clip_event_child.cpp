// An event clip being recorded in a process of its own, for the test that
// kills the process in the middle of the event.
//
// clip_event_child FOLDER [JOURNAL]
// Hands 160x120 frames every 100 ms of a fake clock to a watch pipeline with
// clips on, each frame a detector step, as replay does; a square moves from
// 1 s on, so every step from then alarms. Once 4 s of frames are in, prints
// "recording <clip path>" and waits to be killed, the event still open.
// With JOURNAL, the pipeline keeps its journal of open events there.
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "core/AppContext.h"
#include "pipeline/WatchPipeline.h"

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
    s.saveOnAlarm = false;
    s.eventClips = true;
    s.clipPreRoll = 1;
    s.clipPostRoll = 1;

    pipeline::WatchPipeline watch(context);
    if (args.size() > 2)
        watch.setEventJournal(args.at(2));
    watch.detector().setSimilarityThreshold(99); // any change is motion
    watch.start();

    video::FrameLayout layout =
        video::FrameLayout::packed(video::FrameLayout::Pixel::Yuv420p, QSize(160, 120));
    std::vector<uchar> frame(static_cast<std::size_t>(layout.bytes), 128);
    for (std::int64_t ms = 0; ms <= 4000; ms += 100) {
        // From 1 s on, a light square moving over the grey ground.
        std::fill_n(frame.begin(), 160 * 120, uchar{96});
        const auto x0 = static_cast<int>(ms / 25 % 120);
        for (int y = 40; y < 80 && ms >= 1000; ++y)
            std::fill_n(frame.begin() + y * 160 + x0, 40, uchar{224});
        clock.advance(100);
        watch.addClipFrame(frame.data(), layout, ms);
        video::FrameHeader header;
        header.data = frame.data();
        header.bufferLength = header.bytesUsed = static_cast<quint32>(frame.size());
        watch.step(header, layout);
    }
    std::printf("recording %s\n", qPrintable(watch.clips().clipPath()));
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}
