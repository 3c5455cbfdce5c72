#include "replay/Replay.h"

#include "core/AppContext.h"
#include "core/ProgramFolders.h"
#include "core/SettingsStorage.h"
#include "detection/MotionDetector.h"
#include "pipeline/WatchPipeline.h"
#include "platform/ConsoleDialogs.h"
#include "platform/MediaClock.h"
#include "video/FrameHeader.h"
#include "video/VideoDecoder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace vigilux::replay {

namespace {

// Name texts of files that state no recording time start here, so a name
// reads as the media time: 2000_01_01_(00-00-12-40) is 12.4 s into the file.
const QDateTime DefaultOrigin(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);

// Progress goes to standard error for files longer than this.
constexpr std::int64_t ProgressAboveMs = 5000;

double secondsSince(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The bytes of a picture packed in `layout`, as they lie in the planes: a
// plane without row padding is one piece, otherwise each row is one. False
// for planes that do not hold the layout's rows.
bool piecesOf(const video::FrameLayout& layout, const std::array<const std::uint8_t*, 3>& planes,
              const std::array<int, 3>& lineBytes,
              std::vector<detection::MotionDetector::Piece>& pieces) {
    pieces.clear();
    for (int i = 0; i < layout.planeCount; ++i) {
        const auto p = static_cast<std::size_t>(i);
        const auto row = static_cast<std::size_t>(layout.stride[p]);
        const int rows = layout.planeRows(i);
        const std::uint8_t* src = planes[p];
        if (!src || std::abs(lineBytes[p]) < layout.stride[p])
            return false;
        if (lineBytes[p] == layout.stride[p]) {
            pieces.push_back({src, row * static_cast<std::size_t>(rows)});
            continue;
        }
        // A negative line length is a picture stored bottom-up; its rows
        // still come in order.
        for (int y = 0; y < rows; ++y, src += lineBytes[p])
            pieces.push_back({src, row});
    }
    return true;
}

} // namespace

double Replay::Stats::decodeFps() const {
    const double seconds = decodeSeconds + convertSeconds;
    return seconds > 0.0 ? static_cast<double>(frames) / seconds : 0.0;
}

double Replay::Stats::stepUsMedian() const {
    if (stepUs.empty())
        return 0.0;
    std::vector<double> sorted = stepUs;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t mid = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2.0;
}

Replay::Replay(QString programFolder, LineSink out, LineSink err)
    : m_programFolder(std::move(programFolder))
    , m_out(std::move(out))
    , m_err(std::move(err)) {}

void Replay::setDetectorValue(core::DetectorValue which, qint32 value) {
    m_sensor[which] = value;
}

QString Replay::stepLine(std::int64_t tMs, int similarity, bool alarm, const QString& saved) {
    // Appended piece by piece: one line per step, so a chain of arg() calls,
    // each scanning and copying the whole text, shows in a replay's time.
    QString line;
    line.reserve(80 + saved.size());
    line += QLatin1String("t_ms=") + QString::number(tMs);
    line += QLatin1String(" similarity=") + QString::number(similarity);
    line += QLatin1String(" changed=") + QString::number(100 - similarity);
    line += QLatin1String(alarm ? " alarm=1 saved=" : " alarm=0 saved=");
    line += saved.isEmpty() ? QStringLiteral("-") : saved;
    return line;
}

QString Replay::objectFields(const detection::ObjectStep& step, bool personOnly) {
    // The largest object in hundredths of a percent of the picture; with
    // person-only, how many of the objects were confirmed as people.
    QString fields =
        QStringLiteral(" objects=%1 largest=%2").arg(step.objectCount).arg(step.largestHundredths);
    if (personOnly)
        fields += QStringLiteral(" persons=%1")
                      .arg(std::count_if(
                          step.objects.cbegin(), step.objects.cend(),
                          [](const detection::DetectedObject& object) { return object.person; }));
    return fields;
}

QString Replay::eventLine(const events::MotionEvent& event) {
    QString line = QStringLiteral("event=%1 start_ms=%2 end_ms=%3 steps=%4 peak=%5")
                       .arg(event.number)
                       .arg(static_cast<std::int64_t>(event.startMs))
                       .arg(static_cast<std::int64_t>(event.endMs))
                       .arg(event.steps)
                       .arg(event.peakChange);
    if (event.peakObjects > 0)
        line += QStringLiteral(" objects=%1 largest=%2")
                    .arg(event.peakObjects)
                    .arg(event.largestObject);
    return line;
}

QString Replay::summaryLine(const Stats& stats) {
    return QStringLiteral(
               "steps=%1 alarms=%2 saved=%3 damaged=%4 decode_fps=%5 step_us_median=%6 events=%7")
        .arg(stats.steps)
        .arg(stats.alarms)
        .arg(stats.saved)
        .arg(stats.damaged)
        .arg(stats.decodeFps(), 0, 'f', 1)
        .arg(stats.stepUsMedian(), 0, 'f', 1)
        .arg(stats.events);
}

bool Replay::parseArguments(const QStringList& args, ReplayOptions& options, QString& error) {
    options = ReplayOptions();
    const QString usage = QStringLiteral(
        "usage: vigilux --replay FILE [--out DIR] [--settings INI] [--plot FILE.png|FILE.svg]");
    if (args.size() < 2 || args[0] != QLatin1String("--replay") || args[1].isEmpty() ||
        args[1].startsWith(QLatin1String("--"))) {
        error = usage;
        return false;
    }
    options.file = args[1];
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString* target = nullptr;
        QString value;
        for (const auto& [name, field] :
             {std::pair{QStringLiteral("--out"), &options.outDir},
              std::pair{QStringLiteral("--settings"), &options.settingsPath},
              std::pair{QStringLiteral("--plot"), &options.plotPath}}) {
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    error = name + QStringLiteral(" needs a value; ") + usage;
                    return false;
                }
                target = field;
                value = args[++i];
            } else if (arg.startsWith(name + QLatin1Char('='))) {
                target = field;
                value = arg.mid(name.size() + 1);
            }
        }
        if (!target) {
            error = QStringLiteral("unknown argument ") + arg + QStringLiteral("; ") + usage;
            return false;
        }
        if (value.isEmpty()) {
            error = arg + QStringLiteral(" needs a value; ") + usage;
            return false;
        }
        *target = value;
    }
    const QString plotSuffix = QFileInfo(options.plotPath).suffix().toLower();
    if (!options.plotPath.isEmpty() && plotSuffix != QLatin1String("png") &&
        plotSuffix != QLatin1String("svg")) {
        error = QStringLiteral("--plot writes a PNG or SVG picture; give a name ending in .png "
                               "or .svg");
        return false;
    }
    return true;
}

