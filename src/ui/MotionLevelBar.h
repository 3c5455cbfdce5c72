#pragma once

#include "detection/LevelIndicator.h"

#include <QColor>
#include <QWidget>

namespace vigilux::ui {

// The vertical level bar inside CaptureControl: the scale, the level bar
// (its top edge moves; the part below shows the changed share) and
// the threshold mark. The arithmetic lives in MotionLevelBarGeometry; this
// class only places the three panels. UI thread only.
class MotionLevelBar final : public QWidget, public detection::LevelIndicator {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MotionLevelBar)

public:
    static inline const QColor kScaleColour{234, 234, 234};
    static inline const QColor kMarkColour{0, 0, 192};
    static inline const QColor kMotionColour{255, 0, 0};
    static inline const QColor kQuietColour{0, 255, 0};

    explicit MotionLevelBar(QWidget* parent = nullptr);

    void showLevel(qint32 value) override;
    void showThreshold(qint32 threshold, bool reset = false) override;
    void setIndicatorVisible(bool visible) override { setVisible(visible); }

    // For the owner's layout and for tests.
    QWidget* scale() const { return m_scale; }
    QWidget* bar() const { return m_bar; }
    QWidget* mark() const { return m_mark; }
    double barTopUnits() const { return m_barTop; }
    int markTopUnits() const { return m_markTop; }
    QColor barColour() const;
    int markRedraws() const { return m_markRedraws; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int scaleHeightUnits() const;
    void layoutPanels();
    void placeBar();
    void paintScale();

    QWidget* m_scale;
    QWidget* m_bar;
    QWidget* m_mark;
    qint32 m_maxReceived = 0; // decides the bar's colour
    qint16 m_maxDrawn = 0;    // skips redundant redraws of the mark
    double m_barTop;
    int m_markTop = 0;
    int m_markRedraws = 0;
};

} // namespace vigilux::ui
