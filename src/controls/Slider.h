#pragma once

#include <QWidget>

#include <optional>

class QLabel;

namespace vigilux::controls {

// Horizontal slider with the minimum and maximum written at the track's ends
// and the value under the handle. `changed` is raised only by user drags;
// values set from code raise nothing. enabled() is QWidget's enabled state: a
// disabled slider receives no mouse input, so it cannot be dragged.
class Slider final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Slider)

public:
    explicit Slider(QWidget* parent = nullptr);
    ~Slider() override;

    int value() const { return m_value; }
    void setValue(int value);
    int minimum() const { return m_min; }
    void setMin(int min);
    int maximum() const { return m_max; }
    void setMax(int max);
    int step() const { return m_step; }
    void setStep(int step);
    bool enabled() const { return isEnabled(); }

    // Where the handle is drawn, in widget coordinates.
    QRect handleRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Raised for every mouse move of a drag that lands on the track, also when
    // the value did not change. `value` is the value after the move.
    void changed(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void layOut();
    void placeLabels();
    int trackLength() const;
    int labelHeight() const;

    int m_value = 0;
    int m_min = 0;
    int m_max = 100;
    int m_step = 1;
    double m_offset = 0;           // handle's left edge, pixels from the track start
    std::optional<double> m_grabX; // where on the handle the drag began
    QLabel* m_lmin;
    QLabel* m_lmax;
    QLabel* m_lval;
};

} // namespace vigilux::controls