bool Replay::writePlot(const ReplayOptions& options, const QString& file, std::int64_t durationMs) {
    const auto interval = m_sensor[core::IntervalValue];
    const auto percent = m_sensor[core::SimilarityValue];
    ReplayPlot plot(QStringLiteral("%1: Timer %2 мс, Noise %3, Percent %4")
                        .arg(QFileInfo(file).fileName())
                        .arg(interval)
                        .arg(m_sensor[core::NoiseValue])
                        .arg(percent),
                    percent, durationMs);
    for (const ReplayPlot::Step& step : m_plotSteps)
        plot.addStep(step);
    for (const ReplayPlot::Span& event : m_plotEvents)
        plot.addEvent(event);
    if (!m_plotFrame.isNull())
        plot.setMask(QImage(m_plotMaskFile), m_plotFrame);
    QString error;
    if (plot.save(options.plotPath, error))
        return true;
    fail(SaveFailed, error);
    return false;
}

int Replay::fail(int code, const QString& text) {
    if (m_err)
        m_err(QStringLiteral("vigilux: ") + text);
    return code;
}

int Replay::run(const ReplayOptions& options) {
    m_stats = Stats();
    m_plotSteps.clear();
    m_plotEvents.clear();
    m_plotFrame = QImage();
    QElapsedTimer total;
    total.start();

    // Settings first, then the video: both are checked before anything is
    // written, so a bad argument leaves no trace.
    const QString iniPath = options.settingsPath.isEmpty()
                                ? m_programFolder + QStringLiteral("/options.ini")
                                : options.settingsPath;
    const QFileInfo iniInfo(iniPath);
    if (!iniInfo.isFile())
        return fail(BadArguments, QStringLiteral("settings file not found: ") +
                                      QDir::toNativeSeparators(iniPath));
    {
        QFile probe(iniPath);
        if (!probe.open(QIODevice::ReadOnly))
            return fail(BadArguments, QStringLiteral("cannot read settings file ") +
                                          QDir::toNativeSeparators(iniPath) + QStringLiteral(": ") +
                                          probe.errorString());
    }

    video::VideoDecoder decoder;
    if (const core::Status opened = decoder.open(options.file); !opened)
        return fail(BadInput, QStringLiteral("cannot replay ") +
                                  QDir::toNativeSeparators(options.file) + QStringLiteral(": ") +
                                  opened.error());

    platform::MediaClock clock(decoder.recordedAt().value_or(DefaultOrigin));
    platform::ConsoleDialogs dialogs(m_err);
    AppContext context(clock, dialogs, m_programFolder);
    context.ini.setFileName(iniPath);
    core::SettingsStorage(context, *this).load(); // the file exists: nothing is created
    core::Settings& s = context.settings;

    if (!options.outDir.isEmpty()) {
        if (!QDir().mkpath(options.outDir))
            return fail(SaveFailed, QStringLiteral("cannot create the output folder ") +
                                        QDir::toNativeSeparators(options.outDir));
        s.savePath = QFileInfo(options.outDir).absoluteFilePath();
    } else if ((s.saveOnAlarm || s.eventClips) &&
               (s.savePath.isEmpty() || !QFileInfo(s.savePath).isDir())) {
        return fail(SaveFailed, QStringLiteral("the save folder \"") +
                                    QDir::toNativeSeparators(s.savePath) +
                                    QStringLiteral("\" does not exist; give --out DIR"));
    }

    // Watch mode from the first step; no alarm actions other than saving.
    const std::int64_t period = std::max<qint32>(1, m_sensor[core::IntervalValue]);
    pipeline::WatchPipeline watch(context);
    // Each step's line names the picture it saved: written within the step.
    watch.saver().setSynchronous(true);
    detection::MotionDetector& detector = watch.detector();
    detector.setDetectorInterval(static_cast<qint16>(period));
    detector.setNoiseTolerance(static_cast<qint16>(m_sensor[core::NoiseValue]));
    detector.setSimilarityThreshold(static_cast<qint16>(100 - m_sensor[core::SimilarityValue]));
    // Without a window a status text is a line on standard error, and a save
    // folder that is gone ends the run, since later alarms could not be saved.
    QObject::connect(&watch, &pipeline::WatchPipeline::status,
                     [&](const QString& text) { m_err(text.trimmed()); });
    bool savingStopped = false;
    QObject::connect(&watch, &pipeline::WatchPipeline::watchingMustStop,
                     [&] { savingStopped = true; });

    // Events on media time; each one's line follows the line of the step
    // that ended it (or the last step, for one still open at the end), and
    // its clip's line follows that.
    QStringList endedEvents;
    QObject::connect(&watch.tracker(), &events::EventTracker::eventEnded,
                     [&](const events::MotionEvent& event) {
                         ++m_stats.events;
                         endedEvents << eventLine(event);
                         if (!options.plotPath.isEmpty())
                             m_plotEvents.push_back({static_cast<std::int64_t>(event.startMs),
                                                     static_cast<std::int64_t>(event.endMs)});
                     });
    QObject::connect(&watch, &pipeline::WatchPipeline::clipSaved, [&](const QString& path) {
        ++m_stats.clips;
        endedEvents << QStringLiteral("clip=") + path;
    });

    const auto printEvents = [&] {
        for (const QString& line : std::as_const(endedEvents))
            if (m_out)
                m_out(line);
        endedEvents.clear();
    };

    int similarity = 0;
    bool alarm = false;
    QString savedPath;
    double saveSecondsThisStep = 0.0;
    QElapsedTimer save;
    QObject::connect(&watch, &pipeline::WatchPipeline::similarityChanged,
                     [&](qint32 value) { similarity = value; });
    QObject::connect(&watch, &pipeline::WatchPipeline::alarm, [&](bool motion) {
        alarm = motion;
        if (motion && context.alarmCount < 32767) // the counter saturates
            ++context.alarmCount;
    });
    // Saving's share of a step, from its start to its file in place.
    QObject::connect(&watch, &pipeline::WatchPipeline::savingStarted, [&] { save.start(); });
    QObject::connect(&watch, &pipeline::WatchPipeline::pictureSaved, [&](const QString& path) {
        savedPath = path;
        saveSecondsThisStep += secondsSince(save);
    });
    watch.start();

    const std::int64_t duration = decoder.durationMs();
    const bool progress = duration > ProgressAboveMs;
    int progressShown = 0; // tenths of the file reported so far

    const auto frameBytes = static_cast<quint32>(decoder.layout().bytes);
    // The sampled frame's planes, and their rows as the detector reads them.
    std::array<const std::uint8_t*, 3> planes{};
    std::array<int, 3> lineBytes{};
    std::vector<detection::MotionDetector::Piece> pieces;
    std::int64_t nextTickMs = 0;
    QElapsedTimer timer;
    while (true) {
        timer.start();
        const bool more = decoder.next();
        m_stats.decodeSeconds += secondsSince(timer);
        if (!more)
            break;
        ++m_stats.frames;
        const video::MediaTime t = decoder.time();
        // A damaged frame, or one predicted from damage, is no sample: the
        // tick waits for the next sound one (a key frame at the latest).
        const bool tick = t.atOrAfter(nextTickMs) && decoder.trustworthy();
        // Clips take every frame their rate allows (the detector's frame
        // too, which is packed anyway, so they share its time); a frame
        // the rate drops is not even packed.
        const std::uint8_t* shared = nullptr; // packed by the decoder for the clips or objects
        if (watch.clipsOn() && (tick || watch.clipsWantFrameAt(t.floorMs()))) {
            timer.start();
            if ((shared = decoder.picture())) {
                clock.setMediaMs(static_cast<double>(t.floorMs()));
                watch.addClipFrame(shared, decoder.layout(), t.floorMs());
            }
            m_stats.clipSeconds += secondsSince(timer);
        }
        // The object detector learns from every sound frame, not only the
        // steps' frames.
        if (watch.detectorWantsEveryFrame() && decoder.trustworthy()) {
            timer.start();
            shared = decoder.picture();
            m_stats.convertSeconds += secondsSince(timer);
            if (shared) {
                clock.setMediaMs(static_cast<double>(t.floorMs()));
                timer.start();
                watch.observeFrame(shared, decoder.layout(), t.floorMs());
                m_stats.detectSeconds += secondsSince(timer);
            }
        }
        if (!tick)
            continue;
        // Every tick up to this frame's time is served by it, as the grab
        // request is one flag however many ticks set it.
        nextTickMs = (t.periodsPassed(period) + 1) * period;
        const std::int64_t tMs = t.floorMs();

        // A frame nobody else has packed is compared where the decoder left
        // it, rather than being packed first; one that must be converted
        // (another format or size) is packed.
        timer.start();
        const bool inPieces = !shared && decoder.planes(planes, lineBytes) &&
                              piecesOf(decoder.layout(), planes, lineBytes, pieces);
        if (!inPieces && !shared)
            shared = decoder.picture();
        m_stats.convertSeconds += secondsSince(timer);
        if (!inPieces && !shared) {
            m_err(
                QStringLiteral("vigilux: frame at %1 ms could not be converted; skipped").arg(tMs));
            continue;
        }

        clock.setMediaMs(static_cast<double>(tMs));
        similarity = 0;
        alarm = false;
        savedPath.clear();
        saveSecondsThisStep = 0.0;

        video::FrameHeader header;
        header.data = shared;
        header.bufferLength = frameBytes;
        header.bytesUsed = frameBytes;
        header.timeCapturedMs = static_cast<quint32>(tMs);
        timer.start();
        if (inPieces)
            watch.step(header, decoder.layout(), pieces);
        else
            watch.step(header, decoder.layout());
        const double stepSeconds = std::max(0.0, secondsSince(timer) - saveSecondsThisStep);

        ++m_stats.steps;
        m_stats.detectSeconds += stepSeconds;
        m_stats.saveSeconds += saveSecondsThisStep;
        m_stats.stepUs.push_back(stepSeconds * 1e6);
        if (alarm)
            ++m_stats.alarms;
        if (!savedPath.isEmpty())
            ++m_stats.saved;
        if (m_out) {
            QString line = stepLine(tMs, similarity, alarm, savedPath);
            if (watch.detectorWantsEveryFrame())
                line += objectFields(detector.objects(), s.objectPersonOnly);
            m_out(line);
        }
        printEvents();
        // The first step compares against nothing; it is no level to plot.
        if (!options.plotPath.isEmpty() && m_stats.steps > 1) {
            const bool objects = watch.detectorWantsEveryFrame();
            m_plotSteps.push_back(
                {tMs, 100 - similarity, alarm, objects ? detector.objects().objectCount : -1});
            // The mask is shown over the file's first plotted frame.
            if (objects && m_plotFrame.isNull() &&
                QFileInfo::exists(pipeline::WatchPipeline::maskFile(context))) {
                m_plotFrame = decoder.layout().toImage(detector.frameBuffer().data());
                m_plotMaskFile = pipeline::WatchPipeline::maskFile(context);
            }
        }

        if (savingStopped)
            return fail(SaveFailed,
                        QStringLiteral("saving failed at %1 ms; replay stopped").arg(tMs));
        if (progress && m_err) {
            const auto tenths = static_cast<int>(std::min<std::int64_t>(10, tMs * 10 / duration));
            if (tenths > progressShown) {
                progressShown = tenths;
                m_err(QStringLiteral("vigilux: replay %1% (%2 of %3 s)")
                          .arg(tenths * 10)
                          .arg(static_cast<double>(tMs) / 1000.0, 0, 'f', 1)
                          .arg(static_cast<double>(duration) / 1000.0, 0, 'f', 1));
            }
        }
    }

    watch.stop(); // the file ended: so does an open event, then its clip
    printEvents();
    m_stats.damaged = decoder.damagedCount();
    if (m_stats.damaged > 0 && m_err)
        m_err(QStringLiteral("vigilux: the video is damaged: %1 decoding errors, %2 frames "
                             "marked corrupt by the decoder (not compared)")
                  .arg(decoder.decodeErrors())
                  .arg(decoder.corruptFrames()));
    if (decoder.timestampJumps() > 0 && m_err)
        m_err(QStringLiteral("vigilux: the file's timestamps jump %1 time(s), first after "
                             "%2 ms; replayed as one continuous timeline")
                  .arg(decoder.timestampJumps())
                  .arg(decoder.firstJumpTime().floorMs()));
    m_stats.totalSeconds = secondsSince(total);
    if (m_out)
        m_out(summaryLine(m_stats));
    if (!options.plotPath.isEmpty() && !writePlot(options, options.file, duration))
        return SaveFailed;
    return Ok;
}

int runReplay(QStringList args, const QString& installedData) {
    // No display is needed: the imprint draws text, which only needs fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error carries our own lines; Qt's notes about the missing
    // desktop (runtime folder, platform) would only blur them.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    static char name[] = "vigilux";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Vigilux"));
    // FFmpeg's own messages would break the one-line errors; the replay
    // reports what matters (unreadable file, damaged frames) itself.
    av_log_set_level(AV_LOG_QUIET);

    const auto print = [](FILE* stream) {
        return [stream](const QString& line) {
            const QByteArray bytes = line.toUtf8() + '\n';
            std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
        };
    };
    ReplayOptions options;
    QString error;
    if (!Replay::parseArguments(args, options, error)) {
        print(stderr)(QStringLiteral("vigilux: ") + error);
        return Replay::BadArguments;
    }
    const auto folders =
        core::ProgramFolders::locate(QCoreApplication::applicationDirPath(), installedData);
    if (folders.installed && options.settingsPath.isEmpty())
        options.settingsPath = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                               QStringLiteral("/options.ini");
    Replay replay(folders.program, print(stdout), print(stderr));
    const int code = replay.run(options);
    std::fflush(stdout);
    return code;
}

} // namespace vigilux::replay
