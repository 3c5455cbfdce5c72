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
// the level of the quiet parts against the level of the moving parts. With
// the object detector, the objects found per step on a scale of their own
// and the mask in a corner.
class ReplayPlot final {
public:
    struct Step {
        std::int64_t tMs = 0;
        int changedPercent = 0; // 0..100
        bool alarm = false;
        int objects = -1; // objects found (the object detector), -1: none counted
    };
    struct Span {
        std::int64_t startMs = 0;
        std::int64_t endMs = 0;
    };

    ReplayPlot(QString title, int thresholdPercent, std::int64_t durationMs);

    void addStep(const Step& step) { m_steps.push_back(step); }
    void addEvent(const Span& event) { m_events.push_back(event); }
    // The object detector's mask (black: ignored), shown small in a corner
    // over `picture` (a frame of the file) when it is set.
    void setMask(const QImage& mask, const QImage& picture) {
        m_mask = mask;
        m_maskPicture = picture;
    }

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
    QImage m_mask;
    QImage m_maskPicture;
};

} // namespace vigilux::replay
