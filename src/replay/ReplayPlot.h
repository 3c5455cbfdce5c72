#pragma once

#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <vector>

namespace vigilux::replay {

// The picture of one replay: the changed share of every detector step over
// the file's time, the alarm threshold as a line, alarm steps marked and
// events shaded. It is what a user looks at to choose the motion percent:
// the level of the quiet parts against the level of the moving parts.
class ReplayPlot final {
public:
    struct Step {
        std::int64_t tMs = 0;
        int changedPercent = 0; // 0..100
        bool alarm = false;
    };
    struct Span {
        std::int64_t startMs = 0;
        std::int64_t endMs = 0;
    };

    ReplayPlot(QString title, int thresholdPercent, std::int64_t durationMs);

    void addStep(const Step& step) { m_steps.push_back(step); }
    void addEvent(const Span& event) { m_events.push_back(event); }

    // The plot at the given size (1600 x 600 reads well).
    QImage render(QSize size = QSize(1600, 600)) const;

    // Writes a PNG or, for a name ending in .svg, an SVG (any other
    // extension is refused). False with `error` set when the file cannot be
    // written.
    bool save(const QString& path, QString& error) const;

private:
    std::int64_t timeSpanMs() const;
    void paint(QPainter& p, QSize size) const;

    QString m_title;
    int m_threshold;
    std::int64_t m_durationMs;
    std::vector<Step> m_steps;
    std::vector<Span> m_events;
};

} // namespace vigilux::replay
