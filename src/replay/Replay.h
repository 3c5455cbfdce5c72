#pragma once

#include "core/DetectorValuesTarget.h"
#include "replay/ReplayPlot.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace vigilux::events {
struct MotionEvent;
}
namespace vigilux::detection {
struct ObjectStep;
}

namespace vigilux::replay {

// What one replay is asked to do.
struct ReplayOptions {
    QString file;         // the video to watch
    QString outDir;       // where alarm frames and clips go; "" = the SavePath setting
    QString settingsPath; // the INI to read; "" = options.ini in the program folder
    QString plotPath;     // a PNG or SVG picture of the run; "" = none
};

// Watches a recorded video the way watch mode watches the camera, without a
// window and as fast as the machine decodes: every frame of the file in
// order, a detector tick every `Timer` ms of media time, each tick taking
// the first frame at or after it, the detector and the alarm-frame saving
// unchanged. The detector compares each sampled frame as live watching
// does: in the decoder's own pixel layout, planes packed without row
// padding (FrameLayout::packed). Pictures are converted to RGB only to be
// saved. With EventClips on, every event also gets its video clip, taken
// from the file's frames at the clip frame rate. Results, clips included,
// depend only on the file and the settings.
//
// Writes one line per detector step and a summary to `out`, messages and
// progress to `err`. Runs on the calling thread; needs a QGuiApplication
// (the date imprint draws text).
class Replay final : public core::DetectorValuesTarget {
public:
    using LineSink = std::function<void(const QString& line)>;

    // Wall-clock figures of the last run(), in seconds unless named otherwise.
    struct Stats {
        std::int64_t frames = 0; // decoded
        std::int64_t steps = 0;
        std::int64_t alarms = 0;
        std::int64_t saved = 0;
        std::int64_t damaged = 0;    // decoding errors and frames marked corrupt
        std::int64_t events = 0;     // motion events (EventGap apart)
        std::int64_t clips = 0;      // event clips written (EventClips on)
        double decodeSeconds = 0.0;  // reading and decoding every frame
        double convertSeconds = 0.0; // packing the sampled frames for the detector
        double detectSeconds = 0.0;  // detector steps, saving excluded
        double saveSeconds = 0.0;    // writing alarm frames
        double clipSeconds = 0.0;    // packing and handing frames to the clips
        double totalSeconds = 0.0;   // the whole run, opening included
        std::vector<double> stepUs;  // each step's detector time, saving excluded

        double decodeFps() const;    // frames / (decode + conversion time)
        double stepUsMedian() const; // 0 without steps
    };

    // Exit codes of run().
    enum Exit { Ok = 0, BadInput = 1, BadArguments = 2, SaveFailed = 3 };

    Replay(QString programFolder, LineSink out, LineSink err);

    int run(const ReplayOptions& options);
    const Stats& stats() const { return m_stats; }

    // The settings load hands the three detector values here (0 interval
    // ms, 1 noise, 2 motion percent).
    void setDetectorValue(core::DetectorValue which, qint32 value) override;

    // The step line: "t_ms=.. similarity=.. changed=.. alarm=0|1 saved=path|-".
    static QString stepLine(std::int64_t tMs, int similarity, bool alarm, const QString& saved);
    // The line of an ended motion event:
    // "event=N start_ms=.. end_ms=.. steps=.. peak=.." (media time of its
    // first and last alarm step, largest change in percent). A finished
    // clip follows its event's line as "clip=path".
    static QString eventLine(const events::MotionEvent& event);
    // What the object detector adds at the end of a step line: the objects
    // confirmed and the largest one's area (hundredths of a percent).
    static QString objectFields(const detection::ObjectStep& step, bool personOnly);
    // The summary line of a run.
    static QString summaryLine(const Stats& stats);

    // Parses "--replay FILE [--out DIR] [--settings INI] [--plot FILE.png|.svg]"
    // (also "--out=DIR", "--settings=INI", "--plot=FILE"). False with
    // `error` set on anything else.
    static bool parseArguments(const QStringList& args, ReplayOptions& options, QString& error);

private:
    int fail(int code, const QString& text);
    bool writePlot(const ReplayOptions& options, const QString& file, std::int64_t durationMs);

    QString m_programFolder;
    LineSink m_out;
    LineSink m_err;
    std::array<qint32, 3> m_sensor{500, 5, 10};
    Stats m_stats;
    std::vector<ReplayPlot::Step> m_plotSteps;  // kept only when a plot is asked for
    std::vector<ReplayPlot::Span> m_plotEvents; // likewise
    QImage m_plotFrame;     // a frame of the file under the mask, when there is one
    QString m_plotMaskFile; // the object detector's mask file
};

// The program's entry for "vigilux --replay ...": `args` are the command-line
// arguments after the program name, starting with "--replay". Makes its own
// application on the "offscreen" platform, so no display is needed; returns
// the exit code. Call it before any other QApplication exists.
// `installedData` as for core::ProgramFolders: an installed copy reads
// its settings from the user's configuration folder.
int runReplay(QStringList args, const QString& installedData);

} // namespace vigilux::replay
