#pragma once

namespace vigilux::events {

// Which alarm frames of a motion event are saved.
//   EveryStep       every alarm step, as without events (the default);
//   FirstThenEvery  the first K steps of an event, then one step every S
//                   seconds, counted from the last frame chosen;
//   LargestOnly     only the step with the largest change; it is kept in
//                   memory and written when the event ends (on a tie the
//                   earlier step stays).
// The policy only decides; the caller saves, keeps and writes the frames.
class EventFramePolicy final {
public:
    enum class Mode { EveryStep = 0, FirstThenEvery = 1, LargestOnly = 2 };
    enum class Decision { Save, Skip, KeepAsLargest };

    static constexpr int DefaultFirstFrames = 3;
    static constexpr int MinFirstFrames = 1;
    static constexpr int MaxFirstFrames = 100;
    static constexpr int DefaultEverySeconds = 5;
    static constexpr int MinEverySeconds = 1;
    static constexpr int MaxEverySeconds = 3600;

    // A mode number from a file outside 0..2 reads as EveryStep; K and S are
    // clamped to their ranges.
    void setMode(int mode);
    void setMode(Mode mode) { m_mode = mode; }
    void setFirstFrames(int k);
    void setEverySeconds(int s);
    Mode mode() const { return m_mode; }
    int firstFrames() const { return m_firstFrames; }
    int everySeconds() const { return m_everySeconds; }

    // A new event began: its count and its largest change start afresh.
    void beginEvent();
    // The decision for one alarm step of the current event at steady time
    // `nowMs` with this changed share (percent).
    Decision step(double nowMs, int changedPercent);
    // Whether a kept frame is written when the event ends.
    bool writesAtEnd() const { return m_mode == Mode::LargestOnly; }

private:
    Mode m_mode = Mode::EveryStep;
    int m_firstFrames = DefaultFirstFrames;
    int m_everySeconds = DefaultEverySeconds;
    int m_chosen = 0;
    double m_lastChosenMs = 0.0;
    int m_largest = -1;
};

} // namespace vigilux::events
