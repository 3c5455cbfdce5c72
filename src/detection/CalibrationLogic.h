#pragma once

#include <QString>
#include <QTimer>

namespace vigilux {
struct AppContext;
}

namespace vigilux::detection {

class CalibrationView;
class DetectorSliders;

// The auto-calibration of the detector's three values, driven by the values
// the main window forwards (speedValue while measuring the speed,
// similarityValue while measuring noise and difference;
// AppContext::calibrationPhase says which) and by the step timer:
//   1. speed: 20 short ticks after 500 ms average the speed values into the
//      detector interval;
//   2. noise: noise levels 0, 1, 2, ... are tried on groups of 4 frames until
//      a group's average similarity reaches 95 (60 frames at most);
//   3. largest difference of 20 frames, plus 2, becomes the motion percent.
// Results go to the sliders through the DetectorSliders, exactly as user moves.
//
// UI thread only. The context, the sliders and the view must outlive it.
class CalibrationLogic final {
public:
    static constexpr int kFirstTickMs = 500;
    static constexpr int kTickMs = 10;
    static constexpr qint16 kSpeedTicks = 20;
    static constexpr qint16 kNoiseFrames = 60;
    static constexpr qint16 kNoiseGroup = 4;
    static constexpr qint32 kQuietAverage = 94; // a group's average above this is quiet
    static constexpr qint16 kDifferenceFrames = 20;
    static constexpr qint32 kPercentMargin = 2;
    static constexpr qint32 kStartInterval = 100; // ms, about ten detector steps a second
    static constexpr qint32 kStartPercent = 6;
    // The detector steps at most every 1000 ms while measuring noise and
    // difference; this long
    // without a value means the detector stopped.
    static constexpr int kStallBoundMs = 10000;

    CalibrationLogic(AppContext& context, DetectorSliders& sliders, CalibrationView& view);
    CalibrationLogic(const CalibrationLogic&) = delete;
    CalibrationLogic& operator=(const CalibrationLogic&) = delete;
    ~CalibrationLogic();

    // The start button.
    void start();
    void speedValue(qint16 value);
    void similarityValue(qint32 value);
    void onStepTick();
    // The window has closed, by any means: stops the timers and ends the
    // phase. Values already written to the sliders stay there.
    void closed();

    QTimer& stepTimer() { return m_stepTimer; }
    void setStallBoundMs(int ms) { m_stall.setInterval(ms); }
    qint16 tickCounter() const { return m_ticks; }
    qint16 frameCounter() const { return m_frames; }
    qint16 accumulator() const { return m_accumulator; }
    qint16 noiseUnderTest() const { return m_noise; }
    qint32 barWidth() const { return m_barWidth; }

    // num / den (den > 0) rounded to the nearest integer, halves to even.
    static qint64 roundHalfEven(qint64 num, qint64 den);
    // Detector interval for an average speed in FPS: 1 -> 1000, 2 -> 500,
    // 3 -> 300, 4 and 5 -> 200, above 5 -> 500; below 1 -> 1000.
    static qint32 intervalForSpeed(qint64 speed);

    static QString noiseFailureText();
    static QString resultsText(qint32 interval, qint32 noise, qint32 percent);
    static const QString kNoResponseText;
    static const QString kNoPowerText;

private:
    void startNoisePhase();
    void startDifferencePhase();
    void progress(int n, int total);
    // Ends the calibration with an error box and closes the window.
    void fail(const QString& text);
    void onStall();

    AppContext& m_context;
    DetectorSliders& m_sliders;
    CalibrationView& m_view;
    QTimer m_stepTimer;
    QTimer m_stall;

    qint16 m_ticks = 0;
    qint16 m_frames = 0;
    qint16 m_accumulator = 0;
    qint16 m_noise = 0;
    qint32 m_barWidth = 0;
    // onSliderChanged put 100 ms into the detector while the interval slider
    // still shows its old value; true until a value is written to the slider.
    bool m_intervalPending = false;
    bool m_closed = false;
};

} // namespace vigilux::detection
