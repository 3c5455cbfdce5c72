#pragma once

#include "capture/LevelIndicator.h"

#include <QColor>
#include <QWidget>

namespace vigilux::capture {

// The vertical level bar inside CaptureControl: the scale `Pcont`, the level bar
// `Pbar` (its top edge moves; the part below shows the changed share) and
// the threshold mark `Pmax`. The arithmetic lives in MotionLevelBarGeometry; this
// class only places the three panels. UI thread only.
class MotionLevelBar final : public QWidget, public LevelIndicator {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MotionLevelBar)

public:
    static inline const QColor kScaleColour{234, 234, 234};
    static inline const QColor kMarkColour{0, 0, 192};
    static inline const QColor kMotionColour{255, 0, 0};
    static inline const QColor kQuietColour{0, 255, 0};

    explicit MotionLevelBar(QWidget* parent = nullptr);

    void Ind(qint32 value) override;
    void newMax(qint32 newMax, bool Reinit = false) override;
    void setIndicatorVisible(bool visible) override { setVisible(visible); }

    // For the owner's layout and for tests.
    QWidget* Pcont() const { return m_pcont; }
    QWidget* Pbar() const { return m_pbar; }
    QWidget* Pmax() const { return m_pmax; }
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

    QWidget* m_pcont;
    QWidget* m_pbar;
    QWidget* m_pmax;
    qint32 m_maxReceived = 0; // decides the bar's colour
    qint16 m_maxDrawn = 0;    // skips redundant redraws of the mark
    double m_barTop;
    int m_markTop = 0;
    int m_markRedraws = 0;
};

} // namespace vigilux::capture
